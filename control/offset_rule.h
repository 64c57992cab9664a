#pragma once
// Offsets that leave no pixel of the logo in the frame: whoever gives them (the API, its page, a
// setup file, an option) hears so before anything changes. Placed from any corner, the picture's
// nearest edge lies X from the frame's side edge and Y from its top or bottom edge, so the rule
// hangs on the frame's size alone: X below the width and Y below the height keep a pixel in,
// whatever the picture's size.

#include "control/setup.h"

#include <QString>

#include <optional>

namespace vantor {

// The largest offsets that keep a pixel of any logo in a frame of this size.
OverlayOffset LargestOffsetInFrame(int32_t width, int32_t height);

// Why these offsets put the logo wholly outside a frame of this size, the offset named as the
// operator wrote it ("--offset", "offset"); empty when they do not.
QString OffsetOutsideFrame(const QString& named, const OverlayOffset& offset, int32_t width, int32_t height);

// The same for a setup: its offset against its size, or the size a copy starts with when it
// names none; empty when it names no offset or the offset keeps a pixel in.
QString SetupOffsetOutsideFrame(const QString& named, const Setup& setup);

}  // namespace vantor
