#pragma once
// What the Overlay setup dialog shows, written once.

namespace vantor {

inline constexpr const char* kCornerNames[4] = {"Upper Left", "Upper Right", "Lower Left", "Lower Right"};
inline constexpr char kCornerText[] = "%s : %d, %d";
inline constexpr char kPixelSizeText[] = "(%d x %d, %dbpp)";
inline constexpr char kPreviewCanvasText[] = "PV bg %dx%d";
inline constexpr char kPreviewStoppedText[] = "Preview Stopped";
inline constexpr char kNothingToPlayText[] = "No picture to play: load one first";
inline constexpr char kSolidOutOfMemoryText[] = "Make solid failed\n\nOut of memory";

}  // namespace vantor
