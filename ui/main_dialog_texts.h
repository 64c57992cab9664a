#pragma once
// What the main window and its two small dialogs show, written once.

namespace vantor {

inline constexpr char kQuitCaption[] = "Quit Vantor";
inline constexpr char kQuitQuestion[] = "OK to exit?";
inline constexpr char kHelpEntry[] = "Open online help (ReadMe file)";
inline constexpr char kAboutEntry[] = "&About NDIVantor...";
inline constexpr char kLookEntry[] = "Logo look...";
inline constexpr char kAboutLine[] = "NDI Vantor, v%1, NDI\u00ae v%2, x%3";

}  // namespace vantor
