#pragma once
// One source: the caller's side of the sender. It takes each frame at once (compares it with the
// last one, where the caller says it may differ and in a band of rows, and keeps only what
// changed), hands the change to the network thread through a mailbox, and with clock_video
// returns at the frame's deadline on an exact grid. The picture it keeps is the only one: a
// stream starts with a whole picture, and so does the frame after the network side asks for one
// (for a receiver that joins or fell behind, or a key frame's turn); a still picture's is made
// once and kept while small. A frame whose change cannot be handed over (the network thread far
// behind, or memory short) is still taken, and the next one handed over goes whole; a stream
// that cannot start for want of memory starts with a later frame.

#include "ndi/changed_area.h"
#include "ndi/frame_mailbox.h"
#include "ndi/ndi_runtime.h"
#include "ndi/pacing_clock.h"
#include "ndi/picture.h"
#include "ndi/row_sweep.h"
#include "ndi/source_network.h"
#include "ndi/video_format.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantor::ndi {

// A key frame this large is made afresh when needed again rather than kept.
inline constexpr size_t kKeptKeyFrameBytes = 4u << 20;

class Source {
public:
    Source(std::string name, bool clock_video);

    bool listening() const { return network_.listening(); }
    uint16_t port() const { return network_.port(); }
    int32_t receiver_count() const { return network_.receiver_count(); }
    uint64_t bytes_sent() const { return network_.bytes_sent(); }

    // Added to the text every receiver gets as the stream's connection metadata tag.
    void AddConnectionMetadata(std::string_view text);
    // Frames and hints come from one thread at a time (the mutex keeps a misuse harmless).
    // The hint narrows where the next frame taken is compared.
    void SetChangedRects(std::span<const NDIlib_changed_rect_t> rects);
    void SendVideo(const NDIlib_video_frame_v2_t& frame, const VideoFormat& format);

private:
    void Restart(const VideoFormat& format);
    // Whether taken_ has the size of the stream's frames; allocates it when not.
    bool PictureReady();
    void Take(const NDIlib_video_frame_v2_t& frame, int64_t slot);
    // Takes the frame and fills `event` with its change; false, and nothing published, when
    // memory ran short.
    bool TryPublish(const NDIlib_video_frame_v2_t& frame, int64_t slot, RowBand whole_rows, FrameEvent& event);
    // taken_ as a key frame, after what `cluster` holds: made afresh only when it changed since
    // the last one kept.
    void WriteWholeFrame(ByteBuffer& cluster);
    // For the network side while no frame comes: taken_ as a key frame's cluster, unless a frame
    // is being sent or the stream has not yet begun.
    bool WriteIdlePicture(ByteBuffer& cluster);
    std::string MetadataText();

    const std::string name_;
    const bool clock_video_;

    std::mutex metadata_mutex_;
    std::string metadata_text_;  // written by AddConnectionMetadata, read on a restart
    std::atomic<bool> metadata_changed_{false};  // set by AddConnectionMetadata, cleared by the sender

    std::mutex send_mutex_;  // guards everything down to the mailbox: the sending thread's state
    std::optional<VideoFormat> format_;
    Picture taken_;                  // the last frame taken
    bool picture_ready_ = false;     // taken_ is allocated for format_
    ChangedArea changed_;            // where the next frame may differ from taken_
    RowSweep sweep_;                 // rows compared whole whatever changed_ says
    PacingClock clock_;
    int64_t next_unpaced_slot_ = 0;  // slots without clock_video
    bool restart_pending_ = false;   // the network thread has not yet been told of a restart
    bool resend_whole_ = false;      // the next frame published goes whole
    ByteBuffer key_frame_;           // taken_ as the latest small key frame written
    bool key_frame_current_ = false; // key_frame_ is taken_ as it is now

    FrameMailbox mailbox_;
    SourceNetwork network_;  // last: its thread stops before anything above goes
};

}  // namespace vantor::ndi
