#pragma once

#include "check/poll_cycle.h"
#include "ui/desktop/shell_open.h"
#include "ui/windows/status_view.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <string>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

class AboutBox;
class SiteWatch;
class SponsorBox;
class StatusIndicator;
class X11Window;

// The main window: the watched URL, the Start/Stop button, the status line, the sponsor
// banner and the menus. It shows what the watch tells it; the watch itself decides.
class MainWindow : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    // How the window reaches the world; tests replace the network, the clock, the folder and
    // the desktop's opener.
    struct Engine {
        check::PageFetcher fetch;
        check::InternetLimits limits; // each check's, its time among them
        check::Clock clock;
        std::string folder; // the application folder: shell opens start there, and the log when it can
        Opener open;        // hands the log and the sponsor's pages to the desktop
        static Engine system();
    };

    explicit MainWindow(Engine engine = Engine::system(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs one check of the URL in the box, at once and to its end.
    void checkNow();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setupWindow();
    void setupControls();
    void setupMenus();
    void setupWatch(Engine engine);

    void showWatching(bool watching);
    void showStatus(const Status& status);
    void alertUser();
    void bringToFront();
    void showOnRequest(const QByteArray& startupId);
    // Minimized as the window manager has it, which may differ from what Qt last asked for.
    bool shownMinimized() const;
    void closeAfterCheck(bool checking);
    void restoreTitle();
    void closeInformationBoxes();
    void viewLog();
    void openSponsorPage();
    void showAboutBox();
    void showSponsorBox();

    // The URL box's background: the theme's at start-up, button face while watching, white
    // after a Stop.
    enum class UrlBackground { Theme, ButtonFace, White };
    void setUrlBackground(UrlBackground background);
    // Colours the rules and the URL box from the palette in use; again when the theme changes.
    void applyColours();
    QString applicationFolder() const;

    std::string folder_;
    Opener open_;
    bool closePending_ = false;
    UrlBackground urlBackground_ = UrlBackground::Theme;

    QLineEdit* urlBox_ = nullptr;
    QPushButton* startStopButton_ = nullptr;
    QLabel* statusLine_ = nullptr;
    // Under the menu bar, each drawn over the one before.
    std::array<QFrame*, 3> menuRules_{};

    X11Window* x11Window_ = nullptr;
    SiteWatch* watch_ = nullptr;
    StatusIndicator* indicator_ = nullptr;
    // What the notifications and the indicator make of the watch's statuses.
    StatusView statusView_;

    // Shown without an owner, so that they are windows of their own; created on first use.
    std::unique_ptr<AboutBox> aboutBox_;
    std::unique_ptr<SponsorBox> sponsorBox_;
};

} // namespace ui
