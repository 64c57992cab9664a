// The weighted kernels against a straight computation in whole numbers, rounding to nearest,
// at the edges of the byte range and either side of its middle.

#include "engine/logo_blend.h"
#include "engine/logo_mix_pairs.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <vector>

namespace vantor {
namespace {

constexpr std::array<uint32_t, 6> kLevels = {0, 1, 127, 128, 254, 255};

// n / d rounded to nearest, halves up.
uint32_t Rounded(uint32_t n, uint32_t d) { return (2 * n + d) / (2 * d); }

struct Pixel {
    uint32_t b, g, r, a;
};

std::vector<uint8_t> Bytes(const std::vector<Pixel>& pixels)
{
    std::vector<uint8_t> bytes;
    for (const Pixel& p : pixels)
        bytes.insert(bytes.end(), {uint8_t(p.b), uint8_t(p.g), uint8_t(p.r), uint8_t(p.a)});
    return bytes;
}

using Channels = std::array<uint32_t, 4>;

Channels PixelAt(const uint8_t* row, size_t i) { return {row[i * 4], row[i * 4 + 1], row[i * 4 + 2], row[i * 4 + 3]}; }

// `over` at alpha `oa` mixed into `under` at alpha `ua`: the alphas summed (at most 255), each
// colour their alpha-weighted mean.
Channels Mixed(const Pixel& over, uint32_t oa, const Pixel& under, uint32_t ua)
{
    const uint32_t total = oa + ua;
    const auto mean = [&](uint32_t oc, uint32_t uc) { return total == 0 ? 0 : Rounded(oc * oa + uc * ua, total); };
    return {mean(over.b, under.b), mean(over.g, under.g), mean(over.r, under.r), std::min(total, 255u)};
}

// Every pairing of the levels as colour and alpha; 36 pixels, so both the eight-pixel body and
// the tail of a row are covered.
std::vector<Pixel> LevelPixels(uint32_t salt)
{
    std::vector<Pixel> pixels;
    for (uint32_t colour : kLevels)
        for (uint32_t alpha : kLevels)
            pixels.push_back({colour, 255 - colour, (colour + salt) % 256, alpha});
    return pixels;
}

TEST(LogoBlend, AWeightedCopyScalesOnlyTheAlphaRoundedToNearest)
{
    const std::vector<Pixel> source = LevelPixels(0);
    const std::vector<uint8_t> src = Bytes(source);
    for (uint32_t weight : kLevels) {
        std::vector<uint8_t> dst(src.size(), 77);
        CopyRowWeighted(src.data(), dst.data(), source.size(), uint8_t(weight));
        for (size_t i = 0; i < source.size(); ++i) {
            const Pixel& s = source[i];
            const uint8_t* d = &dst[i * 4];
            EXPECT_EQ(d[3], Rounded(s.a * weight, 255)) << "alpha " << s.a << " weight " << weight;
            EXPECT_EQ(ScaledAlpha(s.a, weight), Rounded(s.a * weight, 255));
            EXPECT_TRUE(d[0] == s.b && d[1] == s.g && d[2] == s.r) << "colour changed at " << i;
        }
    }
}

TEST(LogoBlend, AMixAddsTheAlphasAndAveragesTheColoursByThem)
{
    const std::vector<Pixel> source = LevelPixels(0), under = LevelPixels(91);
    const std::vector<uint8_t> src = Bytes(source);
    for (uint32_t weight : kLevels)
        for (size_t shift = 0; shift < under.size(); shift += 7) {
            std::vector<Pixel> below(under.size());
            for (size_t i = 0; i < under.size(); ++i)
                below[i] = under[(i + shift) % under.size()];
            std::vector<uint8_t> dst = Bytes(below);
            MixRowWeighted(src.data(), dst.data(), source.size(), uint8_t(weight));
            for (size_t i = 0; i < source.size(); ++i)
                EXPECT_EQ(PixelAt(dst.data(), i), Mixed(source[i], Rounded(source[i].a * weight, 255), below[i], below[i].a))
                    << "pixel " << i << " weight " << weight;
        }
}

// The one-pass cross-fade against the two passes it replaces, byte for byte, with the leaving
// and shown weights apart and complementary, on rows that end in a part of a vector.
TEST(LogoBlend, ACrossFadeInOnePassGivesTheBytesOfTheWeightedCopyThenTheMix)
{
    const std::vector<uint8_t> leaving = Bytes(LevelPixels(13)), shown = Bytes(LevelPixels(200));
    for (const size_t pixels : {size_t{1}, size_t{17}, leaving.size() / 4})
        for (uint32_t leaving_weight : kLevels)
            for (uint32_t shown_weight : {255 - leaving_weight, uint32_t{128}, uint32_t{1}}) {
                std::vector<uint8_t> two_passes(leaving.size(), 77), one_pass(leaving.size(), 77);
                CopyRowWeighted(leaving.data(), two_passes.data(), pixels, uint8_t(leaving_weight));
                MixRowWeighted(shown.data(), two_passes.data(), pixels, uint8_t(shown_weight));
                CrossFadeRow(leaving.data(), shown.data(), one_pass.data(), pixels, uint8_t(leaving_weight),
                             uint8_t(shown_weight));
                EXPECT_EQ(one_pass, two_passes) << pixels << " pixels, weights " << leaving_weight << " and "
                                                << shown_weight;
            }
}

// Each vector build this processor runs, against the straight computation: a short row and one
// long and aligned enough to be streamed out, every pairing of levels for both pictures.
TEST(LogoBlend, EachVectorBuildMixesTheLevelsExactlyInShortAndStreamedRows)
{
    const std::pair<const char*, MixPairsKernel> builds[] = {{"AVX-512", Avx512MixPairs()}, {"AVX2", Avx2MixPairs()}};
    const std::vector<Pixel> leaving_levels = LevelPixels(13), shown_levels = LevelPixels(200);
    for (const auto& [name, kernel] : builds) {
        if (!kernel)
            continue;  // not on this processor
        for (const size_t pixels : {size_t{36}, size_t{2048}}) {
            std::vector<Pixel> leaving, shown;
            for (size_t i = 0; i < pixels; ++i) {
                leaving.push_back(leaving_levels[i % leaving_levels.size()]);
                shown.push_back(shown_levels[(i * 7) % shown_levels.size()]);
            }
            const std::vector<uint8_t> leaving_bytes = Bytes(leaving), shown_bytes = Bytes(shown);
            const std::unique_ptr<uint8_t, decltype(&std::free)> dst(
                static_cast<uint8_t*>(std::aligned_alloc(64, (pixels * 4 + 63) / 64 * 64)), &std::free);
            for (uint32_t leaving_weight : kLevels)
                for (uint32_t shown_weight : {255 - leaving_weight, uint32_t{128}, uint32_t{1}}) {
                    const size_t done = kernel(leaving_bytes.data(), shown_bytes.data(), dst.get(), pixels,
                                               leaving_weight, shown_weight);
                    ASSERT_GE(done + 16, pixels) << name;
                    for (size_t i = 0; i < done; ++i)
                        ASSERT_EQ(PixelAt(dst.get(), i), Mixed(shown[i], Rounded(shown[i].a * shown_weight, 255), leaving[i],
                                                             Rounded(leaving[i].a * leaving_weight, 255)))
                            << name << ", " << pixels << " pixels, pixel " << i << ", weights " << leaving_weight
                            << " and " << shown_weight;
                }
        }
    }
}

}  // namespace
}  // namespace vantor
