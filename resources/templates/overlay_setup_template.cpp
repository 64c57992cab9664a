// Template 103: the Overlay setup dialog, 471 x 111 dialog units, controls in tab order.

#include "resources/templates/dialog_template.h"

namespace vantor::templates {
namespace {

using enum ControlKind;

constexpr ControlTemplate kControls[] = {
    {1, kDefaultPushButton, "OK", 209, 90, 50, 14},
    {2, kPushButton, "Cancel", 264, 90, 50, 14},
    {1037, kPushButton, "Load Overlay", 7, 7, 50, 14},
    {1027, kFrame, "", 7, 27, 137, 76, kNotify},
    {1029, kStatic, "Filename", 63, 10, 163, 8},
    {1031, kStatic, "Pixel size", 232, 10, 82, 8},
    {1032, kStatic, "Overlay Off", 156, 75, 45, 8, kCentred},
    {1033, kPushButton, "Make solid", 154, 54, 50, 14},
    {kNoId, kStatic, "X/Y Offset", 224, 56, 34, 8},
    {1034, kEdit, "", 267, 54, 20, 14, kDigitsOnly | kCentred | kBorder},
    {1035, kEdit, "", 291, 54, 20, 14, kDigitsOnly | kCentred | kBorder},
    {1036, kStatic, " ", 211, 75, 94, 8},
    {kNoId, kGroupBox, "", 154, 68, 160, 19},
    {1039, kProgressBar, "", 154, 34, 104, 14, kBorder | kHidden},
    {1040, kPushButton, "Stop", 264, 34, 23, 14},
    {1041, kStatic, "Sequence loading", 154, 23, 119, 8, kHidden},
    {1042, kPushButton, "Play", 291, 34, 23, 14},
    {1043, kPreviewBox, "", 325, 27, 137, 76, kBorder},
    {1044, kColourButton, "On/Off", 154, 90, 50, 14},
    {kNoId, kStatic, "Preview", 276, 23, 26, 8},
};

}  // namespace

const DialogTemplate kOverlaySetupTemplate{103, "Overlay setup", 471, 111, kControls};

}  // namespace vantor::templates
