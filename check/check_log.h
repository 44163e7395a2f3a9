#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace check {

// The folder that holds the running executable, without a trailing separator except at the
// root. Empty when it cannot be told.
std::string applicationFolder();

// The check log in `folder`; at the root this gives "//snlog.html", the same file.
std::string logPath(const std::string& folder);

// The URL is user text and the log is read in a browser, so markup in it is neutralised.
std::string escapeHtml(std::string_view text);

// One record without its line end: the URL with its password hidden, a space, the status line
// and a break.
std::string logRecord(std::string_view url, std::string_view status);

// The log file, open for appending for as long as the object lives; a new one is created
// readable by its owner only. Every operation on a file that could not be opened does nothing,
// and error() tells why.
class LogFile {
public:
    explicit LogFile(const std::string& path) noexcept;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Writes `text` and ends the line with CR LF, all in one write, so that records of several
    // programs sharing the log never interleave. False when it could not be written whole.
    bool writeLine(std::string_view text);
    // The system's error from the last open or write that failed; none while all went well.
    std::error_code error() const { return error_; }

private:
    int fd_ = -1;
    std::error_code error_;
};

} // namespace check
