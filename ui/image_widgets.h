#pragma once
// The two picture operations that need a window: choosing a file to load, and drawing a
// picture's thumbnail into a control.

#include "imagery/rgba_image.h"

class QLabel;
class QWidget;

namespace vantor {

inline constexpr char kLoadImageTitle[] = "Load Overlay Image";
inline constexpr char kImageFilesFilter[] =
    "Image Files (*.bmp;*.gif;*.jpg;*.png;*.tif;*.webp;*.mov;*.mp4;*.m4v;*.mkv;*.webm)";
inline constexpr char kAllFilesFilter[] = "All Files (*.*)";

// Asks for one file; on confirmation names it in the image and loads it. False when cancelled
// (image unchanged) or when the file does not load.
bool LoadWithFileDialog(RgbaImage& image, QWidget* parent);

// Draws the picture as decoded, scaled smoothly and without its alpha, into the control's
// rectangle, on a black margin. False when there is no control or no decoded picture.
bool DrawThumbnail(QLabel* control, const RgbaImage& image);

}  // namespace vantor
