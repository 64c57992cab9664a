#include "imagery/png_decoder.h"

#include "imagery/image_decoder.h"

#include <png.h>

#include <csetjmp>

namespace vantor {
namespace {

void ReadFromDevice(png_structp png, png_bytep data, size_t length)
{
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    const qint64 wanted = static_cast<qint64>(length);
    if (device->read(reinterpret_cast<char*>(data), wanted) != wanted)
        png_error(png, "the file ends early");
}

// libpng's warnings (a stray chunk, a bad ancillary checksum) leave the picture whole.
void IgnoreWarning(png_structp, png_const_charp) {}

// Owns libpng's read structures; lives outside the functions that libpng's errors jump out of.
class PngRead {
public:
    PngRead() : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning))
    {
        if (png_)
            info_ = png_create_info_struct(png_);
    }
    ~PngRead() { png_destroy_read_struct(&png_, &info_, nullptr); }
    PngRead(const PngRead&) = delete;
    PngRead& operator=(const PngRead&) = delete;

    bool Valid() const { return png_ && info_; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int passes = 1;  // seven for an interlaced file
    bool carries_alpha = false;
};

// The functions below hold nothing with a destructor: a libpng error returns to their setjmp.

// Reads the header and asks libpng for 8-bit blue, green, red, alpha rows whatever the kind:
// palettes, low depths and a transparent colour expanded, 16-bit samples rounded to 8 bits,
// grey spread to three channels, an opaque fourth byte where the file has no alpha.
bool ReadHeader(png_structp png, png_infop info, PngHeader& header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    const png_byte colour_type = png_get_color_type(png, info);
    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    header.carries_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    header.passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == static_cast<size_t>(header.width) * 4;
}

// Every pass of an interlaced file is read into the same rows, which libpng fills in place.
bool ReadPixels(png_structp png, const PngHeader& header, uchar* bits, qsizetype bytes_per_line)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int pass = 0; pass < header.passes; ++pass)
        for (png_uint_32 y = 0; y < header.height; ++y)
            png_read_row(png, bits + y * bytes_per_line, nullptr);
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

DecodedPicture DecodePng(QIODevice& device)
{
    PngRead read;
    if (!read.Valid())
        return {};
    png_set_read_fn(read.png(), &device, ReadFromDevice);
    PngHeader header;
    if (!ReadHeader(read.png(), read.info(), header) || !PixelBytes(header.width, header.height))
        return {};
    QImage image(static_cast<int>(header.width), static_cast<int>(header.height), QImage::Format_ARGB32);
    if (image.isNull() || !ReadPixels(read.png(), header, image.bits(), image.bytesPerLine()))
        return {};
    return {std::move(image), header.carries_alpha};
}

}  // namespace vantor
