#include "check/system_proxy.h"
#include "ui/application.h"
#include "ui/platform_choice.h"
#include "ui/windows/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Before Qt or anything else starts a thread: it may change the environment for a moment.
    check::prepareProxyLookup();
    std::vector<char*> arguments = ui::withPlatformChoice(argc, argv);
    int count = static_cast<int>(arguments.size()) - 1;
    // QApplication also sets the C library's locale from the environment, which the
    // timestamps of the checks follow.
    QApplication app(count, arguments.data());
    ui::setupApplication();

    ui::MainWindow window;
    window.show();
    return QApplication::exec();
}
