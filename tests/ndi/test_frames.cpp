#include "test_frames.h"

#include "child_process.h"
#include "test_source.h"

#include <algorithm>
#include <fstream>

namespace vantor::test {
namespace {

void WriteFrameNumber(int64_t n, std::vector<uint8_t>& bgra)
{
    bgra[0] = uint8_t(n);
    bgra[1] = uint8_t(n >> 8);
    bgra[2] = uint8_t(n >> 16);
    bgra[3] = 255;
}

}  // namespace

NDIlib_changed_rect_t MovingBoxPlace(int64_t n, int32_t width, int32_t height)
{
    const int32_t box = std::min(width, height) / 2;
    return {int32_t((n / 4) * 3 % (width - box)), height / 4, box, box};
}

void DrawMovingBox(int64_t n, int32_t width, int32_t height, std::vector<uint8_t>& bgra)
{
    std::fill(bgra.begin(), bgra.end(), 0);
    const NDIlib_changed_rect_t place = MovingBoxPlace(n, width, height);
    for (int32_t y = place.y; y < place.y + place.height; ++y)
        for (int32_t x = place.x; x < place.x + place.width; ++x) {
            uint8_t* p = &bgra[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(x * 5);
            p[1] = uint8_t(y * 7);
            p[2] = uint8_t(n / 4);
            p[3] = uint8_t((x + y) * 9);  // every alpha from 0 to 255 occurs
        }
    WriteFrameNumber(n, bgra);
}

void DrawNoise(int64_t n, int32_t, int32_t, std::vector<uint8_t>& bgra)
{
    uint64_t state = 0x9E3779B97F4A7C15ull * uint64_t(n + 1);
    for (uint8_t& byte : bgra) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = uint8_t(state);
    }
    WriteFrameNumber(n, bgra);
}

int64_t FrameNumber(const uint8_t* bgra)
{
    return int64_t(bgra[0]) | int64_t(bgra[1]) << 8 | int64_t(bgra[2]) << 16;
}

NDIlib_video_frame_v2_t FrameRecord(int32_t width, int32_t height, int32_t rate_N, int32_t rate_D,
                                    uint8_t* pixels)
{
    NDIlib_video_frame_v2_t frame;
    frame.xres = width;
    frame.yres = height;
    frame.FourCC = NDIlib_FourCC_type_BGRA;
    frame.frame_rate_N = rate_N;
    frame.frame_rate_D = rate_D;
    frame.picture_aspect_ratio = 16.0f / 9.0f;
    frame.p_data = pixels;
    frame.line_stride_in_bytes = width * 4;
    return frame;
}

FrameSender::FrameSender(NDIlib_send_instance_t sender, int32_t width, int32_t height,
                         int32_t rate_N, int32_t rate_D, Draw draw, Hint hint)
{
    thread_ = std::thread([=, this] {
        std::vector<uint8_t> pixels(size_t(width) * height * 4);
        const NDIlib_video_frame_v2_t frame = FrameRecord(width, height, rate_N, rate_D, pixels.data());
        for (int64_t n = 0; !stop_; ++n) {
            draw(n, width, height, pixels);
            if (hint && n > 0) {
                const std::vector<NDIlib_changed_rect_t> rects = hint(n, width, height);
                NDIlib_send_set_changed_rects(sender, rects.data(), int32_t(rects.size()));
            }
            NDIlib_send_send_video_v2(sender, &frame);
            frames_sent_ = n + 1;
        }
    });
}

FrameSender::~FrameSender()
{
    stop_ = true;
    thread_.join();
}

std::vector<std::vector<uint8_t>> SplitFrames(const std::string& raw, int32_t width, int32_t height)
{
    const size_t frame_bytes = size_t(width) * height * 4;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; at + frame_bytes <= raw.size(); at += frame_bytes)
        frames.emplace_back(raw.begin() + std::ptrdiff_t(at), raw.begin() + std::ptrdiff_t(at + frame_bytes));
    return frames;
}

namespace {

// Frame i of `decoded` is checked against the frame numbered `number(i)`.
::testing::AssertionResult AreSentFramesNumbered(const std::vector<std::vector<uint8_t>>& decoded, int32_t width,
                                                 int32_t height, const Draw& draw,
                                                 const std::function<int64_t(size_t i)>& number)
{
    if (decoded.empty())
        return ::testing::AssertionFailure() << "no frame decoded";
    std::vector<uint8_t> sent(size_t(width) * height * 4);
    for (size_t i = 0; i < decoded.size(); ++i) {
        const int64_t n = number(i);
        if (i > 0 && n <= number(i - 1))
            return ::testing::AssertionFailure() << "decoded frame " << i << " is number " << n << " after "
                                                 << number(i - 1);
        draw(n, width, height, sent);
        const auto differs = std::mismatch(sent.begin(), sent.end(), decoded[i].begin());
        if (differs.first != sent.end()) {
            const size_t at = size_t(differs.first - sent.begin());
            return ::testing::AssertionFailure()
                   << "decoded frame " << i << " (number " << FrameNumber(decoded[i].data())
                   << ", expected " << n << ") differs at pixel " << at / 4 % width << ","
                   << at / 4 / width << " byte " << at % 4 << ": sent " << int(*differs.first)
                   << ", decoded " << int(*differs.second);
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult AreConsecutiveSentFrames(const std::vector<std::vector<uint8_t>>& decoded,
                                                    int32_t width, int32_t height, const Draw& draw)
{
    const int64_t first = decoded.empty() ? 0 : FrameNumber(decoded[0].data());
    return AreSentFramesNumbered(decoded, width, height, draw, [first](size_t i) { return first + int64_t(i); });
}

::testing::AssertionResult AreSentFramesInOrder(const std::vector<std::vector<uint8_t>>& decoded,
                                                int32_t width, int32_t height, const Draw& draw)
{
    return AreSentFramesNumbered(decoded, width, height, draw,
                                 [&decoded](size_t i) { return FrameNumber(decoded[i].data()); });
}

std::vector<std::string> FfmpegReceiver(uint16_t port, int frame_count, const std::string& output_path)
{
    return {"ffmpeg", "-nostdin", "-v", "error", "-i", "tcp://127.0.0.1:" + std::to_string(port),
            "-frames:v", std::to_string(frame_count), "-fps_mode", "passthrough", "-f", "rawvideo",
            "-pix_fmt", "bgra", "-y", output_path};
}

std::vector<std::vector<uint8_t>> DecodeRecording(const std::string& stream, int32_t width, int32_t height)
{
    TempDir dir;
    {
        std::ofstream file(dir.Path("received.mkv"), std::ios::binary);
        file.write(stream.data(), std::streamsize(stream.size()));
    }
    ChildProcess decoder({"ffmpeg", "-nostdin", "-v", "error", "-i", dir.Path("received.mkv"), "-fps_mode",
                          "passthrough", "-f", "rawvideo", "-pix_fmt", "bgra", "-y", dir.Path("frames.raw")},
                         dir.Path("out"));
    decoder.Wait(kClientTimeoutMs);  // a recording cut inside a frame ends in an error
    return SplitFrames(ReadFile(dir.Path("frames.raw")), width, height);
}

std::vector<std::vector<uint8_t>> ReceiveFrames(uint16_t port, int frame_count, int32_t width, int32_t height)
{
    TempDir dir;
    ChildProcess receiver(FfmpegReceiver(port, frame_count, dir.Path("frames.raw")), dir.Path("out"));
    if (receiver.Wait(kClientTimeoutMs) != 0) {
        ADD_FAILURE() << "the receiver failed: " << receiver.Errors();
        return {};
    }
    return SplitFrames(ReadFile(dir.Path("frames.raw")), width, height);
}

}  // namespace vantor::test
