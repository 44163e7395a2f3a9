#include "tests/support/main_window_test_base.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

void MainWindowTestBase::init()
{
    scratch = std::make_unique<Scratch>();
    folder = QString::fromStdString(scratch->path().string());
    body.clear();
    fetch = nullptr;
    fetches = 0;
    fetchedUrl.clear();
    opened.clear();
    window = std::make_unique<ui::MainWindow>(ui::MainWindow::Engine{
        // Run on a thread of its own, while the window's waits for it.
        [this](const std::string& url, const check::InternetLimits&) {
            ++fetches;
            fetchedUrl = url;
            return fetch ? fetch(url) : check::Page(body);
        },
        {}, [] { return std::chrono::system_clock::from_time_t(1'800'000'000); }, scratch->path().string(),
        [this](const QString& target, const QString& workingFolder) { opened << workingFolder + u'|' + target; }});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void MainWindowTestBase::cleanup()
{
    window.reset();
    scratch.reset();
}

QWidget* MainWindowTestBase::topLevel(const char* name)
{
    QWidgetList named = QApplication::topLevelWidgets();
    named.removeIf([name](const QWidget* widget) { return widget->objectName() != QLatin1String(name); });
    return named.size() == 1 ? named.first() : nullptr;
}

QLineEdit* MainWindowTestBase::urlBox() const
{
    return child<QLineEdit>("urlBox");
}

QPushButton* MainWindowTestBase::startStopButton() const
{
    return child<QPushButton>("startStopButton");
}

QLabel* MainWindowTestBase::statusLine() const
{
    return child<QLabel>("statusLine");
}

QTimer* MainWindowTestBase::pollTimer() const
{
    return child<QTimer>("pollTimer");
}

void MainWindowTestBase::trigger(const char* action) const
{
    child<QAction>(action)->trigger();
}

void MainWindowTestBase::typeUrl(const QString& text) const
{
    urlBox()->setText(text); // as an input method or a paste puts it in
}

QByteArray MainWindowTestBase::log() const
{
    return QByteArray::fromStdString(logIn(scratch->path()));
}
