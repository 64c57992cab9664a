#include "imagery/sequence_loader.h"

#include "imagery/sequence_texts.h"

#include <QFileInfo>

#include <mutex>
#include <new>
#include <utility>

namespace vantor {
namespace {

// Delay between two load steps: time for the dialog to handle a Stop click in between.
constexpr int kLoadStepDelayMs = 10;

}  // namespace

std::unique_ptr<SequenceFrame> AllocateNode()
{
    try {
        return std::make_unique<SequenceFrame>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

SequenceLoader::SequenceLoader(OverlayState& overlay, PlaybackBindings playback,
                               SequenceLoaderHost& host, NodeAllocator allocate_node, MemoryGauge memory)
    : overlay_(overlay), frames_(overlay.frames), playback_(playback), host_(host),
      allocate_node_(std::move(allocate_node)), memory_(std::move(memory))
{
}

void SequenceLoader::LoadOverlay()
{
    EndRunningLoad();
    frames_.saved_is_sequence = playback_.is_sequence;
    frames_.saved_overlay_on = overlay_.overlay_on != 0;
    playback_.is_sequence = false;

    // A picked file that does not load changes nothing, names included: the dialog keeps
    // showing the picture that is sent.
    RgbaImage picked;
    if (!host_.ChooseAndLoad(picked)) {
        if (!picked.file_path.isEmpty())
            host_.ReportLoadFailure(picked.file_path);
        playback_.is_sequence = frames_.saved_is_sequence;
        overlay_.overlay_on = frames_.saved_overlay_on;
        ShowOverlayLabel();
        return;
    }
    InstallFirstPicture(picked);
    host_.ShowLoadedPicture(frames_.first.image);
    overlay_.overlay_on = 0;
    AnalyseSequenceName(frames_.first.image.file_path, frames_.name);
    ResetList();
    if (frames_.name.has_number)
        ProbeAndOffer();
    ShowOverlayLabel();
}

void SequenceLoader::ProbeAndOffer()
{
    frames_.frame_count = ProbeSequence(frames_.name, frames_.frame_count);
    if (frames_.frame_count < 2)
        return;
    const int32_t last_number = frames_.name.first_number + frames_.frame_count - 1;
    const QString question = QString::asprintf(
        kSequenceQuestion, qUtf8Printable(SequenceFramePath(frames_.name, last_number)),
        frames_.frame_count - 1);
    // While the question is open another load (the control API's) may take the list over: the
    // answer then starts nothing, so that no load is left marked as running.
    if (host_.AskOkCancel(QString::fromLatin1(kSequenceCaption), question) && my_reset_ == frames_.reset_count)
        StartLoad();
}

// The first step runs before the question's handler returns, so one more frame is already in
// when the operator can first press Stop.
void SequenceLoader::StartLoad()
{
    frames_.expected_count = frames_.frame_count;
    frames_.frame_count = 1;
    host_.ShowProgress(static_cast<uint16_t>(frames_.expected_count), 1);
    frames_.loading = true;
    LoadSequenceStep();
}

// Takes files while they load, whatever the probe counted: a file that has gone or does not
// decode ends the load normally, and files added since the probe are taken as well.
bool SequenceLoader::LoadSequenceStep()
{
    step_pending_ = false;
    if (my_reset_ != frames_.reset_count) {
        host_.HideProgress();  // another load has taken the list over
        return false;
    }
    if (!host_.RunFileReady(NextFramePath())) {
        step_pending_ = true;
        host_.ScheduleStep(kLoadStepDelayMs);
        return true;
    }
    std::unique_ptr<SequenceFrame> node = allocate_node_();
    if (!node) {
        DropAllButFirst();
        host_.ShowMessage(QString(), QString::fromLatin1(kSequenceOutOfMemory));
        frames_.loading = false;
        return EndLoadStep();
    }
    node->number = frames_.name.first_number + frames_.frame_count;
    const QString number_text = SequenceNumberText(frames_.name, node->number);
    node->image.file_path = NextFramePath();
    node->image.file_title = QFileInfo(node->image.file_path).fileName();
    const bool loaded = host_.LoadPictureFile(node->image, memory_);
    if (my_reset_ != frames_.reset_count) {
        host_.HideProgress();  // taken over while the file was decoded aside
        return false;
    }
    if (!loaded) {
        // A run normally ends at the first number that is missing; a file that is there but
        // does not load (damaged, or more than the machine can give) is worth a word before the
        // closing message. The frames loaded stay.
        if (QFileInfo::exists(node->image.file_path))
            host_.ReportLoadFailure(node->image.file_path);
        frames_.loading = false;
        return EndLoadStep();
    }
    host_.SetLoadingLabel(QString::asprintf(kLoadingLabel, qUtf8Printable(frames_.name.stem_name),
                                            qUtf8Printable(number_text)));
    host_.DrawThumbnail(node->image);
    {
        std::lock_guard lock(frames_.guard);
        AppendFrame(frames_, std::move(node));
    }
    host_.SetProgressPosition(++frames_.frame_count);
    if (!frames_.loading)
        return EndLoadStep();
    step_pending_ = true;
    host_.ScheduleStep(kLoadStepDelayMs);
    return true;
}

QString SequenceLoader::NextFramePath() const
{
    return SequenceFramePath(frames_.name, frames_.name.first_number + frames_.frame_count);
}

bool SequenceLoader::EndLoadStep()
{
    host_.ShowMessage(QString::fromLatin1(kSequenceCaption),
                      QString::asprintf(kSequenceClosing, frames_.last->number, frames_.frame_count));
    FinishLoad();
    return false;
}

// A new "Load Overlay" while a load waits for its next step: the pending step would link
// frames onto a list about to be reset, so it is cancelled, and the load ends as it stands.
void SequenceLoader::EndRunningLoad()
{
    if (!frames_.loading && !step_pending_)
        return;
    AbandonLoad();
    FinishLoad();
}

void SequenceLoader::AbandonLoad()
{
    frames_.loading = false;
    step_pending_ = false;
    host_.CancelStep();
}

void SequenceLoader::FinishLoad()
{
    host_.HideProgress();
    if (frames_.frame_count > 1)
        playback_.is_sequence = true;
    overlay_.overlay_on = frames_.saved_overlay_on;
    ShowOverlayLabel();
}

void SequenceLoader::ResetList()
{
    my_reset_ = ++frames_.reset_count;
    playback_.is_sequence = false;
    DropAllButFirst();
    frames_.first.number = frames_.name.first_number;
}

// The current-frame pointers move to the first frame in the same locked moment as the frames
// leave the list, so neither the send loop nor the preview is left on a freed frame.
void SequenceLoader::DropAllButFirst()
{
    FrameChain dropped;
    {
        std::lock_guard lock(frames_.guard);
        dropped = DetachAfterFirst(frames_);
        playback_.send_current = &frames_.first;
        playback_.preview_current = &frames_.first;
    }
    frames_.frame_count = 1;
}

// The new picture was decoded aside; only the swap happens under the guard, and the old
// pixels are freed after it, with `picture`.
void SequenceLoader::InstallFirstPicture(RgbaImage& picture)
{
    std::lock_guard lock(frames_.guard);
    std::swap(frames_.first.image, picture);
}

void SequenceLoader::DropFile(const QString& path)
{
    RgbaImage dropped;
    dropped.file_path = path;
    dropped.file_title = QFileInfo(path).fileName();
    if (host_.LoadPictureFile(dropped, memory_)) {
        InstallFirstPicture(dropped);
        host_.ShowLoadedPicture(frames_.first.image);
    } else {
        host_.ReportLoadFailure(path);
    }
    ShowOverlayLabel();
}

void SequenceLoader::ShowOverlayLabel()
{
    host_.SetOverlayLabel(QString::fromLatin1(overlay_.overlay_on ? kOverlayOnLabel : kOverlayOffLabel));
}

}  // namespace vantor
