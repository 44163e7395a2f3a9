#pragma once

#include "check/poll_cycle.h"
#include "check/site_window.h"
#include "ui/shell_open.h"

#include <QMainWindow>

#include <memory>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace ui {

class ClickLabel;
class DesktopNotifier;
class FAbout;
class FQuib;
class StatusIndicator;

// The main window: the watched URL, the Start/Stop button, the status line, the sponsor
// banner, the menus and the poll timer.
class FMain : public QMainWindow, private check::SiteWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FMain)

public:
    // How the window reaches the world; tests replace the network, the clock, the folder and
    // the desktop's opener.
    struct Engine {
        check::PageFetcher fetch;
        check::Clock clock;
        std::string folder; // the application folder: shell opens start there, and the log when it can
        Opener open;        // hands the log and the sponsor's pages to the desktop
        static Engine system();
    };

    explicit FMain(Engine engine = Engine::system(), QWidget* parent = nullptr);
    ~FMain() override;

    // Runs one check of the URL in the box, at once and to its end.
    void PollServer();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setupWindow();
    void setupControls();
    void setupMenus();
    void setupTimer();

    void BMode_Click();
    void Timer1_Timer();
    void Form_Resize();
    void Form_Unload();
    void MExit_Click();
    void MLogView_Click();
    void Label2_Click();
    void MAbTol_Click();
    void MQuib_Click();
    // A click on the status indicator: the window comes back as an alert brings it.
    void showFromIndicator();

    // The URL box's background: the theme's at start-up, button face while watching, white
    // after a Stop.
    enum class UrlBackground { Theme, ButtonFace, White };
    void setUrlBackground(UrlBackground background);
    // Colours the rules and the URL box from the palette in use; again when the theme changes.
    void applyColours();
    QString applicationFolder() const;

    // What a check needs of this window.
    std::string urlText() const override;
    std::string statusText() const override;
    void setStatusText(const std::string& text) override;
    check::WindowState state() const override;
    void setState(check::WindowState state) override;
    void setCaption(const std::string& caption) override;
    void bringToFront() override;
    void beep() override;
    void notify(const std::string& summary, const std::string& body) override;

    // Runs the engine's fetch off this thread, the window staying alive meanwhile.
    std::string fetchResponsively(const std::string& url);

    std::string folder_;
    // Chosen once, when the window is created: the checks write there and View Log opens it.
    std::string logFolder_;
    check::PageFetcher fetch_;
    Opener open_;
    check::PollCycle cycle_;
    bool checking_ = false;
    bool closeAfterCheck_ = false;
    UrlBackground urlBackground_ = UrlBackground::Theme;

    QLineEdit* TUrl = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BMode = nullptr;
    QLabel* lStatus = nullptr;
    ClickLabel* Label2 = nullptr;
    QFrame* Shape1 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;
    QFrame* Line3 = nullptr;
    QTimer* Timer1 = nullptr;
    DesktopNotifier* notifier_ = nullptr;
    StatusIndicator* indicator_ = nullptr;

    QMenu* MFile = nullptr;
    QAction* MExit = nullptr;
    QMenu* MLogging = nullptr;
    QAction* MLogView = nullptr;
    QMenu* MAbout = nullptr;
    QAction* MAbTol = nullptr;
    QAction* MQuib = nullptr;

    // Shown without an owner, so that they are windows of their own; created on first use.
    std::unique_ptr<FAbout> about_;
    std::unique_ptr<FQuib> quib_;
};

} // namespace ui
