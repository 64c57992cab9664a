#pragma once
// This copy's network source: created under a numbered name with a fixed block of connection
// metadata, destroyed before every re-creation so a format change leaves and re-announces it.

#include "ndi/ndi_runtime.h"

#include <array>
#include <string_view>

namespace vantor {

// "Kelo Vantor %d" with the instance number plus one, at most 31 characters.
std::array<char, 32> SourceName(int instance_number);

// The connection metadata: one empty ndi_product element, seven attributes, fourteen blanks
// between two.
std::string_view ProductMetadata();

class Sender {
public:
    Sender() = default;
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;
    ~Sender() { DestroySender(); }

    // Creates the source and offers it the metadata; false when the runtime gave no handle.
    bool CreateSender(int instance_number);
    void DestroySender();
    bool exists() const { return handle_ != nullptr; }
    // Hands one frame over; with the video clock on, returns at the frame rate.
    void Send(const NDIlib_video_frame_v2_t& frame) const;

private:
    NDIlib_send_instance_t handle_ = nullptr;
};

}  // namespace vantor
