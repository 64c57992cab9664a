#include "headless/overlay_command.h"

#include "engine/engine.h"

#include <QFileInfo>

namespace vantor {

OverlayCommand::OverlayCommand(Engine& engine, OverlayState& overlay, PlaybackState& playback,
                               std::function<void(bool)> done, QObject* parent)
    : QObject(parent), engine_(engine), overlay_(overlay), done_(std::move(done)),
      loader_(overlay, {playback.is_sequence, playback.current, preview_current_}, *this)
{
    step_timer_.setSingleShot(true);
    connect(&step_timer_, &QTimer::timeout, this, &OverlayCommand::RunStep);
}

void OverlayCommand::Load(const QString& path)
{
    path_ = path;
    picked_loaded_ = false;
    loader_.LoadOverlay();
    if (!picked_loaded_)
        done_(false);
    else if (!step_timer_.isActive())
        SwitchOn();  // a single picture, or a run that ended with its first step
}

void OverlayCommand::RunStep()
{
    if (!loader_.LoadSequenceStep())
        SwitchOn();
}

void OverlayCommand::SwitchOn()
{
    overlay_.overlay_on = 1;
    engine_.OverlaySetupClosed();
    done_(true);
}

bool OverlayCommand::ChooseAndLoad(RgbaImage& image)
{
    image.file_path = path_;
    image.file_title = QFileInfo(path_).fileName();
    picked_loaded_ = image.LoadFromFile(path_);
    return picked_loaded_;
}

}  // namespace vantor
