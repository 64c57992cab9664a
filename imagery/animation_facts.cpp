#include "imagery/animation_facts.h"

#include "imagery/animated_reader.h"
#include "imagery/animation_load.h"
#include "imagery/animation_source.h"
#include "imagery/movie_reader.h"

namespace vantor {

std::optional<AnimationFacts> ProbeAnimationFile(const QString& path)
{
    QString why;
    const std::unique_ptr<AnimationSource> source = OpenAnimationSource(path, OpenRegularFile(path), why);
    if (!source)
        return std::nullopt;
    AnimationFacts facts{source->Width(), source->Height(), source->ExpectedFrames()};
    if (HasMovieExtension(path))
        facts.frames = CountMovieFrames(path, OpenRegularFile(path));
    return facts.frames > 0 ? std::optional(facts) : std::nullopt;
}

bool FirstVisibleFrame(const QString& path, const MemoryGauge& memory, const FileOpener& open, RgbaImage& frame,
                       QString& why)
{
    const std::unique_ptr<AnimationSource> source = OpenAnimationSource(path, open(path), why);
    if (!source)
        return false;
    RgbaImage next;
    for (int32_t read = 0; read < kFramesLookedAtForThumbnail; ++read) {
        if (!RoomForFrame(*source, memory)) {
            why = QString::fromLatin1(kAnimationNoMemory).arg(1).arg(source->Width()).arg(source->Height());
            break;
        }
        int64_t start = 0, duration = 0;
        if (source->ReadFrame(next, start, duration) != FrameRead::kFrame) {
            why = source->Problem().isEmpty() ? QStringLiteral("The file holds no picture.") : source->Problem();
            break;
        }
        const bool shows = next.AnyVisiblePixel();
        if (read == 0 || shows)
            frame = std::move(next);
        if (shows)
            break;
    }
    return frame.ready;
}

}  // namespace vantor
