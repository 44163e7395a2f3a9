#include "check_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace check;

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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
    const auto folder = std::filesystem::path(::testing::TempDir()) / "check_log_append";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string path = logPath(folder.string());
    {
        LogFile log(path);
        ASSERT_TRUE(log.isOpen());
        EXPECT_TRUE(log.writeLine("one"));
    }
    {
        LogFile log(path);
        EXPECT_TRUE(log.writeLine("two"));
    }
    EXPECT_EQ(readAll(path), "one\r\ntwo\r\n");
    // The root's doubled separator names the same file.
    LogFile doubled("/" + path);
    EXPECT_TRUE(doubled.writeLine("three"));
    std::filesystem::remove_all(folder);
}

TEST(CheckLog, UnopenableFileDoesNothing)
{
    const auto folder = std::filesystem::path(::testing::TempDir()) / "check_log_blocked";
    std::filesystem::remove_all(folder);
    // A directory in the file's place cannot be opened for writing, even by root.
    std::filesystem::create_directories(folder / "snlog.html");
    LogFile log(logPath(folder.string()));
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.writeLine("lost"));
    std::filesystem::remove_all(folder);
}

} // namespace
