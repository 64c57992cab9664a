#include "imagery/sequence_loader.h"

#include "imagery/animation_source.h"
#include "imagery/picture_scale.h"
#include "imagery/sequence_texts.h"

#include <QFileInfo>

#include <algorithm>
#include <mutex>
#include <new>
#include <utility>

namespace vantor {
namespace {

// Delay between two load steps: time for the dialog to handle a Stop click in between.
constexpr int kLoadStepDelayMs = 10;
// Between two looks at an animation that loads on its own thread.
constexpr int kAnimationLookDelayMs = 50;

}  // namespace

void SequenceLoaderHost::ReportAnimationFailure(const QString& path, const QString& why)
{
    ShowMessage(QString(), QString::fromLatin1(kLoadFailureMessage).arg(path, why));
}

void SequenceLoaderHost::ReportAnimationNote(const QString& text)
{
    ShowMessage(QString(), text);
}

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
    const bool loaded = host_.ChooseAndLoad(picked);
    if (IsAnimationFile(picked.file_path)) {
        playback_.is_sequence = frames_.saved_is_sequence;
        StartAnimationLoad(picked.file_path);
        return;
    }
    if (!loaded) {
        if (!picked.file_path.isEmpty())
            host_.ReportLoadFailure(picked.file_path);
        playback_.is_sequence = frames_.saved_is_sequence;
        overlay_.overlay_on = frames_.saved_overlay_on;
        ShowOverlayLabel();
        return;
    }
    InstallFirstPicture(picked);
    host_.ShowLoadedPicture(frames_.first.image);
    if (host_.LoadSwitchesOverlayOff())
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
    if (animation_)
        return AnimationStep();
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
    ScaleChain(frames_, node.get());
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
    if (animation_) {
        AnimationResult result = EndAnimationLoad();
        if (result.count > 0 && my_reset_ == frames_.reset_count)
            InstallAnimation(result, animation_path_);
    }
    frames_.loading = false;
    step_pending_ = false;
    host_.CancelStep();
}

void SequenceLoader::FinishLoad()
{
    host_.HideProgress();
    if (frames_.frame_count > 1)
        playback_.is_sequence = true;
    if (host_.LoadSwitchesOverlayOff())
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
        frames_.timed_by_file = false;
        ApplyRunRate(frames_);
        playback_.send_current = &frames_.first;
        playback_.preview_current = &frames_.first;
    }
    frames_.frame_count = 1;
}

// The new picture was decoded aside; only the swap happens under the guard, and the old
// pixels are freed after it, with `picture`.
void SequenceLoader::InstallFirstPicture(RgbaImage& picture)
{
    RgbaImage scaled = ScaledForList(frames_, picture);
    std::lock_guard lock(frames_.guard);
    ReplaceFirstPicture(frames_, picture, scaled, KeepsReplacedPicture());
}

void SequenceLoader::DropFile(const QString& path)
{
    if (IsAnimationFile(path)) {
        EndRunningLoad();
        frames_.saved_is_sequence = playback_.is_sequence.load();
        frames_.saved_overlay_on = overlay_.overlay_on != 0;
        StartAnimationLoad(path);
        return;
    }
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

// The list is claimed at once, so a run still loading elsewhere stops at its next step; it is
// changed only when the animation has loaded.
void SequenceLoader::StartAnimationLoad(const QString& path)
{
    my_reset_ = ++frames_.reset_count;
    animation_path_ = path;
    animation_ = std::make_unique<AnimationLoad>(path, memory_, host_.AnimationOpener());
    frames_.loading = true;
    host_.ShowProgress(0, 0);
    host_.SetLoadingLabel(QString::asprintf(kLoadingLabel, qUtf8Printable(QFileInfo(path).fileName()), ""));
    step_pending_ = true;
    host_.ScheduleLook(kAnimationLookDelayMs);
}

// Stop ends the decoding where it is and keeps the frames so far, as a run's load does.
bool SequenceLoader::AnimationStep()
{
    step_pending_ = false;
    if (my_reset_ != frames_.reset_count) {
        animation_.reset();
        host_.HideProgress();  // another load has taken the list over
        return false;
    }
    if (frames_.loading && !animation_->done()) {
        host_.ShowProgress(static_cast<uint16_t>(std::min(animation_->expected(), 0xFFFF)),
                           std::min(animation_->decoded(), 0xFFFF));
        step_pending_ = true;
        host_.ScheduleLook(kAnimationLookDelayMs);
        return true;
    }
    AnimationResult result = EndAnimationLoad();
    frames_.loading = false;
    host_.HideProgress();
    if (result.count == 0) {
        host_.ReportAnimationFailure(animation_path_, result.failure.isEmpty()
                                                          ? QStringLiteral("The load was stopped before its first frame.")
                                                          : result.failure);
    } else {
        InstallAnimation(result, animation_path_);
        for (const QString& note : result.notes)
            host_.ReportAnimationNote(note);
    }
    ShowOverlayLabel();
    return false;
}

AnimationResult SequenceLoader::EndAnimationLoad()
{
    animation_->Cancel();
    AnimationResult result = animation_->TakeResult();
    animation_.reset();
    return result;
}

// The first frame's picture goes into the list's first node; the others are linked after it,
// and the pictures replaced are freed after the guard is released.
void SequenceLoader::InstallAnimation(AnimationResult& result, const QString& path)
{
    SequenceFrame& head = *result.frames;
    head.image.file_path = path;
    head.image.file_title = QFileInfo(path).fileName();
    ScaleChain(frames_, &head);
    SequenceFrame* rest = std::exchange(head.next, nullptr);
    SequenceFrame* tail = rest;
    while (tail && tail->next)
        tail = tail->next;
    FrameChain dropped;
    {
        std::lock_guard lock(frames_.guard);
        ReplaceFirstPicture(frames_, head.image, head.scaled, KeepsReplacedPicture());
        dropped = DetachAfterFirst(frames_);
        frames_.timed_by_file = true;
        frames_.time_base_num = result.time_base_num;
        frames_.time_base_den = result.time_base_den;
        frames_.first.number = head.number;
        frames_.first.duration = head.duration;
        if (rest) {
            rest->prev = &frames_.first;
            frames_.first.next = rest;
            frames_.last = tail;
        }
        playback_.send_current = &frames_.first;
        playback_.preview_current = &frames_.first;
    }
    AnalyseSequenceName(path, frames_.name);
    frames_.frame_count = result.count;
    frames_.expected_count = result.count;
    playback_.is_sequence = result.count > 1;
    host_.ShowLoadedPicture(frames_.first.image);
}

void SequenceLoader::ShowOverlayLabel()
{
    host_.SetOverlayLabel(QString::fromLatin1(overlay_.overlay_on ? kOverlayOnLabel : kOverlayOffLabel));
}

}  // namespace vantor
