#pragma once
// A file that holds an animation, read one frame after another: animated GIF and WebP through
// Qt's image readers, movies through FFmpeg. Readers run on a loading thread, never on the
// window's thread or the send thread.

#include "imagery/rgba_image.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>

namespace vantor {

enum class FrameRead { kFrame, kEnd, kFailed };

class AnimationSource {
public:
    virtual ~AnimationSource() = default;
    // Seconds per unit of the times below, as a fraction.
    virtual int64_t TimeBaseNum() const = 0;
    virtual int64_t TimeBaseDen() const = 0;
    // The frames the file says it holds; 0 when it does not say.
    virtual int32_t ExpectedFrames() const = 0;
    // The frames to measure the load by: those announced, or as many as its length suggests.
    virtual int32_t EstimatedFrames() const { return ExpectedFrames(); }
    // The size of every picture read.
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // What the decoder holds while it reads, beside the pictures it hands over.
    virtual int64_t DecoderBytes() const = 0;
    // Whether the pictures read so far carry alpha; pictures without it are opaque.
    virtual bool HasAlpha() const = 0;
    // Decodes the next frame into `picture`, with its start time and how long the file says it
    // lasts (the start of the next frame, where there is one, is the better measure).
    virtual FrameRead ReadFrame(RgbaImage& picture, int64_t& start, int64_t& duration) = 0;
    // Why the last read failed, or why the file ends early, in a sentence.
    virtual QString Problem() const = 0;
};

// Whether the file is read as an animation: a movie by its name, or a GIF or WebP picture of
// more than one frame. Only a regular file that exists is one.
bool IsAnimationFile(const QString& path);

// The reader for the animation file `path` names, opened as `file`, whose bytes it reads; null,
// with `why` said, when it cannot be read.
std::unique_ptr<AnimationSource> OpenAnimationSource(const QString& path, std::unique_ptr<QFile> file, QString& why);

}  // namespace vantor
