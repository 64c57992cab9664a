#include "engine/sender.h"

#include "ndi/extensions.h"
#include "ndi/source_changes.h"
#include "ndi/source_port.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace vantor {
namespace {

std::string MakeProductMetadata()
{
    static constexpr std::pair<const char*, const char*> kAttributes[] = {
        {"long_name", "Kelo Vantor - signal generator"},
        {"short_name", "Kelo Vantor"},
        {"manufacturer", "Kelo"},
        {"version", "1.0.2"},
        {"session", "default"},
        {"model_name", "K1"},
        {"serial", "00001"},
    };
    const std::string between(14, ' ');
    std::string text = "<ndi_product ";
    for (size_t i = 0; i < std::size(kAttributes); ++i) {
        if (i > 0)
            text += between;
        text += std::string(kAttributes[i].first) + "=\"" + kAttributes[i].second + "\"";
    }
    return text + "/>";
}

}  // namespace

std::array<char, 32> SourceName(int instance_number)
{
    std::array<char, 32> name{};
    std::snprintf(name.data(), name.size(), "Kelo Vantor %d", instance_number + 1);
    return name;
}

std::string_view ProductMetadata()
{
    static const std::string text = MakeProductMetadata();
    return text;
}

bool RuntimeTakesChangeHints()
{
    return NDIlib_extensions_available();  // the built-in runtime's extension; the vendor's has none
}

bool Sender::CreateSender(int instance_number)
{
    const auto name = SourceName(instance_number);
    NDIlib_send_create_t settings;
    settings.p_ndi_name = name.data();
    settings.p_groups = nullptr;
    settings.clock_video = true;
    settings.clock_audio = false;
    handle_ = NDIlib_send_create(&settings);
    create_failed_ = !handle_;
    found_no_free_port_ = create_failed_ && NDIlib_send_create_found_no_free_port();
    if (create_failed_ && !found_no_free_port_)
        std::fprintf(stderr, "NDI: the runtime gave no source \"%s\"\n", name.data());
    if (!handle_)
        return false;
    std::string text(ProductMetadata());  // the runtime takes a mutable buffer; it copies it
    NDIlib_metadata_frame_t metadata;
    metadata.length = static_cast<int32_t>(text.size());
    metadata.timecode = NDIlib_send_timecode_synthesize;
    metadata.p_data = text.data();
    NDIlib_send_add_connection_metadata(handle_, &metadata);
    takes_hints_ = RuntimeTakesChangeHints();
    return true;
}

int32_t Sender::receiver_count() const
{
    return NDIlib_send_get_receiver_count(handle_);
}

uint64_t Sender::bytes_sent() const
{
    return bytes_of_sources_gone_ + NDIlib_send_get_bytes_sent(handle_);
}

void Sender::DestroySender()
{
    create_failed_ = found_no_free_port_ = false;
    if (!handle_)
        return;
    bytes_of_sources_gone_ += NDIlib_send_get_bytes_sent(handle_);
    NDIlib_send_destroy(handle_);
    handle_ = nullptr;
}

void Sender::Send(const NDIlib_video_frame_v2_t& frame, const FrameChanges& changes) const
{
    if (!handle_)
        return;
    if (takes_hints_ && !changes.all())
        HintChanges(changes.rects());
    NDIlib_send_send_video_v2(handle_, &frame);
}

void Sender::HintChanges(std::span<const PixelRect> rects) const
{
    std::array<NDIlib_changed_rect_t, FrameChanges::kMaxRects> hint;
    std::transform(rects.begin(), rects.end(), hint.begin(), [](const PixelRect& r) {
        return NDIlib_changed_rect_t{r.left, r.top, r.width, r.height};
    });
    NDIlib_send_set_changed_rects(handle_, hint.data(), static_cast<int32_t>(rects.size()));
}

}  // namespace vantor
