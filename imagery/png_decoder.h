#pragma once
// PNG files read with libpng itself. Qt's own PNG reader leaves a 16-bit RGB file with a
// transparent colour half written (three samples a pixel into four-sample rows), so every PNG
// is read here, each kind expanded by libpng the way a reference decoder does.

#include <QIODevice>
#include <QImage>

namespace vantor {

struct DecodedPicture {
    QImage argb32;              // Format_ARGB32, straight alpha; null when the file did not decode
    bool carries_alpha = false; // an alpha channel or a transparent colour (tRNS)
};

// Reads the PNG from the device's current position. Refuses, before allocating, a picture
// whose pixel bytes do not fit a signed 32-bit count.
DecodedPicture DecodePng(QIODevice& device);

}  // namespace vantor
