#pragma once
// Dialog templates as data: every control's id, kind, caption and place in dialog units, as
// the windows are designed. The widgets are built from these tables (ui/dialog_builder), so a
// control's place can be checked line for line against its design.

#include <cstdint>
#include <span>

namespace vantor::templates {

inline constexpr int kNoId = -1;  // labels and frames the code never addresses

enum class ControlKind {
    kPushButton,
    kDefaultPushButton,
    kStatic,          // text
    kPicture,         // a built-in bitmap, by its resource id
    kFrame,           // an empty black frame
    kGroupBox,
    kEdit,
    kProgressBar,
    kPreviewBox,      // owner-drawn static: the preview box
    kColourButton,    // owner-drawn push button: the colour button
    kRadioButton,
    kCheckBox,
    kMenuButton,      // a push button with a drop-down menu beneath its arrow
};

// Styles, combined as bits.
enum ControlStyle : uint32_t {
    kPlain = 0,
    kHidden = 1u << 0,      // not visible until the code shows it
    kBorder = 1u << 1,      // a thin border
    kNotify = 1u << 2,      // a static that reports clicks
    kCentred = 1u << 3,     // text centred
    kDigitsOnly = 1u << 4,  // an edit that takes only digits
    kGroupStart = 1u << 5,  // the first radio button of an exclusive group
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;  // caption, or empty
    int x, y, w, h;    // dialog units
    uint32_t style = kPlain;
    int bitmap = 0;    // kPicture: the bitmap's resource id
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;  // dialog units, client area
    std::span<const ControlTemplate> controls;  // in tab order
};

extern const DialogTemplate kMainDialogTemplate;     // 102
extern const DialogTemplate kOverlaySetupTemplate;   // 103
extern const DialogTemplate kAboutTemplate;          // 100
extern const DialogTemplate kSupportTemplate;        // 122

}  // namespace vantor::templates
