#pragma once
// What the sequence loader says to the operator, written once.

namespace vantor {

inline constexpr char kSequenceCaption[] = "Sequence detection";
inline constexpr char kSequenceQuestion[] = "Sequence exists - ending with:\n\n%s\n\nLoad %d more images?";
inline constexpr char kSequenceClosing[] = "Final image number %d\n\nSequence length = %d";
inline constexpr char kSequenceOutOfMemory[] = "Sequence load failed\n\nOut of memory";
inline constexpr char kLoadingLabel[] = "Loading %s%s";
inline constexpr char kOverlayOnLabel[] = "Overlay ON";
inline constexpr char kOverlayOffLabel[] = "Overlay OFF";

}  // namespace vantor
