// One instruction set's build of the pair kernel (logo_mix_pairs.cpp includes this once per
// set, with its names defined): whole vectors of pixels, the rest left to the caller.
//
// Per pixel, the two alphas are weighted together in the two 16-bit halves of one lane. Each
// colour is gathered the same way, the shown one in the low half and the leaving one in the
// high, so that one multiply-add gives its alpha-weighted sum. The sum over the alphas' total,
// rounded to nearest, is the mean: a float product with the total's reciprocal, whose error
// (under 1e-4 on a byte) is kept from taking an exact half down by a bias smaller than the least
// step a true mean can lie from a half (1 / 1020).

VANTOR_PAIRS_TARGET size_t MixPairs(const uint8_t* leaving, const uint8_t* shown, uint8_t* dst, size_t pixels,
                                    uint32_t leaving_weight, uint32_t shown_weight)
{
    const VI weights = MM(set1_epi32)(int(shown_weight | leaving_weight << 16));
    const VI rounding = MM(set1_epi16)(128);
    const VI alpha_of_leaving = MM(set1_epi32)(0x00FF0000);
    const VI each_word = MM(set1_epi16)(1);
    const VI one = MM(set1_epi32)(1);
    const VI opaque = MM(set1_epi32)(255);
    const VF two = MM(set1_ps)(2.0f);
    const VF half_up = MM(set1_ps)(0.5f + 1.0f / 4096);
    // Long rows go past the cache, so their bytes are streamed out rather than read in first;
    // the steps keep the first store's alignment.
    const bool stream = pixels >= kStreamedPixels && reinterpret_cast<uintptr_t>(dst) % sizeof(VI) == 0;
    size_t i = 0;
    for (; i + kPairsPixels <= pixels; i += kPairsPixels) {
        _mm_prefetch(reinterpret_cast<const char*>(shown + i * 4 + kPrefetchBytes), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(leaving + i * 4 + kPrefetchBytes), _MM_HINT_T0);
        const VI s = VANTOR_PAIRS_LOAD(shown + i * 4);
        const VI l = VANTOR_PAIRS_LOAD(leaving + i * 4);
        // The alphas, each x its weight / 255, rounded.
        const VI raw = VANTOR_PAIRS_OR(MM(srli_epi32)(s, 24), VANTOR_PAIRS_AND(MM(srli_epi32)(l, 8), alpha_of_leaving));
        const VI t = MM(add_epi16)(MM(mullo_epi16)(raw, weights), rounding);
        const VI alphas = MM(srli_epi16)(MM(add_epi16)(t, MM(srli_epi16)(t, 8)), 8);
        const VI total = MM(madd_epi16)(alphas, each_word);
        // The reciprocal from the instruction's estimate and one Newton step, within 2^-22.
        const VF divisor = MM(cvtepi32_ps)(MM(max_epi32)(total, one));
        const VF estimate = VANTOR_PAIRS_RECIPROCAL(divisor);
        const VF reciprocal = MM(mul_ps)(estimate, MM(fnmadd_ps)(divisor, estimate, two));
#define VANTOR_MEAN_OF(colour)                                                                                 \
    MM(cvttps_epi32)(MM(fmadd_ps)(MM(cvtepi32_ps)(MM(madd_epi16)(VANTOR_PAIRS_COLOUR(s, l, colour), alphas)), \
                                  reciprocal, half_up))
        const VI blue = VANTOR_MEAN_OF(0), green = VANTOR_MEAN_OF(1), red = VANTOR_MEAN_OF(2);
#undef VANTOR_MEAN_OF
        const VI alpha = MM(slli_epi32)(MM(min_epi32)(total, opaque), 24);
        const VI out = VANTOR_PAIRS_OR(VANTOR_PAIRS_OR(blue, MM(slli_epi32)(green, 8)),
                                       VANTOR_PAIRS_OR(MM(slli_epi32)(red, 16), alpha));
        if (stream)
            VANTOR_PAIRS_STREAM(dst + i * 4, out);
        else
            VANTOR_PAIRS_STORE(dst + i * 4, out);
    }
    if (stream)
        _mm_sfence();  // the streamed bytes are seen before anything that follows
    return i;
}
