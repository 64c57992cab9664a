// What a copy remembers is read back as it was written: a --restore brings back every item.

#include "control/setup_file.h"

#include "engine/playback_state.h"
#include "imagery/rgba_image.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    setup.size = 32771;      // 1920 x 1080
    setup.rate = 32780;      // 29.97p
    setup.mode = kPlayOscillate2;
    setup.pause = PauseSetting{99, kPauseInFrames};
    setup.one_shot = true;
    setup.role = role;
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

}  // namespace
}  // namespace vantor
