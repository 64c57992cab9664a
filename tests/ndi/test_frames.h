#pragma once
// Frames the tests send and the sending thread that sends them. Every test frame tells which one
// it is in its first pixel, so a receiver's decoded frame can be matched with what was sent.

#include "ndi/ndi_runtime.h"
#include "ndi/source_changes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vantor::test {

using Draw = std::function<void(int64_t n, int32_t width, int32_t height, std::vector<uint8_t>& bgra)>;
// Where frame n differs from frame n - 1, as a caller that knows tells the source.
using Hint = std::function<std::vector<NDIlib_changed_rect_t>(int64_t n, int32_t width, int32_t height)>;

// A box with varied colour and alpha that moves every fourth frame over transparent black.
void DrawMovingBox(int64_t n, int32_t width, int32_t height, std::vector<uint8_t>& bgra);
// Where that box is in frame n.
NDIlib_changed_rect_t MovingBoxPlace(int64_t n, int32_t width, int32_t height);
// Every byte different from frame to frame (the worst case for the sender and the network).
void DrawNoise(int64_t n, int32_t width, int32_t height, std::vector<uint8_t>& bgra);
// The frame number written into the first pixel.
int64_t FrameNumber(const uint8_t* bgra);

NDIlib_video_frame_v2_t FrameRecord(int32_t width, int32_t height, int32_t rate_N, int32_t rate_D,
                                    uint8_t* pixels);

// Sends frames drawn by `draw` from its own thread, paced by the sender, until it goes; with a
// `hint`, it is given before every frame but the first.
class FrameSender {
public:
    FrameSender(NDIlib_send_instance_t sender, int32_t width, int32_t height, int32_t rate_N,
                int32_t rate_D, Draw draw, Hint hint = {});
    ~FrameSender();
    int64_t frames_sent() const { return frames_sent_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> frames_sent_{0};
    std::thread thread_;
};

// The frames an ffmpeg receiver decoded, as BGRA, from a file of raw frames.
std::vector<std::vector<uint8_t>> SplitFrames(const std::string& raw, int32_t width, int32_t height);

// Checks that `decoded` are consecutive frames as `draw` made them, every byte equal.
::testing::AssertionResult AreConsecutiveSentFrames(const std::vector<std::vector<uint8_t>>& decoded,
                                                    int32_t width, int32_t height, const Draw& draw);
// Checks that `decoded` are frames as `draw` made them, every byte equal, in rising order with
// frames left out where a receiver skipped ahead.
::testing::AssertionResult AreSentFramesInOrder(const std::vector<std::vector<uint8_t>>& decoded,
                                                int32_t width, int32_t height, const Draw& draw);

// ffmpeg reading `frame_count` frames of the source on `port` into `output_path` as raw BGRA.
std::vector<std::string> FfmpegReceiver(uint16_t port, int frame_count, const std::string& output_path);

// What ffmpeg decodes of a recording of the stream as a receiver got it, cut anywhere.
std::vector<std::vector<uint8_t>> DecodeRecording(const std::string& stream, int32_t width, int32_t height);

// The next `frame_count` frames of the source on `port` as one ffmpeg receiver decodes them;
// a receiver that fails is reported as a test failure and gives no frames.
std::vector<std::vector<uint8_t>> ReceiveFrames(uint16_t port, int frame_count, int32_t width, int32_t height);

}  // namespace vantor::test
