#pragma once
// One picture as 32-bit pixels: blue, green, red, alpha bytes, straight alpha, rows without
// gaps, top row first. The same layout as the output frame, so a pixel is copied unchanged.

#include "imagery/memory_gauge.h"
#include "imagery/regular_file.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace vantor {

// Corner codes: from which corner the X and Y offsets are measured.
inline constexpr int32_t kCornerUpperLeft = 0;
inline constexpr int32_t kCornerUpperRight = 7;
inline constexpr int32_t kCornerLowerLeft = 10;
inline constexpr int32_t kCornerLowerRight = 11;
inline constexpr int32_t kCornerCentre = 3;

// Composite modes: copy moves whole pixels, alpha included; every other value blends.
inline constexpr int32_t kCompositeBlend = 1;
inline constexpr int32_t kCompositeCopy = 2;

// A rectangle of frame pixels: where a composite writes.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const PixelRect&) const = default;
};

class RgbaImage {
public:
    RgbaImage() = default;
    RgbaImage(const RgbaImage&) = delete;
    RgbaImage& operator=(const RgbaImage&) = delete;
    RgbaImage(RgbaImage&&) noexcept = default;
    RgbaImage& operator=(RgbaImage&&) noexcept = default;

    int32_t width = 0;
    int32_t height = 0;
    int32_t byte_count = 0;      // width * height * bits_per_pixel / 8; 0 = no pixels
    int32_t bits_per_pixel = 0;  // 32 for everything a load or fill completes
    QString file_title;          // file name without folder, set by the caller before a load
    QString file_path;           // full path, set by the caller before a load
    // The picture as decoded from its file, for thumbnails: a read-only view of `pixels`, so a
    // picture costs its pixels once. Null for pictures not loaded from a file.
    QImage decoded_bitmap;
    std::unique_ptr<uint8_t[]> pixels;
    bool ready = false;
    bool made_solid = false;     // MakeSolid has made every pixel opaque

    // Decodes an image file. Undecodable, missing, or more than `memory` says the machine can
    // give: false, picture unchanged (DescribeLoadFailure says why). Out of memory all the same:
    // false, picture empty. Never throws. `open` opens the file.
    bool LoadFromFile(const QString& path, const MemoryGauge& memory = AvailableMemoryBytes,
                      const FileOpener& open = OpenRegularFile);
    // Takes a picture decoded elsewhere: `write_rows` fills the w x h pixels, rows without gaps,
    // top row first. False, and the image empty, without memory or for an impossible size.
    template <typename WriteRows>
    bool LoadDecoded(int32_t w, int32_t h, WriteRows&& write_rows)
    {
        if (!AllocatePixels(w, h))
            return false;
        write_rows(pixels.get());
        ViewPixels();
        ready = true;
        return true;
    }
    // Loads one of the pictures compiled into the program, by its bitmap resource id.
    bool LoadFromResource(int resource_id);
    bool FillSolid(int32_t w, int32_t h, int red, int green, int blue);
    // Sets every pixel to these four bytes; nothing without pixels.
    void Fill(uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha);
    void MakeSolid();
    // Makes `copy` this picture, names and thumbnail view included; false, and `copy` empty,
    // without memory for it or without pixels to copy.
    bool CopyTo(RgbaImage& copy) const;
    void Release();

    // Places the picture relative to a corner of a W x H frame of BGRA pixels and copies
    // (mode 2) or blends it there, clipped at the frame's edges. Writes nothing else.
    void Composite(int32_t x, int32_t y, int32_t corner, int32_t mode, uint8_t* frame,
                   int32_t frame_width, int32_t frame_height) const;

    // The rows Composite with these arguments writes, for drawing with another kernel: the
    // first row of each side, its stride, and how many pixels wide and rows high.
    struct PlacedRows {
        const uint8_t* src;
        uint8_t* dst;
        size_t src_stride;
        size_t dst_stride;
        size_t width;
        int64_t rows;
    };
    std::optional<PlacedRows> PlaceRows(int32_t x, int32_t y, int32_t corner, uint8_t* frame,
                                        int32_t frame_width, int32_t frame_height) const;

    // The frame pixels that Composite with these arguments writes; nothing when it writes none.
    std::optional<PixelRect> PlacedRect(int32_t x, int32_t y, int32_t corner, int32_t frame_width,
                                        int32_t frame_height) const;

    bool IsCompositable() const { return byte_count != 0 && bits_per_pixel == 32 && ready; }
    // Some pixel has an alpha above 0: composited, the picture shows at all.
    bool AnyVisiblePixel() const;

private:
    void MakeEmpty();
    bool AllocatePixels(int32_t w, int32_t h);
    // decoded_bitmap as a view of the pixels.
    void ViewPixels();
};

}  // namespace vantor
