#include "ui/platform_choice.h"

#include <QtGlobal>

namespace ui {

std::vector<char*> withPlatformChoice(int argc, char* argv[])
{
    static char option[] = "-platform";
    static char platforms[] = "xcb;wayland";

    std::vector<char*> arguments(argv, argv + argc);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        // Right after the program's name, so a -platform the user typed still wins.
        const auto at = arguments.empty() ? arguments.end() : arguments.begin() + 1;
        arguments.insert(at, {option, platforms});
    }
    arguments.push_back(nullptr);
    return arguments;
}

} // namespace ui
