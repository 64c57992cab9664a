// Template 102: the main window, 321 x 137 dialog units, controls in tab order.

#include "resources/templates/dialog_template.h"
#include "resources/templates/web_addresses.h"

namespace vantor::templates {
namespace {

using enum ControlKind;

constexpr ControlTemplate kControls[] = {
    {1015, kStatic, "output info", 213, 9, 101, 8, kCentred},
    {1000, kPushButton, "Start", 226, 21, 41, 14},
    {1001, kPushButton, "Stop", 273, 21, 41, 14},
    {1002, kMenuButton, "Resolution", 7, 6, 80, 14},
    {1003, kMenuButton, "Framerate", 95, 6, 80, 14},
    {1021, kColourButton, "Logo/Bug", 7, 26, 47, 14},
    {1004, kRadioButton, "Forward", 7, 44, 45, 10, kGroupStart},
    {1005, kRadioButton, "Reverse", 7, 54, 43, 10},
    {1006, kRadioButton, "Oscillate1", 7, 64, 47, 10},
    {1007, kRadioButton, "Oscillate2", 7, 74, 47, 10},
    {1051, kCheckBox, "One-Shot", 7, 87, 47, 10},
    {1048, kColourButton, "Go", 7, 98, 47, 14},
    {kNoId, kStatic, "Pause", 7, 118, 20, 8},
    {1034, kEdit, "", 30, 116, 16, 14, kDigitsOnly | kBorder},
    {1008, kRadioButton, "Secs", 49, 118, 27, 10, kGroupStart},
    {1009, kRadioButton, "Frames", 80, 118, 36, 10},
    {1014, kPicture, "", 183, 3, 20, 18, kPlain, 131},
    {1016, kStatic, "image info", 138, 118, 78, 8, kCentred},
    {kNoId, kStatic, "Vantor is from", 226, 55, 88, 8, kCentred},
    {kNoId, kStatic, "NDI\u00ae is from", 226, 82, 88, 8, kCentred},
    {1017, kPushButton, kMakerSiteCaption, 226, 65, 88, 14},
    {1018, kPushButton, kNdiVendorSiteCaption, 226, 92, 88, 14},
    {1019, kCheckBox, "Master", 232, 40, 38, 10},
    {1020, kCheckBox, "Slave", 275, 40, 33, 10},
    {1024, kPicture, "", 226, 112, 25, 18, kNotify, 145},
    {1025, kPicture, "", 251, 112, 25, 18, kNotify, 147},
    {1, kDefaultPushButton, "Exit", 280, 116, 34, 14},
    {1026, kPreviewBox, "", 63, 26, 152, 86, kNotify},
};

}  // namespace

const DialogTemplate kMainDialogTemplate{102, "Kelo Vantor for NDI", 321, 137, kControls};

}  // namespace vantor::templates
