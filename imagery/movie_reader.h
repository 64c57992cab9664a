#pragma once
// Movie files through FFmpeg's libraries: the first video stream, decoded and converted to
// BGRA with its alpha, frame by frame with the stream's timestamps.

#include "imagery/animation_source.h"

#include <QFile>

namespace vantor {

// Whether the file's name is that of a movie container this program reads.
bool HasMovieExtension(const QString& path);

// Reads the open file `path` names; null, with `why` said, when it holds no video stream that
// can be decoded here.
std::unique_ptr<AnimationSource> OpenMovie(const QString& path, std::unique_ptr<QFile> file, QString& why);

// The frames of the movie's video stream, counted from its packets without decoding them; 0 when
// it holds no video stream that decodes here.
int32_t CountMovieFrames(const QString& path, std::unique_ptr<QFile> file);

}  // namespace vantor
