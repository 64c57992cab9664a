#include "sync_fixture.h"

#include <QTemporaryDir>

namespace vantor::test {

void SyncTest::SetUp()
{
    bus_ = std::make_unique<PrivateBus>();
    ASSERT_FALSE(bus_->address().isEmpty()) << "dbus-daemon did not start";
    client_ = std::make_unique<BusClient>(bus_->address());
    ASSERT_TRUE(client_->connected()) << "the test's client did not reach its bus";
}

void SyncTest::TearDown()
{
    std::vector<CopyProcess*> ending;
    for (auto& copy : copies_)
        if (copy->running()) {
            copy->Terminate();
            ending.push_back(copy.get());
        }
    for (CopyProcess* copy : ending) {
        EXPECT_TRUE(copy->WaitForExit(kExitBound_ms)) << "copy " << copy->pid() << " ignored SIGTERM after printing:\n"
                                                    << copy->Lines().join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(copy->EndedCleanly()) << "copy " << copy->pid() << " ended badly:\n"
                                          << copy->Errors().toStdString();
    }
    copies_.clear();  // kills whatever did not end
    client_.reset();
    bus_.reset();
}

CopyProcess& SyncTest::Launch()
{
    copies_.push_back(std::make_unique<CopyProcess>(bus_->address(), HeadlessProgram(), QStringList(), FreeLocalPort()));
    EXPECT_TRUE(copies_.back()->started()) << "ndivantor-headless did not start";
    return *copies_.back();
}

CopyProcess& SyncTest::LaunchNumbered()
{
    CopyProcess& copy = Launch();
    EXPECT_TRUE(copy.WaitForTitle(kNumberBound_ms)) << "copy " << copy.pid() << " took no number";
    return copy;
}

CopyProcess& SyncTest::LaunchWithoutBus()
{
    const QTemporaryDir nowhere;
    copies_.push_back(std::make_unique<CopyProcess>(QStringLiteral("unix:path=%1/no-bus").arg(nowhere.path())));
    EXPECT_TRUE(copies_.back()->started()) << "ndivantor-headless did not start";
    return *copies_.back();
}

std::optional<uint16_t> SyncTest::PortOf(const CopyProcess& copy)
{
    std::optional<uint16_t> port;
    SpinUntil([&] { return (port = SourcePortOf(copy.pid())).has_value(); }, kSendingBound_ms);
    return port;
}

QString SyncTest::SourceTitleOf(const CopyProcess& copy)
{
    const std::optional<uint16_t> port = PortOf(copy);
    const auto info = port ? ProbeStream(*port) : std::nullopt;
    return info ? info->title : QString();
}

std::vector<int> SyncTest::FramesFrom(const std::vector<CopyProcess*>& copies)
{
    std::vector<uint16_t> ports;
    for (CopyProcess* copy : copies) {
        const std::optional<uint16_t> port = PortOf(*copy);
        EXPECT_TRUE(port) << "copy " << copy->pid() << " has no source";
        ports.push_back(port.value_or(0));
    }
    return FramesReceived(ports, kFramesOfARunningSource);
}

}  // namespace vantor::test
