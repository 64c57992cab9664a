// The seven operations over Source. Nothing here throws: a failure to create is a null handle,
// a record that cannot be used is ignored.

#include "ndi/builtin_runtime.h"

#include "ndi/listener.h"
#include "ndi/source.h"
#include "ndi/video_format.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <new>
#include <string_view>

struct NDIlib_send_instance_type {
    NDIlib_send_instance_type(std::string name, bool clock_video) : source(std::move(name), clock_video) {}
    vantor::ndi::Source source;
};

namespace vantor::ndi::builtin {
namespace {

constexpr const char* kVersionText = "Vantor built-in NDI runtime 1.0.0";

// Written by every create; sources are made on one thread at a time, read on the same.
std::atomic<bool> last_create_found_no_free_port{false};

// Every port taken: without this the source would simply be missing from the network.
void SayNoFreePort(const char* name)
{
    std::fprintf(stderr, "NDI: no free port from %u to %u: the source \"%s\" is not on the network\n",
                 unsigned(kFirstPort), unsigned(kLastPort), name);
}

}  // namespace

bool Initialize()
{
    return true;  // nothing to load: the stream is written by our own code
}

const char* Version()
{
    return kVersionText;
}

NDIlib_send_instance_t SendCreate(const NDIlib_send_create_t& settings)
{
    last_create_found_no_free_port = false;
    const char* name = settings.p_ndi_name ? settings.p_ndi_name : "";
    try {
        auto instance = std::make_unique<NDIlib_send_instance_type>(name, settings.clock_video);
        if (instance->source.listening())
            return instance.release();
        if (instance->source.port() == 0) {
            last_create_found_no_free_port = true;
            SayNoFreePort(name);
        }
        return nullptr;
    } catch (const std::exception&) {
        return nullptr;  // no memory or no thread
    }
}

void SendDestroy(NDIlib_send_instance_t instance)
{
    std::unique_ptr<NDIlib_send_instance_type> gone(instance);
}

void AddConnectionMetadata(NDIlib_send_instance_t instance, const NDIlib_metadata_frame_t& metadata)
{
    if (metadata.p_data && metadata.length > 0)
        instance->source.AddConnectionMetadata(std::string_view(metadata.p_data, size_t(metadata.length)));
}

void SendVideo(NDIlib_send_instance_t instance, const NDIlib_video_frame_v2_t& frame)
{
    if (const auto format = SendableFormat(frame))
        instance->source.SendVideo(frame, *format);
}

uint16_t Port(NDIlib_send_instance_t instance)
{
    return instance->source.port();
}

int32_t ReceiverCount(NDIlib_send_instance_t instance)
{
    return instance->source.receiver_count();
}

uint64_t BytesSent(NDIlib_send_instance_t instance)
{
    return instance->source.bytes_sent();
}

bool LastCreateFoundNoFreePort()
{
    return last_create_found_no_free_port;
}

void SetChangedRects(NDIlib_send_instance_t instance, std::span<const NDIlib_changed_rect_t> rects)
{
    instance->source.SetChangedRects(rects);
}

}  // namespace vantor::ndi::builtin
