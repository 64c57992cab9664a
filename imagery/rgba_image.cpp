#include "imagery/rgba_image.h"

#include "imagery/image_decoder.h"
#include "imagery/visible_pixels.h"

#include <cstring>
#include <new>
#include <span>

namespace vantor {

void RgbaImage::MakeEmpty()
{
    width = height = byte_count = bits_per_pixel = 0;
    ready = made_solid = false;
    decoded_bitmap = QImage();  // it shows the pixels about to go
    pixels.reset();
}

// Empties the image first, so a failed allocation leaves nothing to composite.
bool RgbaImage::AllocatePixels(int32_t w, int32_t h)
{
    MakeEmpty();
    const auto bytes = PixelBytes(w, h);
    if (!bytes)
        return false;
    pixels.reset(new (std::nothrow) uint8_t[static_cast<size_t>(*bytes)]);
    if (!pixels)
        return false;
    width = w;
    height = h;
    bits_per_pixel = 32;
    byte_count = *bytes;
    return true;
}

bool RgbaImage::LoadFromFile(const QString& path, const MemoryGauge& memory, const FileOpener& open)
{
    const QImage decoded = DecodeImageFile(path, memory, open);
    if (decoded.isNull())
        return false;
    return LoadDecoded(decoded.width(), decoded.height(), [&](uint8_t* rows) { CopyRows(decoded, rows); });
}

void RgbaImage::ViewPixels()
{
    decoded_bitmap = QImage(static_cast<const uchar*>(pixels.get()), width, height, width * 4, QImage::Format_ARGB32);
}

bool RgbaImage::CopyTo(RgbaImage& copy) const
{
    if (!pixels || !copy.AllocatePixels(width, height))
        return false;
    std::memcpy(copy.pixels.get(), pixels.get(), static_cast<size_t>(byte_count));
    copy.bits_per_pixel = bits_per_pixel;
    copy.file_title = file_title;
    copy.file_path = file_path;
    if (!decoded_bitmap.isNull())
        copy.ViewPixels();
    copy.ready = ready;
    return true;
}

bool RgbaImage::LoadFromResource(int resource_id)
{
    QImage bitmap = DecodeBitmapResource(resource_id);
    if (bitmap.isNull())
        return false;
    if (!AllocatePixels(bitmap.width(), bitmap.height()))
        return false;
    CopyRows(bitmap, pixels.get());
    ready = true;
    return true;
}

bool RgbaImage::FillSolid(int32_t w, int32_t h, int red, int green, int blue)
{
    if (!AllocatePixels(w, h))
        return false;
    Fill(static_cast<uint8_t>(blue), static_cast<uint8_t>(green), static_cast<uint8_t>(red), 255);
    ready = true;
    return true;
}

void RgbaImage::Fill(uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha)
{
    if (!pixels)
        return;
    const uint8_t bgra[4] = {blue, green, red, alpha};
    uint8_t* p = pixels.get();
    for (int32_t i = 0; i < byte_count; i += 4)
        std::memcpy(p + i, bgra, 4);
}

void RgbaImage::MakeSolid()
{
    if (!pixels || byte_count == 0)
        return;
    const int64_t count = int64_t{width} * height;
    for (int64_t i = 0; i < count; ++i)
        pixels[i * 4 + 3] = 255;
    made_solid = true;
}

void RgbaImage::Release() { MakeEmpty(); }

bool RgbaImage::AnyVisiblePixel() const
{
    return pixels && bits_per_pixel == 32 && vantor::AnyVisiblePixel({pixels.get(), size_t(byte_count)});
}

}  // namespace vantor
