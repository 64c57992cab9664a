#include "control/offset_rule.h"

#include "control/setup_words.h"
#include "engine/output_format.h"
#include "imagery/overlay_state.h"

#include <algorithm>

namespace vantor {

OverlayOffset LargestOffsetInFrame(int32_t width, int32_t height)
{
    return {std::clamp(width - 1, 0, kMaxXOffset), std::clamp(height - 1, 0, kMaxYOffset)};
}

QString OffsetOutsideFrame(const QString& named, const OverlayOffset& offset, int32_t width, int32_t height)
{
    const OverlayOffset largest = LargestOffsetInFrame(width, height);
    if (offset.x <= largest.x && offset.y <= largest.y)
        return {};
    return QStringLiteral("%1 %2 puts the logo wholly outside the %3x%4 frame: the largest offset that keeps a pixel "
                          "of it in is %5")
        .arg(named, words::OffsetWord(offset))
        .arg(width)
        .arg(height)
        .arg(words::OffsetWord(largest));
}

QString SetupOffsetOutsideFrame(const QString& named, const Setup& setup)
{
    if (!setup.offset)
        return {};
    const OutputFormat start;
    const ResolutionRow* row = setup.size ? FindResolution(*setup.size) : nullptr;
    return OffsetOutsideFrame(named, *setup.offset, row ? row->width : start.width, row ? row->height : start.height);
}

}  // namespace vantor
