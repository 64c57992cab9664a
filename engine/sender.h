#pragma once
// This copy's network source: created under a numbered name with a fixed block of connection
// metadata, destroyed before every re-creation so a format change leaves and re-announces it.

#include "engine/frame_changes.h"
#include "ndi/ndi_runtime.h"
#include "ndi/source_port.h"

#include <array>
#include <span>
#include <string_view>

namespace vantor {

// "Kelo Vantor %d" with the instance number plus one, at most 31 characters.
std::array<char, 32> SourceName(int instance_number);

// The connection metadata: one empty ndi_product element, seven attributes, fourteen blanks
// between two.
std::string_view ProductMetadata();

// Whether the runtime in use takes the hint of what changed in a frame. Only the built-in runtime
// does; the engine makes the call only where it is taken.
bool RuntimeTakesChangeHints();

class Sender {
public:
    Sender() = default;
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;
    ~Sender() { DestroySender(); }

    // Creates the source and offers it the metadata; false when the runtime gave no handle,
    // which, unless every port was taken (the runtime says that itself), it says on standard
    // error.
    bool CreateSender(int instance_number);
    void DestroySender();
    bool exists() const { return handle_ != nullptr; }
    // The last create gave no handle, and none was made or destroyed since.
    bool create_failed() const { return create_failed_; }
    // After a create that gave no handle: whether every port of the built-in runtime was taken.
    bool found_no_free_port() const { return found_no_free_port_; }
    // Receivers of the source now; -1 without a source or when the runtime does not say.
    int32_t receiver_count() const;
    // Bytes of the stream written to receivers by every source this sender has had.
    uint64_t bytes_sent() const;
    // The built-in source's TCP port; 0 without a source or under the vendor's runtime.
    uint16_t port() const { return NDIlib_send_get_port(handle_); }
    // Hands one frame over, telling the runtime where it changed since the last one where the
    // runtime takes that; with the video clock on, returns at the frame rate.
    void Send(const NDIlib_video_frame_v2_t& frame, const FrameChanges& changes) const;

private:
    void HintChanges(std::span<const PixelRect> rects) const;

    NDIlib_send_instance_t handle_ = nullptr;
    bool takes_hints_ = false;  // the runtime's answer, asked when the sender is created
    bool create_failed_ = false;
    bool found_no_free_port_ = false;
    uint64_t bytes_of_sources_gone_ = 0;
};

}  // namespace vantor
