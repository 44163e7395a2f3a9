#include "check/check_log.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace check;

TEST(CheckLog, PathSitsBesideTheExecutable)
{
    EXPECT_EQ(logPath("/opt/sentrilo"), "/opt/sentrilo/snlog.html");
    EXPECT_EQ(logPath("/"), "//snlog.html");
    const std::filesystem::path folder = applicationFolder();
    EXPECT_TRUE(std::filesystem::exists(folder / "check_tests")) << folder;
    EXPECT_NE(folder.string().back(), '/');
}

TEST(CheckLog, MarkupInTheUrlIsEscaped)
{
    EXPECT_EQ(logRecord("http://a/?q=1&r=<b>\"", "Status: SITE OK (x)"),
        "http://a/?q=1&amp;r=&lt;b&gt;&quot; Status: SITE OK (x)<BR>\n");
    EXPECT_EQ(escapeHtml("http://plain.example/path?x=1'"), "http://plain.example/path?x=1'");
}

TEST(CheckLog, AppendsLinesAndNeverTruncates)
{
    const Scratch scratch;
    const std::filesystem::path& folder = scratch.path();
    const std::string path = logPath(folder.string());
    EXPECT_TRUE(LogFile(path).writeLine("one"));
    EXPECT_TRUE(LogFile(path).writeLine("two"));
    EXPECT_EQ(readFile(path), "one\r\ntwo\r\n");
    // The root's doubled separator names the same file.
    LogFile doubled("/" + path);
    EXPECT_TRUE(doubled.writeLine("three"));
}

// Two programs watching two sites from one folder share the log: each record, long or short,
// must reach the file whole.
TEST(CheckLog, RecordsOfTwoProcessesNeverInterleave)
{
    const Scratch scratch;
    const std::filesystem::path& folder = scratch.path();
    const std::string path = logPath(folder.string());
    constexpr int kRecords = 400;
    const auto append = [&](char mark) {
        for (int i = 0; i < kRecords; ++i)
            LogFile(path).writeLine(std::string(i % 2 == 0 ? 100 : 9000, mark));
    };
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        append('c');
        ::_exit(0);
    }
    append('p');
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    std::istringstream text(readFile(path));
    int whole = 0;
    for (std::string line; std::getline(text, line);)
        whole += (line.size() == 101 || line.size() == 9001) && line.find_first_not_of(line.front()) == line.size() - 1;
    EXPECT_EQ(whole, 2 * kRecords);
}

// The log names the sites watched, with their queries: a new one is the user's alone. One the
// user has set up (its mode, a link to elsewhere) is kept as it is.
TEST(CheckLog, NewLogIsPrivateAndAnExistingOneIsKept)
{
    const Scratch scratch;
    const std::filesystem::path& folder = scratch.path();
    const mode_t saved = ::umask(0);
    using std::filesystem::perms;
    const auto modeAfterWrite = [&](const std::filesystem::path& file) {
        EXPECT_TRUE(LogFile(file.string()).writeLine("x")) << file;
        return std::filesystem::status(file).permissions();
    };
    const perms ownerOnly = perms::owner_read | perms::owner_write;
    const perms readableByAll = ownerOnly | perms::group_read | perms::others_read;
    EXPECT_EQ(modeAfterWrite(folder / "new.html"), ownerOnly);
    std::ofstream(folder / "shared.html").put('s');
    std::filesystem::permissions(folder / "shared.html", readableByAll);
    EXPECT_EQ(modeAfterWrite(folder / "shared.html"), readableByAll);
    std::filesystem::create_symlink("shared.html", folder / "link.html");
    modeAfterWrite(folder / "link.html");
    EXPECT_EQ(readFile(folder / "shared.html"), "sx\r\nx\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.html"));
    ::umask(saved);
}

TEST(CheckLog, UnopenableFileDoesNothing)
{
    const Scratch scratch;
    const std::filesystem::path& folder = scratch.path();
    // A directory in the file's place cannot be opened for writing, even by root.
    std::filesystem::create_directories(folder / "snlog.html");
    LogFile log(logPath(folder.string()));
    EXPECT_FALSE(log.writeLine("lost"));
    EXPECT_EQ(log.error(), std::errc::is_a_directory);
}

} // namespace
