#include "check/log_place.h"

#include "check/check_log.h"
#include "check/check_texts.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {

namespace {

bool isAbsolute(const char* path)
{
    return path != nullptr && path[0] == '/';
}

// What the system installed: not the user's to write to, whoever runs it, root included.
bool underUsr(std::string_view folder)
{
    return folder == "/usr" || folder.starts_with("/usr/");
}

// Checked against the effective user, the one who would open the file.
bool writable(const std::string& path)
{
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// The user's state folder for this program; either argument may be null (unset).
std::string stateFolder(const char* xdgStateHome, const char* home)
{
    std::string folder;
    if (isAbsolute(xdgStateHome)) {
        folder = xdgStateHome;
    } else if (isAbsolute(home)) {
        folder = home;
        folder += texts::kStateHomeInHome;
    } else {
        return {};
    }
    folder += '/';
    folder += texts::kProgramId;
    return folder;
}

bool logStaysIn(const std::string& applicationFolder)
{
    if (applicationFolder.empty() || underUsr(applicationFolder) || !writable(applicationFolder))
        return false;
    std::error_code error;
    const std::string log = logPath(applicationFolder);
    const auto status = std::filesystem::status(log, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return true;
    // Even root cannot append to a folder that stands in the log's place.
    return !error && !std::filesystem::is_directory(status) && writable(log);
}

} // namespace

std::string chooseLogFolder(const std::string& applicationFolder)
{
    if (logStaysIn(applicationFolder))
        return applicationFolder;
    const char* home = std::getenv("HOME");
    if (!isAbsolute(home)) {
        const passwd* user = ::getpwuid(::geteuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return stateFolder(std::getenv("XDG_STATE_HOME"), home);
}

void makeLogFolder(const std::string& folder)
{
    // Usually there already, or only the last level missing: one call.
    if (folder.empty() || ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
        return;
    // Parent first, one level at a time, so that every folder made here gets 0700.
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return;
        if (slash == std::string::npos)
            return;
    }
}

} // namespace check
