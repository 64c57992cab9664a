#pragma once
// Image files made by the tests themselves.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <QStringList>

#include <cstdint>
#include <vector>

namespace vantor::test {

// A w x h picture whose pixel (x, y) has the bytes blue x, green y, red x + y, alpha a(x, y).
QImage GradientPicture(int w, int h, bool with_alpha);

void WriteBytes(const QString& path, const QByteArray& bytes);

// A w x h PNG of one colour at `path`, which is returned.
QString SaveSolidPicture(const QString& path, int w, int h, QRgb colour);

// A 4 x 2 GIF89a of palette colours 0 (red), 1 (green), 2 (blue), with 1 as transparent colour.
QByteArray GifWithTransparentColour();

// A GIF89a whose logical screen is w x h, holding `frames` frames of one pixel each at its corner.
QByteArray GifOfTinyFrames(uint16_t w, uint16_t h, int frames);

// A PNG whose header declares w x h pixels, with a valid chunk checksum, over a few bytes of data.
QByteArray PngDeclaring(uint32_t w, uint32_t h);

// A 24-bit BMP header declaring w x h pixels, with no pixel data behind it.
QByteArray BmpDeclaring(int32_t w, int32_t h);

// Runs ImageMagick's convert with these arguments; false when it fails.
bool Convert(const QStringList& arguments);

// The JPEG with an EXIF block whose orientation tag says how to turn it (6: a quarter turn
// clockwise), put right after its start marker.
QByteArray WithExifOrientation(const QByteArray& jpeg, uint16_t orientation);

// Twelve colours far enough apart to be told from one another after a lossy codec.
std::vector<QRgb> AnimationColours(int alpha);

// Encodes one w x h solid picture per colour, in order, at `rate` pictures a second, into
// `path` with ffmpeg and the encoder options given. False when ffmpeg fails.
bool EncodeAnimation(const QString& path, const std::vector<QRgb>& colours, int w, int h, int rate,
                     const QStringList& encoder_options);

}  // namespace vantor::test
