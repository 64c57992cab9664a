#pragma once
// Decoding of image files and built-in bitmaps into 32-bit BGRA pictures (QImage::Format_ARGB32,
// which is blue, green, red, alpha in memory here), with every size checked before use.

#include "imagery/memory_gauge.h"
#include "imagery/regular_file.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantor {

// Bytes of a w x h picture at 4 bytes per pixel, when both sizes are positive and the count
// fits a signed 32-bit value; nothing otherwise.
std::optional<int32_t> PixelBytes(int64_t w, int64_t h);

// Bytes a still's load holds at its peak, for a w x h picture its reader decodes in `decoded_format`.
int64_t LoadPeakBytes(int64_t w, int64_t h, QImage::Format decoded_format);

// The file as a Format_ARGB32 picture, as a reference decoder reads it and turned as its
// orientation tag says: the file's straight alpha where it carries transparency (an alpha
// channel, or a PNG's or GIF's transparent colour), alpha 0 everywhere else. A null image when
// the file is missing,
// unreadable, of an unknown format, too large to hold, when its reader does not tell its size
// before decoding, or when `memory` says the machine could not give its load's peak (measured
// from the size the file declares, before decoding). The file is opened once, by `open`, and
// decoded from what was opened.
QImage DecodeImageFile(const QString& path, const MemoryGauge& memory = AvailableMemoryBytes,
                       const FileOpener& open = OpenRegularFile);

// Why a file did not load as a picture, in a sentence for the operator, `memory` being the
// gauge the load used. Never opens anything but a regular file.
QString DescribeLoadFailure(const QString& path, const MemoryGauge& memory = AvailableMemoryBytes);

// A picture compiled into the program, by its bitmap resource id, as Format_ARGB32 with the
// alpha stored in it. A null image when there is no such resource.
QImage DecodeBitmapResource(int resource_id);

// Sets the alpha byte of every pixel of a Format_ARGB32 picture.
void FillAlpha(QImage& argb32, uint8_t alpha);

// Copies a Format_ARGB32 picture's rows, top row first, without gaps, into dst.
void CopyRows(const QImage& argb32, uint8_t* dst);

}  // namespace vantor
