#pragma once
// How many frames receivers get from copies' sources: tells a running source from a stopped one.

#include <cstdint>
#include <vector>

namespace vantor::test {

// For each port at once: the frames a receiver gets, counting up to `wanted`, before the
// source falls silent. A running source delivers `wanted`; a stopped one still accepts the
// receiver and sends it one key frame of its last picture, then nothing.
std::vector<int> FramesReceived(const std::vector<uint16_t>& ports, int wanted);

}  // namespace vantor::test
