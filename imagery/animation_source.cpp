#include "imagery/animation_source.h"

#include "imagery/animated_reader.h"
#include "imagery/movie_reader.h"

#include <QFileInfo>

namespace vantor {

bool IsAnimationFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    return HasMovieExtension(path) || IsAnimatedPicture(path);
}

std::unique_ptr<AnimationSource> OpenAnimationSource(const QString& path, QString& why)
{
    return HasMovieExtension(path) ? OpenMovie(path, why) : OpenAnimatedPicture(path, why);
}

}  // namespace vantor
