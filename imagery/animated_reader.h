#pragma once
// Animated GIF and WebP through Qt's image readers: their frames, composed as a browser shows
// them, with their delays in milliseconds.

#include "imagery/animation_source.h"

#include <QFile>
#include <QImageReader>

namespace vantor {

// Browsers show a GIF frame that asks for less than 2 centiseconds for 10; so does this program.
constexpr int64_t EffectiveGifDelayMs(int64_t delay_ms)
{
    return delay_ms < 20 ? 100 : delay_ms;
}

// Whether the picture file holds more than one frame; the open file is read from its start and
// left there.
bool IsAnimatedPicture(const QString& path);
bool IsAnimatedPicture(QIODevice& file);

// Null, with `why` said, when the open file is not an animated picture that can be read.
std::unique_ptr<AnimationSource> OpenAnimatedPicture(std::unique_ptr<QFile> file, QString& why);

}  // namespace vantor
