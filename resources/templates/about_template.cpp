// Template 100: the About box, 235 x 44 dialog units.

#include "resources/templates/dialog_template.h"
#include "resources/templates/web_addresses.h"

namespace vantor::templates {
namespace {

using enum ControlKind;

constexpr ControlTemplate kControls[] = {
    {kNoId, kPicture, "", 7, 7, 43, 30, kPlain, 144},
    {1022, kStatic, "NDI Vantor, v1.0.1", 56, 9, 172, 8},
    {1023, kStatic, kRightsNotice, 55, 22, 127, 8},
    {1, kDefaultPushButton, "OK", 197, 23, 31, 14},
};

}  // namespace

const DialogTemplate kAboutTemplate{100, "About NDIVantor", 235, 44, kControls};

}  // namespace vantor::templates
