#pragma once

#include <string_view>

// Every text a check shows, sends or writes, kept together so they stay consistent.
namespace check::texts {

inline constexpr std::string_view kStatusConnecting = "Status: Connecting...";
inline constexpr std::string_view kStatusDownOpen = "Status: SITE DOWN (";
inline constexpr std::string_view kStatusUpOpen = "Status: SITE OK (";
inline constexpr std::string_view kStatusClose = ")";

inline constexpr std::string_view kCaptionDown = "[Site Down]";
inline constexpr std::string_view kCaptionUp = "[Site OK]";

// `.example` is reserved, so the agent's home page never points at anyone's real site.
inline constexpr std::string_view kAgentName = "Sentrilo [http://www.yondrel.example/]";

inline constexpr std::string_view kLogFileName = "snlog.html";
inline constexpr std::string_view kLogLineBreak = "<BR>";
// Where the log goes when the program's own folder cannot keep it: the XDG state folder.
inline constexpr std::string_view kStateHomeInHome = "/.local/state";
inline constexpr std::string_view kStateFolderName = "sentrilo";

} // namespace check::texts
