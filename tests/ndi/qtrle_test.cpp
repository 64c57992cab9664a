#include "ndi/frame_taker.h"
#include "qtrle_reader.h"
#include "ndi/qtrle_line.h"
#include "ndi/qtrle_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vantor::ndi {
namespace {

bool SamePixels(const Picture& a, const Picture& b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int32_t y = 0; y < a.height(); ++y)
        if (!std::equal(a.Row(y), a.Row(y) + a.width(), b.Row(y)))
            return false;
    return true;
}

void Fill(Picture& p, uint32_t value)
{
    for (int32_t y = 0; y < p.height(); ++y)
        std::fill_n(p.Row(y), p.width(), value);
}

// Rows of every kind the encoder meets: noise, one colour, long runs among literals.
Picture MixedPicture(int32_t w, int32_t h)
{
    Picture p;
    p.Reset(w, h);
    uint32_t state = 12345;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            state = state * 1664525u + 1013904223u;
            switch (y % 4) {
            case 0: p.Row(y)[x] = state; break;                         // literals
            case 1: p.Row(y)[x] = 0; break;                             // transparent
            case 2: p.Row(y)[x] = x < 300 ? 0x80FF0000u : state; break; // a run of 300, then noise
            default: p.Row(y)[x] = (x / 2) * 0x01010101u; break;        // runs of two
            }
        }
    return p;
}

TEST(QtrleFrames, AKeyFrameDrawsEveryPixelOverWhateverWasShownBefore)
{
    const Picture sent = MixedPicture(700, 9);
    ByteBuffer key;
    WriteKeyFrame(sent, key);
    Picture shown;
    shown.Reset(700, 9);
    Fill(shown, 0xDEADBEEF);
    ASSERT_TRUE(DrawQtrleFrame(key.bytes(), shown));
    EXPECT_TRUE(SamePixels(shown, sent));
}

// A line of distinct pixels with one pair of equal ones, at every place in and across the eight
// pixels looked at together, in lines of widths around those eight: the pair is found wherever
// it stands (a run of two between two literals, or at an end), and the line draws back exactly.
TEST(QtrleFrames, APairOfEqualPixelsIsFoundAtEveryPlaceAndTheLineDrawsBack)
{
    constexpr size_t kLineHead = 6 + 1 + 1 + 1;  // chunk size and header, skip byte, line end, close
    for (int32_t width = 2; width <= 20; ++width) {
        for (int32_t pair = 0; pair + 1 < width; ++pair) {
            Picture sent;
            sent.Reset(width, 1);
            for (int32_t x = 0; x < width; ++x)
                sent.Row(0)[x] = 0x10000000u + uint32_t(x == pair + 1 ? pair : x);
            ByteBuffer key;
            WriteKeyFrame(sent, key);
            const int32_t before = pair, after = width - pair - 2;
            const size_t literals = (before > 0 ? 1 + 4 * size_t(before) : 0) + (after > 0 ? 1 + 4 * size_t(after) : 0);
            EXPECT_EQ(key.size(), kLineHead + literals + 5) << "width " << width << ", pair at " << pair;
            Picture shown;
            shown.Reset(width, 1);
            ASSERT_TRUE(DrawQtrleFrame(key.bytes(), shown));
            EXPECT_TRUE(SamePixels(shown, sent)) << "width " << width << ", pair at " << pair;
        }
    }
}

// At 4099 pixels a line also holds spans long enough to be copied past the cache, starting at
// other alignments (each next line moves by 12 bytes), and one just too short for that.
TEST(QtrleFrames, ADeltaOfTakenFramesTurnsThePreviousPictureIntoTheNewOne)
{
    for (const int32_t width : {700, 4099}) {
        Picture before = MixedPicture(width, 12);
        Picture taken = MixedPicture(width, 12);
        Picture after = MixedPicture(width, 12);
        after.Row(3)[0] = 1;          // first pixel
        after.Row(3)[width - 1] = 2;  // last pixel of the same row
        after.Row(7)[600] = 3;        // a lone pixel past the longest single skip
        std::fill_n(after.Row(10) + 100, 400, 0x11223344u);  // a long run inside a changed span
        if (width > 2100) {
            after.Row(5)[1] = after.Row(5)[2051] = 4;  // 2051 pixels, streamed
            after.Row(8)[5] = after.Row(8)[2051] = 5;  // 2047 pixels, copied
        }
        std::vector<uint8_t> frame(size_t(width) * 12 * 4);
        for (int32_t y = 0; y < 12; ++y)
            std::memcpy(&frame[size_t(y) * size_t(width) * 4], after.Row(y), size_t(width) * 4);

        ByteBuffer delta;
        ASSERT_TRUE(TakeFrame(frame.data(), width * 4, taken, &delta));
        EXPECT_TRUE(SamePixels(taken, after)) << width;
        ASSERT_TRUE(DrawQtrleFrame(delta.bytes(), before));
        EXPECT_TRUE(SamePixels(before, after)) << width;
    }
}

TEST(QtrleFrames, AnUnchangedFrameIsAFewBytesAndDrawsNothing)
{
    Picture taken = MixedPicture(64, 8);
    std::vector<uint8_t> frame(size_t(64) * 8 * 4);
    for (int32_t y = 0; y < 8; ++y)
        std::memcpy(&frame[size_t(y) * 64 * 4], taken.Row(y), 64 * 4);
    ByteBuffer delta;
    EXPECT_FALSE(TakeFrame(frame.data(), 64 * 4, taken, &delta));
    EXPECT_LE(delta.size(), 16u);
    Picture shown = MixedPicture(64, 8);
    ASSERT_TRUE(DrawQtrleFrame(delta.bytes(), shown));
    EXPECT_TRUE(SamePixels(shown, MixedPicture(64, 8)));
}

TEST(QtrleFrames, AFrameThatDoesNotFitThePictureIsRefused)
{
    ByteBuffer key;
    WriteKeyFrame(MixedPicture(64, 8), key);
    Picture fewer_lines;
    fewer_lines.Reset(64, 4);
    EXPECT_FALSE(DrawQtrleFrame(key.bytes(), fewer_lines));
    Picture narrower;
    narrower.Reset(32, 8);
    EXPECT_FALSE(DrawQtrleFrame(key.bytes(), narrower));
    Picture same;
    same.Reset(64, 8);
    EXPECT_FALSE(DrawQtrleFrame(key.bytes().first(key.size() / 2), same));
}

// The codes as the format's rule gives them, a pixel at a time: runs of two or more (at most
// 128), literals up to the next pair of equal pixels (at most 127).
std::vector<uint8_t> CodesByTheRule(const std::vector<uint32_t>& px, int32_t first, int32_t end)
{
    std::vector<uint8_t> codes;
    auto put = [&](uint32_t bgra) { codes.insert(codes.end(), {uint8_t(bgra >> 24), uint8_t(bgra >> 16), uint8_t(bgra >> 8), uint8_t(bgra)}); };
    for (int32_t i = first; i < end;) {
        int32_t run = 1;
        while (i + run < end && run < kMaxRun && px[size_t(i + run)] == px[size_t(i)])
            ++run;
        if (run >= 2) {
            codes.push_back(uint8_t(256 - run));
            put(px[size_t(i)]);
            i += run;
            continue;
        }
        int32_t k = i + 1;
        while (k < std::min(end, i + kMaxLiteral) && !(k + 1 < end && px[size_t(k)] == px[size_t(k + 1)]))
            ++k;
        codes.push_back(uint8_t(k - i));
        for (; i < k; ++i)
            put(px[size_t(i)]);
    }
    return codes;
}

// Runs of the given lengths, in colours that alternate.
std::vector<uint32_t> Runs(const std::vector<int32_t>& lengths)
{
    std::vector<uint32_t> px;
    for (const int32_t length : lengths)
        px.insert(px.end(), size_t(length), 0x40000000u + uint32_t(px.size()));
    return px;
}

// Runs that end on, before and after each 64-pixel word the coder marks, runs and literals at
// their length limits and a pixel left over from a long run, in spans that start at different
// places of a word: each build writes exactly the rule's codes.
TEST(QtrleLines, EachBuildWritesTheRulesCodesAcrossWordsAndLengthLimits)
{
    std::vector<int32_t> singles_past_a_literal(200, 1), pairs_at_word_edges(300, 1), gradient;
    singles_past_a_literal.push_back(5);
    for (const size_t pair : {62u, 126u, 127u, 188u, 251u})  // pixels 62-63, 127-128, 129-130, 191-192, 255-256
        pairs_at_word_edges[pair] = 2;
    for (uint32_t state = 7, sum = 0; sum < 4096; sum += uint32_t(gradient.back())) {
        state = state * 1664525u + 1013904223u;
        gradient.push_back(int32_t(1 + (state >> 28) % 12));
    }
    const std::pair<const char*, std::vector<int32_t>> lines[] = {
        {"runs of every length around a word and the limits", {1, 2, 3, 1, 1, 63, 64, 65, 1, 127, 128, 129, 130, 1, 2, 256, 257, 1}},
        {"single pixels past the longest literal, then a run", singles_past_a_literal},
        {"short runs of a gradient", gradient},
        {"single pixels with pairs at words' edges", pairs_at_word_edges},
    };
    std::vector<std::pair<const char*, LineCoder>> builds = {{"baseline", BaselineLineCoder()}};
    if (Avx2LineCoder())
        builds.emplace_back("AVX2", Avx2LineCoder());
    for (const auto& [name, lengths] : lines) {
        const std::vector<uint32_t> px = Runs(lengths);
        const int32_t end = int32_t(px.size());
        for (const int32_t first : {0, 1, 63, end - 1})
            for (const auto& [build, coder] : builds) {
                std::vector<uint8_t> codes(size_t(end) * 5 + 8);
                uint8_t* p = codes.data();
                coder(p, px.data(), first, end);
                codes.resize(size_t(p - codes.data()));
                EXPECT_EQ(codes, CodesByTheRule(px, first, end)) << name << ", from pixel " << first << ", " << build;
            }
    }
}

}  // namespace
}  // namespace vantor::ndi
