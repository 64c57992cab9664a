#include "control/overlay_file_load.h"

#include "engine/playback_state.h"
#include "imagery/image_decoder.h"

#include <QFileInfo>

#include <utility>

namespace vantor {

OverlayFileLoad::OverlayFileLoad(OverlayState& overlay, PlaybackState& playback, QObject* parent, MemoryGauge memory)
    : QObject(parent), frames_(overlay.frames),
      loader_(overlay, {playback.is_sequence, playback.current, preview_current_}, *this, AllocateNode, memory),
      decoder_(memory)
{
    look_timer_.setSingleShot(true);
    connect(&look_timer_, &QTimer::timeout, this, &OverlayFileLoad::Look);
}

void OverlayFileLoad::Load(const QString& path, std::function<void(const OverlayLoadResult&)> done,
                           FileOpener open)
{
    if (done_) {
        result_.failure = QStringLiteral("a later load replaced this one");
        std::exchange(done_, nullptr)(result_);
    }
    path_ = path;
    open_ = std::move(open);
    result_ = {};
    done_ = std::move(done);
    decoder_.Decode(path, [this](RgbaImage& picture, bool loaded) { StartWithPicture(picture, loaded); }, open_);
}

// The picture is in: the load goes on as the dialog's does, from the loader's first step.
void OverlayFileLoad::StartWithPicture(RgbaImage& picture, bool loaded)
{
    decoded_ = std::move(picture);
    decoded_loaded_ = loaded;
    loader_.LoadOverlay();
    reset_count_ = frames_.reset_count;
    emit pictureTaken();
    if (!result_.failure.isEmpty() || (!decoder_.busy() && !look_timer_.isActive()))
        Finish();  // a single picture, a picture that did not load, or a run that ended at once
}

void OverlayFileLoad::ScheduleStep(int)
{
    decoder_.Decode(loader_.NextFramePath(), [this](RgbaImage& picture, bool loaded) { RunStep(picture, loaded); },
                    open_);
}

void OverlayFileLoad::RunStep(RgbaImage& picture, bool loaded)
{
    decoded_ = std::move(picture);
    decoded_loaded_ = loaded;
    if (!loader_.LoadSequenceStep())
        Finish();
}

void OverlayFileLoad::CancelStep()
{
    decoder_.Cancel();
    look_timer_.stop();
}

void OverlayFileLoad::Look()
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
    image = std::exchange(decoded_, RgbaImage());
    return decoded_loaded_;
}

// The step runs once its file is ready, decoded aside.
bool OverlayFileLoad::LoadPictureFile(RgbaImage& image, const MemoryGauge&)
{
    RgbaImage decoded = std::exchange(decoded_, RgbaImage());
    if (decoded_loaded_)
        image = std::move(decoded);
    return decoded_loaded_;
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
