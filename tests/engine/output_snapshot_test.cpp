// The control API's picture of the output: at most 640 pixels wide, each pixel the frame's own
// (nearest), whatever the format's size, stride or proportions.

#include "engine/output_snapshot.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantor {
namespace {

// A frame whose every pixel says where it is: blue and green the column, red and alpha the row.
std::vector<uint8_t> PlaceCodedFrame(int32_t width, int32_t height, int32_t stride)
{
    std::vector<uint8_t> pixels(size_t(stride) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = pixels.data() + size_t(y) * stride + x * 4;
            p[0] = uint8_t(x), p[1] = uint8_t(x >> 8), p[2] = uint8_t(y), p[3] = uint8_t(y >> 8);
        }
    return pixels;
}

TEST(OutputSnapshot, EachPixelIsTheFramesNearestOneAtMost640Wide)
{
    struct Case {
        int32_t width, height, stride_padding;
        QSize picture;
    };
    for (const Case c : {Case{640, 360, 0, {640, 360}}, Case{1920, 1080, 0, {640, 360}}, Case{720, 576, 0, {640, 512}},
                         Case{4096, 2160, 0, {640, 337}}, Case{1280, 720, 64, {640, 360}}}) {
        SCOPED_TRACE(c.width);
        const int32_t stride = c.width * 4 + c.stride_padding;
        std::vector<uint8_t> pixels = PlaceCodedFrame(c.width, c.height, stride);
        NDIlib_video_frame_v2_t frame;
        frame.xres = c.width;
        frame.yres = c.height;
        frame.line_stride_in_bytes = stride;
        frame.p_data = pixels.data();
        OutputSnapshot snapshot;
        ASSERT_TRUE(snapshot.Allocate());
        snapshot.Take(frame);
        const QImage picture = snapshot.Picture();
        ASSERT_EQ(picture.size(), c.picture);
        for (const QPoint at : {QPoint(0, 0), QPoint(1, 1), QPoint(317, 201), QPoint(c.picture.width() - 1, c.picture.height() - 1)}) {
            const QRgb pixel = picture.pixel(at);
            const int column = qBlue(pixel) | qGreen(pixel) << 8;
            const int row = qRed(pixel) | qAlpha(pixel) << 8;
            EXPECT_EQ(column, int64_t(at.x()) * c.width / c.picture.width()) << at.x();
            EXPECT_EQ(row, int64_t(at.y()) * c.height / c.picture.height()) << at.y();
        }
    }
}

}  // namespace
}  // namespace vantor
