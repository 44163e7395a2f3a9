#pragma once

#include "check/check_texts.h"

#include <QLatin1String>
#include <QString>

// Every fixed text the windows show, kept together so they stay consistent.
namespace ui::texts {

inline constexpr QLatin1String kProductTitle("Vorn Sentrilo");
inline constexpr QLatin1String kInitialUrl("http://");
inline constexpr QLatin1String kUrlLabel("URL to monitor");
inline constexpr QLatin1String kStart("Start");
inline constexpr QLatin1String kStop("Stop");
inline constexpr QLatin1String kStatusReady("Status: Ready");

inline constexpr QLatin1String kMenuFile("File");
inline constexpr QLatin1String kMenuExit("Exit");
inline constexpr QLatin1String kMenuLogging("Logging");
inline constexpr QLatin1String kMenuViewLog("View Log");
inline constexpr QLatin1String kMenuAbout("About");
inline constexpr QLatin1String kMenuAboutProgram("About the Sentrilo");
inline constexpr QLatin1String kMenuAboutSponsor("About Yondrel");

inline constexpr QLatin1String kProgramId(check::texts::kProgramId.data(), check::texts::kProgramId.size());
// The name of its desktop entry, which its windows and notifications refer to (set by the build).
inline constexpr QLatin1String kDesktopId(SENTRILO_DESKTOP_ID);

inline constexpr QLatin1String kSponsorHost(check::texts::kSponsorHost.data(), check::texts::kSponsorHost.size());
inline constexpr QLatin1String kSponsorReferralQuery("?tolvan");
inline constexpr QLatin1String kBannerOpen("Play free online games at ");
inline constexpr QLatin1String kBannerClose("  Click Here!");

inline constexpr QLatin1String kAboutTitle("About the Sentrilo");
inline constexpr QLatin1String kAboutName("Vorn Sentrilo 1.2");
inline constexpr QLatin1String kAboutText(
    "This utility will poll your webserver every 60 seconds and log the results to ");

inline constexpr QLatin1String kSponsorTitle("About Yondrel");
inline constexpr QLatin1String kSponsorName("Yondrel");
inline constexpr QLatin1String kSponsorText(
    "Yondrel is a provider of free software, java applets and online games ");
inline constexpr QLatin1String kMoreInformation("More Information");

// The texts made of several parts.
inline QString sponsorHome()
{
    return QLatin1String("http://") + kSponsorHost + u'/';
}

inline QString sponsorReferral()
{
    return sponsorHome() + kSponsorReferralQuery;
}

inline QString bannerText()
{
    return kBannerOpen + QString(kSponsorHost) + kBannerClose;
}

inline QString aboutText()
{
    return kAboutText + (u'"' + QString::fromLatin1(check::texts::kLogFileName) + u'"') + u'.';
}

} // namespace ui::texts
