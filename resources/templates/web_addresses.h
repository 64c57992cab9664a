#pragma once
// The web pages the windows open, and the captions that show them.

namespace vantor::templates {

inline constexpr char kMakerSite[] = "https://www.kelo.example/";
inline constexpr char kMakerSiteCaption[] = "www.kelo.example";
inline constexpr char kMakerSiteInvitation[] = "Visit us at www.kelo.example";
inline constexpr char kMakerStore[] = "https://www.kelo.example/store";
inline constexpr char kMakerUserGroup[] = "https://social.kelo.example/groups/vantor";
inline constexpr char kMakerSocialPage[] = "https://social.kelo.example/kelo";
inline constexpr char kMakerVideoChannel[] = "https://video.kelo.example/kelo";
inline constexpr char kHelpPage[] = "https://www.kelo.example/vantor/help";
inline constexpr char kNdiVendorSite[] = "https://ndi.video/";
inline constexpr char kNdiVendorSiteCaption[] = "ndi.video";

inline constexpr char kRightsNotice[] = "\u00a9 2026 Kelo. All rights reserved.";

}  // namespace vantor::templates
