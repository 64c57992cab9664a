// A logo loaded from outside the window (the control API, the command line): decoded off the
// user-interface thread, what is sent unchanged until the picture is in; and a load that comes
// while the window asks whether to load a run leaves nothing marked as loading.

#include "control/overlay_file_load.h"
#include "engine/playback_state.h"
#include "imagery/overlay_state.h"
#include "recording_loader_host.h"
#include "support/spin_until.h"
#include "test_images.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <semaphore>
#include <thread>

namespace vantor {
namespace {

constexpr int kBoundMs = 20000;  // only reached when something is broken

class OverlayFileLoading : public ::testing::Test {
protected:
    QString Picture(const QString& name, QRgb colour)
    {
        return test::SaveSolidPicture(dir_.filePath(name), 8, 6, colour);
    }

    // Loads through `load` and waits for its end; the result.
    OverlayLoadResult LoadAndWait(OverlayFileLoad& load, const QString& path)
    {
        std::optional<OverlayLoadResult> result;
        load.Load(path, [&result](const OverlayLoadResult& r) { result = r; });
        EXPECT_TRUE(test::SpinUntil([&] { return result.has_value(); }, kBoundMs));
        return result.value_or(OverlayLoadResult{QStringLiteral("never ended")});
    }

    QTemporaryDir dir_;
    OverlayState overlay_;
    PlaybackState playback_;
};

// The memory gauge runs inside the decode: held there, the decode is caught in the middle.
TEST_F(OverlayFileLoading, ThePictureDecodesOffThisThreadAndWhatIsSentStaysUntilItIsIn)
{
    const QString old_path = Picture(QStringLiteral("old.png"), qRgb(200, 0, 0));
    ASSERT_TRUE(overlay_.frames.first.image.LoadFromFile(old_path));
    overlay_.frames.first.image.file_path = old_path;
    std::binary_semaphore decoding(0), go_on(0);
    std::atomic<bool> on_this_thread{false};
    const std::thread::id this_thread = std::this_thread::get_id();
    OverlayFileLoad load(overlay_, playback_, nullptr, [&]() -> std::optional<int64_t> {
        on_this_thread = std::this_thread::get_id() == this_thread;
        decoding.release();
        go_on.try_acquire_for(std::chrono::milliseconds(kBoundMs));
        return std::nullopt;
    });
    std::optional<OverlayLoadResult> result;
    const QString new_path = Picture(QStringLiteral("new.png"), qRgb(0, 0, 200));
    load.Load(new_path, [&result](const OverlayLoadResult& r) { result = r; });

    ASSERT_TRUE(decoding.try_acquire_for(std::chrono::milliseconds(kBoundMs)));
    EXPECT_FALSE(on_this_thread);
    EXPECT_TRUE(load.loading());
    test::SpinFor(20);  // events go on being handled meanwhile
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(overlay_.frames.first.image.file_path, old_path);
    EXPECT_EQ(overlay_.frames.first.image.pixels[0], 0) << "blue byte of the old picture";

    go_on.release();
    ASSERT_TRUE(test::SpinUntil([&] { return result.has_value(); }, kBoundMs));
    EXPECT_TRUE(result->failure.isEmpty()) << result->failure.toStdString();
    EXPECT_FALSE(load.loading());
    EXPECT_EQ(overlay_.frames.first.image.file_path, new_path);
    EXPECT_EQ(overlay_.frames.first.image.pixels[0], 200) << "blue byte of the new picture";
}

// The window's question is open while the control API loads a single picture; the operator
// then answers OK to a question about a run that is no longer the list's.
TEST_F(OverlayFileLoading, AnApiLoadWhileTheWindowAsksAboutARunLeavesNothingLoading)
{
    for (int n = 1; n <= 5; ++n)
        Picture(QStringLiteral("spin%1.png").arg(n), qRgb(0, 0, n));
    const QString single = Picture(QStringLiteral("logo.png"), qRgb(0, 0, 99));
    OverlayFileLoad api(overlay_, playback_);
    test::RecordingLoaderHost window;
    std::atomic<const SequenceFrame*> preview{nullptr};
    SequenceLoader window_loader(overlay_, {playback_.is_sequence, playback_.current, preview}, window);
    window.pick_path = dir_.filePath(QStringLiteral("spin1.png"));
    window.answer_ok = true;
    OverlayLoadResult api_result;
    window.on_question = [&] { api_result = LoadAndWait(api, single); };

    window_loader.LoadOverlay();
    test::RunPendingSteps(window_loader, window);
    EXPECT_TRUE(api_result.failure.isEmpty()) << api_result.failure.toStdString();
    EXPECT_FALSE(overlay_.frames.loading);
    EXPECT_FALSE(api.loading());
    EXPECT_EQ(overlay_.frames.frame_count, 1);
    EXPECT_EQ(overlay_.frames.first.image.file_path, single);
}

}  // namespace
}  // namespace vantor
