#include "check_log.h"

#include "check_texts.h"

#include <filesystem>
#include <system_error>

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
    std::string record = escapeHtml(url);
    record += ' ';
    record += status;
    record += texts::kLogLineBreak;
    record += '\n';
    return record;
}

LogFile::LogFile(const std::string& path) noexcept : file_(std::fopen(path.c_str(), "ab"))
{
}

bool LogFile::writeLine(std::string_view text)
{
    if (!file_)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file_.get()) == text.size()
        && std::fwrite("\r\n", 1, 2, file_.get()) == 2;
    return std::fflush(file_.get()) == 0 && written;
}

} // namespace check
