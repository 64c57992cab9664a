#pragma once
// Movie files through FFmpeg's libraries: the first video stream, decoded and converted to
// BGRA with its alpha, frame by frame with the stream's timestamps.

#include "imagery/animation_source.h"

namespace vantor {

// Whether the file's name is that of a movie container this program reads.
bool HasMovieExtension(const QString& path);

// Null, with `why` said, when the file holds no video stream that can be decoded here.
std::unique_ptr<AnimationSource> OpenMovie(const QString& path, QString& why);

}  // namespace vantor
