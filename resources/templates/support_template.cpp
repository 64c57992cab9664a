// Template 122: the support dialog, 441 x 266 dialog units, hidden until it is placed.

#include "resources/templates/dialog_template.h"
#include "resources/templates/web_addresses.h"

namespace vantor::templates {
namespace {

using enum ControlKind;

constexpr ControlTemplate kControls[] = {
    {1, kDefaultPushButton, "OK", 358, 245, 16, 14, kHidden},
    {2, kPushButton, "Cancel", 384, 245, 50, 14},
    {2102, kPicture, "", 7, 7, 427, 226, kHidden, 190},
    {2100, kPushButton, kMakerSiteInvitation, 7, 245, 136, 14},
    {2101, kPushButton, "Browse Online Store", 156, 245, 136, 14},
    {2103, kStatic, "", 349, 234, 78, 8},
    {2104, kStatic, "", 93, 234, 240, 8},
    {2105, kPicture, "", 304, 243, 25, 18, kNotify, 195},
    {2106, kPicture, "", 331, 243, 25, 18, kNotify, 196},
};

}  // namespace

const DialogTemplate kSupportTemplate{122, "How you can support development of this NDI software...", 441, 266,
                                      kControls};

}  // namespace vantor::templates
