// The one dispatch point of the seven operations: to the vendor's runtime when NDIlib_initialize
// loaded it, to the built-in one otherwise (also before any NDIlib_initialize). Null handles and
// null records are turned away here, whichever runtime runs.

#include "ndi/ndi_runtime.h"

#include "ndi/builtin_runtime.h"
#include "ndi/extensions.h"
#include "ndi/runtime_choice.h"
#include "ndi/source_changes.h"
#include "ndi/source_port.h"

#include <memory>
#include <span>

namespace {

// The vendor's runtime for this run, or null. Written only by NDIlib_initialize and
// NDIlib_destroy, which run before the first sender is made and after the last is gone; read by
// every other operation on whichever thread calls it.
std::unique_ptr<vantor::ndi::VendorLibrary> vendor;

const vantor::ndi::VendorSymbols* Vendor()
{
    return vendor ? &vendor->symbols() : nullptr;
}

}  // namespace

namespace builtin = vantor::ndi::builtin;

bool NDIlib_initialize()
{
    if (const auto* v = Vendor())
        return v->initialize();  // called again: the runtime chosen first stays
    try {
        vantor::ndi::RuntimeChoice choice = vantor::ndi::ChooseRuntime();
        vendor = std::move(choice.vendor);
        return choice.can_run;
    } catch (const std::exception&) {
        return false;
    }
}

void NDIlib_destroy()
{
    // The built-in runtime holds nothing beyond its sources, which NDIlib_send_destroy released.
    if (const auto* v = Vendor())
        v->destroy();
    vendor.reset();
}

const char* NDIlib_version()
{
    // Never null: a vendor's null must not reach the About box's formatting.
    return vendor ? vendor->Version() : builtin::Version();
}

NDIlib_send_instance_t NDIlib_send_create(const NDIlib_send_create_t* p_create_settings)
{
    if (!p_create_settings)
        return nullptr;
    const auto* v = Vendor();
    return v ? v->send_create(p_create_settings) : builtin::SendCreate(*p_create_settings);
}

void NDIlib_send_destroy(NDIlib_send_instance_t p_instance)
{
    if (!p_instance)
        return;
    if (const auto* v = Vendor())
        v->send_destroy(p_instance);
    else
        builtin::SendDestroy(p_instance);
}

void NDIlib_send_add_connection_metadata(NDIlib_send_instance_t p_instance,
                                         const NDIlib_metadata_frame_t* p_metadata)
{
    if (!p_instance || !p_metadata)
        return;
    if (const auto* v = Vendor())
        v->send_add_connection_metadata(p_instance, p_metadata);
    else
        builtin::AddConnectionMetadata(p_instance, *p_metadata);
}

void NDIlib_send_send_video_v2(NDIlib_send_instance_t p_instance,
                               const NDIlib_video_frame_v2_t* p_video_data)
{
    if (!p_instance || !p_video_data)
        return;
    if (const auto* v = Vendor())
        v->send_send_video_v2(p_instance, p_video_data);
    else
        builtin::SendVideo(p_instance, *p_video_data);
}

bool NDIlib_extensions_available()
{
    return !vendor;
}

uint16_t NDIlib_send_get_port(NDIlib_send_instance_t p_instance)
{
    return p_instance && NDIlib_extensions_available() ? builtin::Port(p_instance) : 0;
}

int32_t NDIlib_send_get_receiver_count(NDIlib_send_instance_t p_instance)
{
    return p_instance && NDIlib_extensions_available() ? builtin::ReceiverCount(p_instance) : -1;
}

uint64_t NDIlib_send_get_bytes_sent(NDIlib_send_instance_t p_instance)
{
    return p_instance && NDIlib_extensions_available() ? builtin::BytesSent(p_instance) : 0;
}

bool NDIlib_send_create_found_no_free_port()
{
    return NDIlib_extensions_available() && builtin::LastCreateFoundNoFreePort();
}

bool NDIlib_send_set_changed_rects(NDIlib_send_instance_t p_instance, const NDIlib_changed_rect_t* p_rects,
                                   int32_t count)
{
    if (!p_instance || count < 0 || (count > 0 && !p_rects) || !NDIlib_extensions_available())
        return false;
    builtin::SetChangedRects(p_instance, std::span(p_rects, size_t(count)));
    return true;
}
