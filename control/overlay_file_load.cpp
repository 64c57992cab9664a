#include "control/overlay_file_load.h"

#include "engine/playback_state.h"
#include "imagery/image_decoder.h"

#include <QFileInfo>

namespace vantor {

OverlayFileLoad::OverlayFileLoad(OverlayState& overlay, PlaybackState& playback, QObject* parent)
    : QObject(parent), frames_(overlay.frames),
      loader_(overlay, {playback.is_sequence, playback.current, preview_current_}, *this)
{
    step_timer_.setSingleShot(true);
    connect(&step_timer_, &QTimer::timeout, this, &OverlayFileLoad::RunStep);
}

void OverlayFileLoad::Load(const QString& path, std::function<void(const OverlayLoadResult&)> done)
{
    if (done_) {
        result_.failure = QStringLiteral("a later load replaced this one");
        std::exchange(done_, nullptr)(result_);
    }
    path_ = path;
    result_ = {};
    done_ = std::move(done);
    loader_.LoadOverlay();
    reset_count_ = frames_.reset_count;
    if (!result_.failure.isEmpty() || !step_timer_.isActive())
        Finish();  // a single picture, a picture that did not load, or a run that ended at once
}

void OverlayFileLoad::RunStep()
{
    if (!loader_.LoadSequenceStep())
        Finish();
}

void OverlayFileLoad::Finish()
{
    if (!done_)
        return;
    if (result_.failure.isEmpty() && frames_.reset_count != reset_count_)
        result_.failure = QStringLiteral("another load replaced this one");
    result_.frames = frames_.frame_count;
    std::exchange(done_, nullptr)(result_);
}

bool OverlayFileLoad::ChooseAndLoad(RgbaImage& image)
{
    image.file_path = path_;
    image.file_title = QFileInfo(path_).fileName();
    return image.LoadFromFile(path_);
}

void OverlayFileLoad::ReportLoadFailure(const QString& path)
{
    const QString why = path + QStringLiteral(": ") + DescribeLoadFailure(path);
    if (path == path_)
        result_.failure = why;
    else
        result_.notes << why;
}

void OverlayFileLoad::ReportAnimationFailure(const QString& path, const QString& why)
{
    result_.failure = path + QStringLiteral(": ") + why;
}

}  // namespace vantor
