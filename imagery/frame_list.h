#pragma once
// The loaded logo as a doubly linked list of pictures: the picked picture first, then the
// further frames of a numbered sequence. The first node lives inside the list and is never
// freed; every node after it is owned by the list.
//
// One mutex, `guard`, keeps the send thread's draw of a frame and the user-interface thread's
// changes to the list apart: the send thread holds it for one frame's tick and composite; the
// user-interface thread holds it only to link, unlink or swap (never while it decodes a file or
// frees pixels), so the send thread never waits on slow work.

#include "imagery/rgba_image.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>

namespace vantor {

struct SequenceFrame {
    // The links are written under the list's guard by the user-interface thread and followed
    // under it by the send thread.
    SequenceFrame* next = nullptr;  // null at the last frame
    SequenceFrame* prev = nullptr;  // null at the first frame
    int32_t number = 0;             // the image number in the file name (0 when it has none)
    // How long the picture shows, in the list's time base; unused by an untimed list.
    int64_t duration = 0;
    RgbaImage image;
    // The picture at the list's scale for the output format; empty when it shows at its file's
    // size. Swapped in under the list's guard.
    RgbaImage scaled;
    const RgbaImage& shown() const { return scaled.pixels ? scaled : image; }
};

// Frees the frame given and every frame reached from it by `next`. Null does nothing.
void FreeFrames(SequenceFrame* frame);

struct FreeFramesDeleter {
    void operator()(SequenceFrame* frame) const { FreeFrames(frame); }
};

// A chain of frames taken out of a list: freed, all of it, when the chain goes.
using FrameChain = std::unique_ptr<SequenceFrame, FreeFramesDeleter>;

// A picked file's path split for finding the files that follow it.
struct SequenceName {
    QString stem_path;  // folder and file name without its trailing digits and extension
    QString stem_name;  // file name without folder, trailing digits and extension
    QString extension;  // with its leading dot, possibly empty
    int32_t has_number = 0;    // 1 when the file name ends with a digit
    int32_t first_number = 0;  // the value of the trailing digits
    int32_t digits = 0;        // how many trailing digits make the number (1 to 5)
};

// Fills `name` from a full path; true when the file name ends with a digit. At most five
// trailing digits make the number; any further digits stay in the stem.
bool AnalyseSequenceName(const QString& path, SequenceName& name);

// The number zero-padded to at least `digits` characters ("%0*d"): a wider number keeps all
// its digits, so frame9 is followed by frame10.
QString SequenceNumberText(const SequenceName& name, int32_t number);

// The path of the file with the given number in the run that `name` describes.
QString SequenceFramePath(const SequenceName& name, int32_t number);

// How many files of the run exist in a row from `first_number` + `found` on, counting from
// `found`: each is opened for reading and closed at once; the first that does not open as a
// regular file ends the count.
int32_t ProbeSequence(const SequenceName& name, int32_t found);

// The fields below are used by the user-interface thread alone, except `first`'s picture and
// the links, `last`, `picture_changes` and `guard`, which the send thread reads while it holds
// `guard`.
struct FrameList {
    FrameList() = default;
    FrameList(const FrameList&) = delete;
    FrameList& operator=(const FrameList&) = delete;
    ~FrameList() { FreeFrames(first.next); }

    SequenceName name;          // the analysis of the last file picked with "Load Overlay"
    int32_t frame_count = 1;    // files found while probing; frames in the list otherwise
    SequenceFrame first;        // the overlay picture; never freed
    // The first picture before the last replacement that kept it, for a cross-fade from it; its
    // pixels are replaced, and the older ones freed, at the next such replacement. Under `guard`.
    RgbaImage leaving;
    SequenceFrame* last = &first;  // written under `guard`; reverse play wraps to it
    int32_t expected_count = 0;    // the probed count: the progress bar's maximum
    // Seconds per unit of the frames' durations, as a fraction; a zero numerator makes the list
    // untimed: one picture per output frame, as a numbered run plays. Written under `guard`.
    int64_t time_base_num = 0;
    int64_t time_base_den = 1;
    bool timed_by_file = false;  // the durations are an animation file's own
    int32_t run_rate = 0;  // pictures a second for a numbered run; 0: one per output frame
    // What the pictures' scaled copies were made for: a percentage (0: fitted to the format)
    // and the output's height in lines.
    int32_t scale = 100;
    int32_t output_height = 1080;
    bool loading = false;          // a sequence load runs; Stop and Play clear it
    // Counts the resets of the list by "Load Overlay". Several loaders may work on one list (the
    // dialog's, and one for loads from outside the window): a step of a load whose list has
    // been reset since finds this changed and stops without touching the new list.
    uint32_t reset_count = 0;
    bool saved_is_sequence = false;  // the flags as they were when "Load Overlay" was pressed
    bool saved_overlay_on = false;
    // Counts, under `guard`, every change to the pictures a frame may have been drawn from: the
    // first picture replaced, frames taken out of the list. A held frame is drawn anew when it
    // has moved on.
    uint32_t picture_changes = 0;
    // Counts, under `guard`, the swaps of the pictures' scaled copies: the same pictures at a new
    // size, drawn anew without a cross-fade.
    uint32_t scale_changes = 0;
    std::mutex guard;
};

// Unlinks every frame after the first and hands them back; the caller holds `guard` and lets
// the chain go after releasing it, so pixels are never freed under the lock.
FrameChain DetachAfterFirst(FrameList& frames);

// Puts `picture` and its scaled copy (empty: none) in the first frame's place and hands the ones
// replaced back in them; the caller holds `guard` and frees the old pixels after releasing it.
// Kept (for a cross-fade from it), the one that showed becomes `leaving` instead, and the one
// that was leaving comes back.
void ReplaceFirstPicture(FrameList& frames, RgbaImage& picture, RgbaImage& scaled, bool keep_replaced);

// Links a frame after the last one; the caller holds `guard`. Returns the linked frame.
SequenceFrame* AppendFrame(FrameList& frames, std::unique_ptr<SequenceFrame> frame);

// Times a numbered run by `run_rate`, each picture one unit; an animation keeps its file's
// timing. The caller holds `guard`.
void ApplyRunRate(FrameList& frames);

// Makes the first picture opaque without holding up the send thread: an opaque copy is made
// aside, only the swap happens under `guard`, and the old pixels are freed after it. Called by
// the thread that changes the list. False, and nothing changes, when there is no memory for
// the copy; true also when there is no picture.
bool MakeFirstPictureSolid(FrameList& frames);

}  // namespace vantor
