#pragma once
// What a list of files shows of an animation file without loading it whole: its picture size and
// frames, and the first frame that shows anything, for a thumbnail.

#include "imagery/memory_gauge.h"
#include "imagery/regular_file.h"
#include "imagery/rgba_image.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace vantor {

struct AnimationFacts {
    int32_t width = 0;
    int32_t height = 0;
    int32_t frames = 0;
};

// The picture size and frames of the animation file; nothing when it cannot be read. A movie's
// frames are counted from its packets, none decoded.
std::optional<AnimationFacts> ProbeAnimationFile(const QString& path);

// A thumbnail looks this far for a frame that shows anything.
inline constexpr int32_t kFramesLookedAtForThumbnail = 250;

// Into `frame`: the first frame of the animation file that shows a pixel (the first frame when
// none of the first kFramesLookedAtForThumbnail does), each read within the memory rule of a
// load. False, with `why` said, when no frame reads.
bool FirstVisibleFrame(const QString& path, const MemoryGauge& memory, const FileOpener& open, RgbaImage& frame,
                       QString& why);

}  // namespace vantor
