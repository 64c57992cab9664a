#include "imagery/animation_source.h"

#include "imagery/animated_reader.h"
#include "imagery/movie_reader.h"
#include "imagery/sequence_texts.h"

#include <QFileInfo>

namespace vantor {

bool IsAnimationFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    return HasMovieExtension(path) || IsAnimatedPicture(path);
}

std::unique_ptr<AnimationSource> OpenAnimationSource(const QString& path, std::unique_ptr<QFile> file, QString& why)
{
    if (!file) {
        why = QString::fromLatin1(kFailureCannotRead);
        return nullptr;
    }
    return HasMovieExtension(path) ? OpenMovie(path, std::move(file), why) : OpenAnimatedPicture(std::move(file), why);
}

}  // namespace vantor
