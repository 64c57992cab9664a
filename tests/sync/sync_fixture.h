#pragma once
// Copies of ndivantor-headless as real processes on a private session bus, with the test's own
// client on that bus. Every copy is ended when the test ends, also when it failed; a copy still
// running then must end cleanly on SIGTERM, so that a copy that crashed or leaked fails the test.

#include "bus_client.h"
#include "copy_process.h"
#include "private_bus.h"
#include "source_probe.h"
#include "stream_client.h"

#include "support/qt_printers.h"
#include "support/spin_until.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace vantor::test {

// Bounds of the waits: generous, since the copies start slowly under the sanitizers on a shared
// machine. Waiting for something that does happen never takes the bound.
inline constexpr int kNumberBound_ms = 20000;    // launch to the copy's number
inline constexpr int kSendingBound_ms = 20000;   // launch or an order to the change of state
inline constexpr int kExitBound_ms = 20000;      // SIGTERM to the end of the process
// Frames a receiver counts to tell a running source from a stopped one.
inline constexpr int kFramesOfARunningSource = 10;

class SyncTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A copy on the private bus with its control API, not yet numbered.
    CopyProcess& Launch();
    // A copy on the private bus that has taken its number.
    CopyProcess& LaunchNumbered();
    // A copy whose bus address leads nowhere.
    CopyProcess& LaunchWithoutBus();

    // The port of the copy's source, once it has one.
    std::optional<uint16_t> PortOf(const CopyProcess& copy);
    // The title a receiver reads from the copy's source, once the copy has one (it makes its
    // source right after it prints its title); empty when none comes.
    QString SourceTitleOf(const CopyProcess& copy);
    // For each copy at once: the frames a receiver of its source gets, up to
    // kFramesOfARunningSource (a running source) or 1 (a stopped one: its last picture).
    std::vector<int> FramesFrom(const std::vector<CopyProcess*>& copies);

    std::unique_ptr<PrivateBus> bus_;
    std::unique_ptr<BusClient> client_;
    std::vector<std::unique_ptr<CopyProcess>> copies_;
};

}  // namespace vantor::test
