#include "check/log_place.h"
#include "check/poll_cycle.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

using namespace check;

// The log stays beside the program where it can be written, else goes to the XDG state folder,
// which the first record creates. Permission bits do not bind root, so root judges those cases
// as the user nobody; the /usr rule binds root too.
TEST(LogPlace, LogIsKeptWhereItCanBeWritten)
{
    namespace fs = std::filesystem;
    Scratch scratch;
    const fs::path& folder = scratch.path();
    // Open to the user nobody, whom root becomes below.
    fs::permissions(folder, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    enum class Folder { Writable, ReadOnly, ReadOnlyLog, DirectoryAsLog, UnderUsr };
    enum class Place { Beside, XdgState, HomeState };
    struct Row {
        const char* name;
        Folder setup;
        const char* xdgStateHome; // null: unset
        Place expected;
    };
    const std::string xdg = (folder / "xdg").string();
    const Row rows[] = {
        {"writable folder", Folder::Writable, xdg.c_str(), Place::Beside},
        {"read-only folder, XDG_STATE_HOME set", Folder::ReadOnly, xdg.c_str(), Place::XdgState},
        {"read-only log, XDG_STATE_HOME unset", Folder::ReadOnlyLog, nullptr, Place::HomeState},
        {"folder in the log's place, XDG_STATE_HOME relative", Folder::DirectoryAsLog, "xdg", Place::HomeState},
        {"installed under /usr", Folder::UnderUsr, xdg.c_str(), Place::XdgState},
    };
    scratch.set("HOME", (folder / "home").c_str());
    const bool root = geteuid() == 0;
    const std::string record = "http://site.test/ Status: SITE OK (12/08/26 14:05:09)<BR>\n\r\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(folder / "app");
        fs::remove_all(folder / "xdg");
        fs::remove_all(folder / "home");
        fs::path app = folder / "app";
        fs::create_directory(app);
        if (row.setup == Folder::ReadOnly)
            fs::permissions(app, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read
                | fs::perms::others_exec);
        if (row.setup == Folder::ReadOnlyLog) {
            fs::permissions(app, fs::perms::all);
            std::ofstream(app / "snlog.html") << "";
            fs::permissions(app / "snlog.html", fs::perms::owner_read | fs::perms::others_read);
        }
        if (row.setup == Folder::DirectoryAsLog)
            fs::create_directory(app / "snlog.html");
        if (row.setup == Folder::UnderUsr)
            app = "/usr/bin";
        scratch.set("XDG_STATE_HOME", row.xdgStateHome);

        const bool asNobody = root && (row.setup == Folder::ReadOnly || row.setup == Folder::ReadOnlyLog);
        ASSERT_TRUE(!asNobody || seteuid(65534) == 0);
        const std::string chosen = chooseLogFolder(app.string());
        ASSERT_TRUE(!asNobody || seteuid(0) == 0);

        const fs::path state = row.expected == Place::XdgState ? folder / "xdg/sentrilo" : folder / "home/.local/state/sentrilo";
        const fs::path expected = row.expected == Place::Beside ? app : state;
        EXPECT_EQ(chosen, expected.string());
        EXPECT_FALSE(PollCycle(nullptr, nullptr, chosen).record("http://site.test/", "Status: SITE OK (12/08/26 14:05:09)"));
        EXPECT_EQ(logIn(expected), record);
        // Every folder the record made is the user's alone.
        for (fs::path made = state; row.expected != Place::Beside && made != folder; made = made.parent_path())
            EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;
    }
}

} // namespace
