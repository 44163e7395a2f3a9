#pragma once

#include "check/poll_cycle.h"
#include "tests/support/scratch.h"
#include "ui/windows/main_window.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// What every test of the main window starts from, in either tier: the window shown, its log in a
// folder of its own, a network that answers what the test says, a clock stopped at one moment,
// and a desktop opener that only writes down what it was asked to open.
class MainWindowTestBase : public QObject {
    Q_OBJECT

protected Q_SLOTS:
    virtual void init();
    virtual void cleanup();

protected:
    // The one top-level window named `name`; null when there is none, or more than one (never
    // acceptable: each box exists once).
    static QWidget* topLevel(const char* name);

    // The child of `parent` named `name`; a test that names one that is not there ends at once.
    template <typename T>
    static T* childOf(const QWidget* parent, const char* name)
    {
        T* found = parent->findChild<T*>(QLatin1String(name));
        if (found == nullptr)
            qFatal("no %s", name);
        return found;
    }
    template <typename T>
    T* child(const char* name) const
    {
        return childOf<T>(window.get(), name);
    }
    QLineEdit* urlBox() const;
    QPushButton* startStopButton() const;
    QLabel* statusLine() const;
    QTimer* pollTimer() const;
    void trigger(const char* action) const;
    void typeUrl(const QString& text) const;
    // The check log's bytes, empty before the first record.
    QByteArray log() const;

    std::unique_ptr<Scratch> scratch;
    QString folder; // the scratch's, where the log goes and the opener starts
    std::unique_ptr<ui::MainWindow> window;
    // What the network answers; a test may put a fetch of its own in its place.
    std::string body;
    std::function<check::Page(const std::string& url)> fetch;
    int fetches = 0;
    std::string fetchedUrl;
    QStringList opened; // "working folder|target", one per request to the desktop
};
