// The seven operations and our extensions over Source. Every entry point checks its inputs and
// never throws: a bad input is ignored, a failure to create is a null handle.

#include "ndi/ndi_runtime.h"

#include "ndi/matroska_muxer.h"
#include "ndi/source.h"
#include "ndi/source_changes.h"
#include "ndi/source_port.h"
#include "ndi/video_format.h"

#include <memory>
#include <new>
#include <span>
#include <string_view>

struct NDIlib_send_instance_type {
    NDIlib_send_instance_type(std::string name, bool clock_video) : source(std::move(name), clock_video) {}
    vantor::ndi::Source source;
};

namespace {

constexpr const char* kVersionText = "Vantor built-in NDI runtime 1.0.0";

}  // namespace

bool NDIlib_initialize()
{
    // The runtime can run when FFmpeg writes the stream header it needs; the trial leaves nothing.
    try {
        vantor::ndi::MatroskaMuxer trial;
        vantor::ndi::ByteBuffer header;
        return trial.Start({{16, 16, 25, 1, 16, 9}, "trial", ""}, header);
    } catch (const std::exception&) {
        return false;
    }
}

void NDIlib_destroy()
{
    // Sources are released by NDIlib_send_destroy; the runtime itself holds nothing.
}

const char* NDIlib_version()
{
    return kVersionText;
}

NDIlib_send_instance_t NDIlib_send_create(const NDIlib_send_create_t* p_create_settings)
{
    if (!p_create_settings)
        return nullptr;
    try {
        auto instance = std::make_unique<NDIlib_send_instance_type>(
            p_create_settings->p_ndi_name ? p_create_settings->p_ndi_name : "",
            p_create_settings->clock_video);
        return instance->source.listening() ? instance.release() : nullptr;
    } catch (const std::exception&) {
        return nullptr;  // no memory or no thread
    }
}

void NDIlib_send_destroy(NDIlib_send_instance_t p_instance)
{
    std::unique_ptr<NDIlib_send_instance_type> gone(p_instance);
}

void NDIlib_send_add_connection_metadata(NDIlib_send_instance_t p_instance,
                                         const NDIlib_metadata_frame_t* p_metadata)
{
    if (!p_instance || !p_metadata || !p_metadata->p_data || p_metadata->length <= 0)
        return;
    p_instance->source.AddConnectionMetadata(
        std::string_view(p_metadata->p_data, size_t(p_metadata->length)));
}

void NDIlib_send_send_video_v2(NDIlib_send_instance_t p_instance,
                               const NDIlib_video_frame_v2_t* p_video_data)
{
    if (!p_instance || !p_video_data)
        return;
    if (const auto format = vantor::ndi::SendableFormat(*p_video_data))
        p_instance->source.SendVideo(*p_video_data, *format);
}

uint16_t NDIlib_send_get_port(NDIlib_send_instance_t p_instance)
{
    return p_instance ? p_instance->source.port() : 0;
}

bool NDIlib_send_set_changed_rects(NDIlib_send_instance_t p_instance, const NDIlib_changed_rect_t* p_rects,
                                   int32_t count)
{
    if (!p_instance || count < 0 || (count > 0 && !p_rects))
        return false;
    p_instance->source.SetChangedRects(std::span(p_rects, size_t(count)));
    return true;
}
