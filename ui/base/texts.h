#pragma once

#include "check/check_texts.h"
#include "check/poll_cycle.h"
#include "ui/base/config.h"

#include <QLatin1String>
#include <QString>

// Every fixed text the windows and the desktop show, kept together so they stay consistent.
namespace ui::texts {

inline constexpr QLatin1String kProductTitle("Vorn Sentrilo");
inline constexpr QLatin1String kInitialUrl("http://");
inline constexpr QLatin1String kUrlLabel("URL to monitor");
inline constexpr QLatin1String kStart("Start");
inline constexpr QLatin1String kStop("Stop");
inline constexpr QLatin1String kStatusReady("Status: Ready");
inline constexpr QLatin1String kStatusConnecting(
    check::texts::kStatusConnecting.data(), check::texts::kStatusConnecting.size());

// What the caption says of a verdict while the window is minimized, and a notification's summary.
inline constexpr QLatin1String kMarkerUp("[Site OK]");
inline constexpr QLatin1String kMarkerDown("[Site Down]");
// The notification's one action, taken by a click on it: the window comes forward.
inline constexpr QLatin1String kShowWindow("Show");

inline constexpr QLatin1String kMenuFile("File");
inline constexpr QLatin1String kMenuExit("Exit");
inline constexpr QLatin1String kMenuLogging("Logging");
inline constexpr QLatin1String kMenuViewLog("View Log");
inline constexpr QLatin1String kMenuAbout("About");
inline constexpr QLatin1String kMenuAboutProgram("About the Sentrilo");
inline constexpr QLatin1String kMenuAboutSponsor("About Yondrel");

inline constexpr QLatin1String kProgramId(check::texts::kProgramId.data(), check::texts::kProgramId.size());
inline constexpr QLatin1String kDesktopId(config::kDesktopId.data(), config::kDesktopId.size());

inline constexpr QLatin1String kSponsorHost(check::texts::kSponsorHost.data(), check::texts::kSponsorHost.size());
inline constexpr QLatin1String kSponsorReferralQuery("?tolvan");
inline constexpr QLatin1String kBannerOpen("Play free online games at ");
inline constexpr QLatin1String kBannerClose("  Click Here!");

inline constexpr QLatin1String kAboutTitle("About the Sentrilo");
inline constexpr QLatin1String kAboutTextOpen("This utility will poll your webserver every ");
inline constexpr QLatin1String kAboutTextClose(" seconds and log the results to ");

inline constexpr QLatin1String kSponsorTitle("About Yondrel");
inline constexpr QLatin1String kSponsorName("Yondrel");
inline constexpr QLatin1String kSponsorText(
    "Yondrel is a provider of free software, java applets and online games ");
inline constexpr QLatin1String kMoreInformation("More Information");

// The texts made of several parts.
inline QString marker(check::Verdict verdict)
{
    return verdict == check::Verdict::Up ? kMarkerUp : kMarkerDown;
}

inline QString sponsorHome()
{
    return QString::fromStdString(check::texts::sponsorHome());
}

inline QString sponsorReferral()
{
    return sponsorHome() + kSponsorReferralQuery;
}

inline QString bannerText()
{
    return kBannerOpen + QString(kSponsorHost) + kBannerClose;
}

inline QString aboutName()
{
    return kProductTitle + u' ' + QLatin1String(config::kVersion.data(), config::kVersion.size());
}

inline QString aboutText()
{
    return kAboutTextOpen + QString::number(check::kPollInterval.count()) + kAboutTextClose
        + (u'"' + QString::fromLatin1(check::texts::kLogFileName) + u'"') + u'.';
}

} // namespace ui::texts
