#pragma once
// What a copy run from outside its window must tell the operator: a short text for the window's
// output line, and the whole story for standard error and the line's tooltip.

#include <QString>

namespace vantor {

struct Notice {
    const char* short_text;
    QString detail;
};

inline constexpr char kLogoNotLoaded[] = "Logo not loaded";
inline constexpr char kLogoRunCut[] = "Logo run cut short";
inline constexpr char kLogoNotSolid[] = "Logo not solid";
inline constexpr char kSetupNotRestored[] = "Setup not restored";
inline constexpr char kSetupNotRemembered[] = "Setup not saved";
inline constexpr char kControlOff[] = "Control API off";

}  // namespace vantor
