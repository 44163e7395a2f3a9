#pragma once

#include <string>
#include <string_view>

// Every text a check shows, sends or writes, kept together so they stay consistent.
namespace check::texts {

inline constexpr std::string_view kStatusConnecting = "Status: Connecting...";
inline constexpr std::string_view kStatusDownOpen = "Status: SITE DOWN (";
inline constexpr std::string_view kStatusUpOpen = "Status: SITE OK (";
inline constexpr std::string_view kStatusClose = ")";

// Why a site was found down, one line each.
inline constexpr std::string_view kCauseUnresolved = "The name could not be resolved.";
inline constexpr std::string_view kCauseRefused = "The connection was refused.";
inline constexpr std::string_view kCauseTimedOutOpen = "No answer within ";
inline constexpr std::string_view kCauseTimedOutClose = " seconds.";
inline constexpr std::string_view kCauseUntrusted = "The site's certificate is not trusted.";
inline constexpr std::string_view kCauseEmpty = "The answer was empty.";
inline constexpr std::string_view kCauseProxyRefused = "The proxy refused the connection.";
inline constexpr std::string_view kCauseProxyPage = "The proxy could not reach the site.";
inline constexpr std::string_view kCauseOffline = "This computer has no network connection.";
inline constexpr std::string_view kCauseSignIn = "This network asks you to sign in first.";
inline constexpr std::string_view kCauseNoInternet = "This computer has no internet access.";
inline constexpr std::string_view kCauseAddress = "The address cannot be fetched.";
inline constexpr std::string_view kCauseRedirects = "The site redirects without end.";
inline constexpr std::string_view kCauseFailed = "The connection failed.";

// The program's name to the desktop: its executable, desktop entry, icon, notifications and
// state folder.
inline constexpr std::string_view kProgramId = "sentrilo";

// `.example` is reserved, so neither the agent's home page nor the sponsor's links ever point
// at anyone's real site.
inline constexpr std::string_view kSponsorHost = "www.yondrel.example";

// The sponsor's home page, which is also the program's.
inline std::string sponsorHome()
{
    return "http://" + std::string(kSponsorHost) + "/";
}

// The short product name and, in brackets, the home page.
inline std::string agentName()
{
    return "Sentrilo [" + sponsorHome() + "]";
}

inline constexpr std::string_view kLogFileName = "snlog.html";
inline constexpr std::string_view kLogLineBreak = "<BR>";
// Where the log goes when the program's own folder cannot keep it: the XDG state folder.
inline constexpr std::string_view kStateHomeInHome = "/.local/state";

} // namespace check::texts
