#pragma once
// The built-in runtime behind the seven operations: each source a TCP listener that streams live
// Matroska to every receiver (see ndi_runtime.h). The public operations have already turned away
// null handles and null records.

#include "ndi/ndi_runtime.h"
#include "ndi/source_changes.h"

#include <cstdint>
#include <span>

namespace vantor::ndi::builtin {

bool Initialize();
const char* Version();
NDIlib_send_instance_t SendCreate(const NDIlib_send_create_t& settings);
void SendDestroy(NDIlib_send_instance_t instance);
void AddConnectionMetadata(NDIlib_send_instance_t instance, const NDIlib_metadata_frame_t& metadata);
void SendVideo(NDIlib_send_instance_t instance, const NDIlib_video_frame_v2_t& frame);
uint16_t Port(NDIlib_send_instance_t instance);
int32_t ReceiverCount(NDIlib_send_instance_t instance);
uint64_t BytesSent(NDIlib_send_instance_t instance);
bool LastCreateFoundNoFreePort();
void SetChangedRects(NDIlib_send_instance_t instance, std::span<const NDIlib_changed_rect_t> rects);

}  // namespace vantor::ndi::builtin
