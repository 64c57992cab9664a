// What a copy remembers is read back as it was written: a --restore brings back every item.

#include "control/setup_file.h"

#include "engine/playback_state.h"
#include "imagery/overlay_state.h"
#include "imagery/rgba_image.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

namespace vantor {
namespace {

vantor::Setup Full(SyncRole role)
{
    vantor::Setup setup;
    setup.overlay = QStringLiteral("/logos/ spin 0001.png ");  // blanks inside and at the end
    setup.corner = kCornerLowerRight;
    setup.offset = OverlayOffset{2100, 1100};
    setup.on = true;
    setup.solid = false;
    setup.size = 32785;      // 4096 x 2160: the largest offsets keep the logo in
    setup.rate = 32780;      // 29.97p
    setup.mode = kPlayOscillate2;
    setup.pause = PauseSetting{99, kPauseInFrames};
    setup.one_shot = true;
    setup.role = role;
    setup.fade_ms = 250;  // a quarter of a second: written with its decimals
    setup.opacity = 70;
    setup.safe_area = kSafeAreaGraphics;
    setup.cycle = CycleSetting{10000, 600000, 90000};
    return setup;
}

TEST(SetupFile, WhatACopyRemembersReadsBackTheSame)
{
    vantor::Setup partial;
    partial.pause = PauseSetting{0, kPauseInSeconds};
    partial.rate = 32777;  // 25p
    for (const vantor::Setup& setup : {Full(SyncRole::kMaster), Full(SyncRole::kSlave), Full(SyncRole::kNone), partial}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/copy1.conf"));
        QString error;
        ASSERT_TRUE(WriteSetupFile(path, SetupFileText(setup, QStringLiteral("a test")), error)) << error.toStdString();
        const auto read = ReadSetupFile(path, error);
        ASSERT_TRUE(read.has_value()) << error.toStdString();
        EXPECT_EQ(read->setup, setup) << SetupFileText(setup, {}).toStdString();
    }
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// A disk that fills up part-way through the write (here a file-size limit of 200 bytes, which
// makes the write fail after its first 200) leaves the last good setup byte for byte, and no
// stray file beside it.
TEST(SetupFile, AWriteThatFailsPartWayLeavesTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy1.conf"));
    QString error;
    ASSERT_TRUE(WriteSetupFile(path, SetupFileText(Full(SyncRole::kNone), QStringLiteral("good")), error));
    const QByteArray good = Contents(path);
    ASSERT_LT(good.size(), 400);

    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    rlimit limit = old_limit;
    limit.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = WriteSetupFile(path, SetupFileText(Full(SyncRole::kMaster), QString(300, u'x')), error);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(written);
    EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
    EXPECT_EQ(Contents(path), good);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("copy1.conf")});
}

}  // namespace
}  // namespace vantor
