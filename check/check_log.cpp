#include "check/check_log.h"

#include "check/check_texts.h"
#include "check/typed_url.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {

std::string applicationFolder()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return executable.parent_path().string();
}

std::string logPath(const std::string& folder)
{
    std::string path = folder;
    path += '/';
    path += texts::kLogFileName;
    return path;
}

std::string escapeHtml(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string logRecord(std::string_view url, std::string_view status)
{
    std::string record = escapeHtml(withoutPassword(url));
    record += ' ';
    record += status;
    record += texts::kLogLineBreak;
    record += '\n';
    return record;
}

// The log names the sites watched, queries included. Appending means every write lands at the
// end of the file, whoever else is writing to it; a link to a log kept elsewhere is followed.
LogFile::LogFile(const std::string& path) noexcept
    : fd_(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR))
{
    if (fd_ < 0)
        error_.assign(errno, std::system_category());
}

LogFile::~LogFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool LogFile::writeLine(std::string_view text)
{
    if (fd_ < 0)
        return false;
    std::string line;
    line.reserve(text.size() + 2);
    line += text;
    line += "\r\n";
    // A regular file takes it whole in one write; the rest of a short one (a full disk, a signal)
    // still follows rather than being dropped.
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t written = ::write(fd_, rest.data(), rest.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // A write that takes nothing without an error can only mean the device is full.
            error_.assign(written < 0 ? errno : ENOSPC, std::system_category());
            return false;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace check
