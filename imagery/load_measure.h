#pragma once
// What a load will hold, measured before anything is decoded: pictures at the size their
// decoders really allocate (a GIF's logical screen, a movie's coded size), every frame an
// animation keeps, and the decoder's own pictures beside them; and whether that fits the share
// of memory one load may take.

#include "imagery/memory_gauge.h"
#include "imagery/regular_file.h"

#include <QImageReader>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantor {

class AnimationSource;

// The size of the pictures the reader's decoder allocates. Qt composes every frame of a GIF on
// its logical screen (bytes 6 to 9 of the file), whatever size the frames say they are, and
// takes the first frame's extent only where the screen says 0; other readers allocate what they
// declare. Invalid when the reader declares nothing.
QSize DecodedPictureSize(QImageReader& reader);

struct LoadMeasure {
    bool animation = false;
    int32_t width = 0;  // of each picture kept
    int32_t height = 0;
    int32_t frames = 1;       // pictures kept
    int64_t peak_bytes = 0;   // the whole load at its peak
};

// An animation's load: every frame kept at 4 bytes a pixel, and the decoder's working pictures.
LoadMeasure MeasureAnimation(const AnimationSource& source);

// Why a load so measured cannot be taken within `share_bytes` (one load's share, see
// LoadShareBytes), in a sentence for the operator; empty when it fits or the share is unknown.
QString ShareRefusal(const LoadMeasure& measure, std::optional<int64_t> share_bytes);

// The load of the file `path` names as the loaders take it (a movie or animated picture whole,
// any other picture as a still), measured without decoding, from the file `open` opens;
// nothing, with `why` said, when the file cannot be read or tells no size.
std::optional<LoadMeasure> MeasureLoad(const QString& path, QString& why, const FileOpener& open = OpenRegularFile);

}  // namespace vantor
