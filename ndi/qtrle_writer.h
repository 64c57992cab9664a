#pragma once
// Writes QuickTime Animation frames (qtrle, 32-bit ARGB with alpha), the codec every FFmpeg-based
// receiver decodes losslessly. A key frame holds every pixel; a delta holds only the changed
// span of each changed line and is drawn over the picture the receiver already shows, so an
// unchanged picture costs a few bytes and a small moving logo costs only its own pixels.

#include "ndi/byte_buffer.h"
#include "ndi/picture.h"

#include <cstddef>
#include <cstdint>

namespace vantor::ndi {

class QtrleWriter {
public:
    // Starts a frame after what `out` holds. A key frame must then get every line, in order,
    // whole; a delta gets any lines in rising order.
    QtrleWriter(ByteBuffer& out, bool key_frame);

    // Pixels [first, end) of line y, taken from `row` (BGRA pixels of the whole line).
    void WriteLine(int32_t y, const uint32_t* row, int32_t first, int32_t end);

    // Completes the frame. A delta without lines becomes the frame that changes nothing.
    void Finish();

private:
    void WriteSkip(uint8_t*& p, int32_t pixels);

    ByteBuffer& out_;
    bool key_frame_;
    size_t start_;  // where the frame begins in out_
    int32_t first_line_ = -1;  // -1: no line written yet
    int32_t next_line_ = 0;
};

// The whole picture as a key frame, after what `out` holds.
void WriteKeyFrame(const Picture& picture, ByteBuffer& out);
// Most bytes a key frame of a picture of that size can take.
size_t KeyFrameBytesAtMost(int32_t width, int32_t height);

}  // namespace vantor::ndi
