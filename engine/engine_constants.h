#pragma once
// What the engine shows the operator or other copies: messages, lamp pictures, delays and the
// codes of the messages between copies.

#include <cstdint>

namespace vantor {

inline constexpr char kCannotRunNdiMessage[] = "Cannot run NDI.";
inline constexpr char kFrameCreationProblemMessage[] = "NDI_frame creation problem";
// In place of the output info when the source could not listen: short, for the info line.
inline constexpr char kNoFreePortText[] = "No free port 5960-5999";
inline constexpr char kNoSourceText[] = "NDI source not created";

inline constexpr int kWatermarkBitmap = 139;
inline constexpr int kLampIdle = 131;   // grey
inline constexpr int kLampRed = 132;
inline constexpr int kLampAmber = 133;

inline constexpr int32_t kWatermarkX = 20;          // from the overlay's corner
inline constexpr int32_t kWatermarkYDivisor = 120;  // y = height / 120

inline constexpr int kAutoStartDelay_ms = 2000;
inline constexpr int kPreviewAfterStart_ms = 3000;
inline constexpr int kPreviewAfterOverlaySetup_ms = 5000;
inline constexpr int kShutdownDelay_ms = 2500;

// Codes of the messages between copies.
inline constexpr uint32_t kSyncStartStop = 1;  // payload 1 start, 0 stop
inline constexpr uint32_t kSyncAnnounce = 2;   // payload: the sender's process id
inline constexpr uint32_t kSyncReply = 3;      // payload: the replying copy's instance number
inline constexpr uint32_t kSyncPosition = 5;   // payload: frame position + instance number * 64

}  // namespace vantor
