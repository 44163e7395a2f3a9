#include "ui/windows/main_window.h"

#include "check/check_log.h"
#include "check/log_place.h"
#include "ui/base/contrast.h"
#include "ui/base/program_icon.h"
#include "ui/base/texts.h"
#include "ui/desktop/desktop_notifier.h"
#include "ui/desktop/status_indicator.h"
#include "ui/desktop/x11_window.h"
#include "ui/watch/site_watch.h"
#include "ui/widgets/click_label.h"
#include "ui/widgets/status_label.h"
#include "ui/widgets/url_box.h"
#include "ui/windows/about_box.h"
#include "ui/windows/information_window.h"
#include "ui/windows/layout.h"
#include "ui/windows/sponsor_box.h"
#include "ui/windows/status_view.h"
#include "ui/windows/text_fit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

namespace ui {

namespace {

// How long an alert gives the window manager to bring the window forward.
constexpr std::chrono::milliseconds kAttentionDelay{1000};

} // namespace

MainWindow::Engine MainWindow::Engine::system()
{
    return {&check::fetchPage, {}, &std::chrono::system_clock::now, check::applicationFolder(), &shellOpen};
}

MainWindow::MainWindow(Engine engine, QWidget* parent)
    : QMainWindow(parent), folder_(engine.folder), open_(engine.open)
{
    setupWindow();
    setupControls();
    setupMenus();
    setupWatch(std::move(engine));
}

MainWindow::~MainWindow() = default;

void MainWindow::setupWindow()
{
    setObjectName(QStringLiteral("mainWindow"));
    // A fixed single border with a minimize box and no maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(texts::kProductTitle);
    setWindowIcon(programIcon());
    // The title follows the window manager's word on whether the window is minimized.
    x11Window_ = new X11Window(this);
    connect(x11Window_, &X11Window::stateChanged, this, &MainWindow::restoreTitle);
}

void MainWindow::setupControls()
{
    const layout::Window& drawn = layout::mainWindow();
    const Twips& twips = windowTwips();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips.size(drawn.clientWidth, drawn.clientHeight));
    setCentralWidget(client);

    // Three rules under the menu bar, the lower one a pixel down; coloured by applyColours.
    for (std::size_t i = 0; i < menuRules_.size(); ++i) {
        auto* rule = new QFrame(client);
        rule->setObjectName(QStringLiteral("menuRule"));
        const int top = i + 1 < menuRules_.size() ? layout::kRuleTop : layout::kLowerRuleTop;
        rule->setGeometry(0, twips.toPixels(top), twips.toPixels(layout::kRuleLength), 1);
        rule->setAutoFillBackground(true);
        menuRules_[i] = rule;
    }
    const auto place = [&](QWidget* widget, const char* name) { return layout::place(widget, drawn, name, twips); };

    // Created in tab order, the URL box first, so that it takes the focus when the window opens.
    urlBox_ = new UrlBox(client);
    urlBox_->setText(place(urlBox_, "urlBox"));

    auto* urlCaption = new QLabel(client);
    urlCaption->setTextFormat(Qt::PlainText);
    urlCaption->setText(place(urlCaption, "urlCaption"));
    // Names the URL box for screen readers; its text has no '&', so it adds no access key.
    urlCaption->setBuddy(urlBox_);
    // The caption's box runs on under the URL box; the box must stay on top of it.
    urlCaption->lower();

    startStopButton_ = new QPushButton(client);
    startStopButton_->setAutoDefault(false);
    startStopButton_->setText(place(startStopButton_, "startStopButton"));
    connect(startStopButton_, &QPushButton::clicked, this, [this] { watch_->toggle(urlBox_->text()); });

    statusLine_ = new StatusLabel(client);
    statusLine_->setText(place(statusLine_, "statusLine"));

    // The banner's own white, with black text on it whatever the theme.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);

    auto* bannerFrame = new QFrame(client);
    place(bannerFrame, "bannerFrame");
    bannerFrame->setFrameShape(QFrame::Box);
    bannerFrame->setLineWidth(1);
    bannerFrame->setAutoFillBackground(true);
    bannerFrame->setPalette(white);

    auto* sponsorBanner = new ClickLabel(client);
    sponsorBanner->setTextFormat(Qt::PlainText);
    sponsorBanner->setText(place(sponsorBanner, "sponsorBanner"));
    sponsorBanner->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    sponsorBanner->setPalette(white);
    connect(sponsorBanner, &ClickLabel::clicked, this, &MainWindow::openSponsorPage);

    applyColours();
    setTabOrder(urlBox_, startStopButton_);
    urlBox_->setFocus();
}

void MainWindow::setupMenus()
{
    const auto addMenu = [this](QLatin1String title, const char* name) {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    const auto addItem = [this](QMenu* menu, QLatin1String text, const char* name, auto handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
    };
    QMenu* fileMenu = addMenu(texts::kMenuFile, "fileMenu");
    addItem(fileMenu, texts::kMenuExit, "exitAction", &QWidget::close);
    QMenu* loggingMenu = addMenu(texts::kMenuLogging, "loggingMenu");
    addItem(loggingMenu, texts::kMenuViewLog, "viewLogAction", &MainWindow::viewLog);
    QMenu* aboutMenu = addMenu(texts::kMenuAbout, "aboutMenu");
    addItem(aboutMenu, texts::kMenuAboutProgram, "aboutAction", &MainWindow::showAboutBox);
    addItem(aboutMenu, texts::kMenuAboutSponsor, "sponsorAction", &MainWindow::showSponsorBox);

    // The window cannot be resized: its size is the client area under the menu bar.
    adjustSize();
    setFixedSize(size());
}

void MainWindow::setupWatch(Engine engine)
{
    // The log's place is chosen once: the checks write there and View Log opens it.
    watch_ = new SiteWatch(std::move(engine.fetch), std::move(engine.clock), check::chooseLogFolder(folder_),
        engine.limits, this);
    auto* notifier = new DesktopNotifier(this);
    indicator_ = new StatusIndicator(this);
    indicator_->show(statusView_.toolTip(), statusView_.icon());

    // A check's steps reach the user in this order: the status line and the caption marker, the
    // indicator; on a change of verdict the bell with restore and raise, then the notification.
    connect(watch_, &SiteWatch::watchingChanged, this, &MainWindow::showWatching);
    connect(watch_, &SiteWatch::watchingChanged, indicator_, &StatusIndicator::setWatching);
    connect(watch_, &SiteWatch::checkingChanged, indicator_, &StatusIndicator::setBusy);
    connect(watch_, &SiteWatch::checkingChanged, this, &MainWindow::closeAfterCheck);
    connect(watch_, &SiteWatch::statusChanged, this, &MainWindow::showStatus);
    connect(watch_, &SiteWatch::statusChanged, this, [this](const Status& status) {
        statusView_.take(status);
        indicator_->show(statusView_.toolTip(), statusView_.icon());
    });
    connect(watch_, &SiteWatch::verdictChanged, this, &MainWindow::alertUser);
    connect(watch_, &SiteWatch::verdictChanged, notifier, [notifier](const Status& status) {
        const StatusView::Notification notification = StatusView::notificationOf(status);
        notifier->notify(notification.summary, notification.body);
    });
    // A click on the notification or on the indicator brings the window back.
    connect(notifier, &DesktopNotifier::activated, this, &MainWindow::showOnRequest);
    connect(indicator_, &StatusIndicator::activated, this, [this] { showOnRequest({}); });
}

void MainWindow::checkNow()
{
    watch_->check(urlBox_->text());
}

void MainWindow::showWatching(bool watching)
{
    startStopButton_->setText(watching ? texts::kStop : texts::kStart);
    urlBox_->setEnabled(!watching);
    setUrlBackground(watching ? UrlBackground::ButtonFace : UrlBackground::White);
}

void MainWindow::showStatus(const Status& status)
{
    statusLine_->setText(status.line);
    // While minimized the caption carries the verdict, readable from the taskbar.
    if (status.verdict && shownMinimized())
        setWindowTitle(texts::marker(*status.verdict));
}

void MainWindow::alertUser()
{
    QApplication::beep();
    bringToFront();
    // A window manager may keep the window back (focus-stealing prevention). Once it has had a
    // moment to bring it forward, a window it has not is marked as wanting the user, which the
    // taskbar shows. The window manager's word decides: Qt's own alert goes by what Qt last heard,
    // which may still be that the window is the active one.
    QTimer::singleShot(kAttentionDelay, this, [this] {
        if (!x11Window_->demandAttention())
            QApplication::alert(this);
    });
}

void MainWindow::bringToFront()
{
    // A maximized window stays maximized. After a restore the window manager refused, Qt takes
    // the window for restored and would not ask again.
    if (isMinimized())
        showNormal();
    else if (shownMinimized())
        x11Window_->restore();
    raise();
    activateWindow();
}

void MainWindow::showOnRequest(const QByteArray& startupId)
{
    // The user asked for the window: the window manager is told when, so that it lets the
    // window come forward over the program the user was in.
    if (!x11Window_->activateForUser(startupId))
        bringToFront();
}

bool MainWindow::shownMinimized() const
{
    return x11Window_->minimized().value_or(isMinimized());
}

void MainWindow::closeAfterCheck(bool checking)
{
    // A close asked for during the check, once its record is written.
    if (!checking && closePending_)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::restoreTitle()
{
    // While minimized the caption carries the verdict marker, readable from the taskbar.
    if (!shownMinimized())
        setWindowTitle(texts::kProductTitle);
}

void MainWindow::closeInformationBoxes()
{
    if (aboutBox_)
        aboutBox_->close();
    if (sponsorBox_)
        sponsorBox_->close();
}

void MainWindow::viewLog()
{
    const QString log = watch_->logPath();
    // Before the first check there is nothing to show, and nothing worth a complaint.
    if (!QFileInfo::exists(log))
        return;
    open_(log, applicationFolder());
}

void MainWindow::openSponsorPage()
{
    open_(texts::sponsorHome(), applicationFolder());
}

void MainWindow::showAboutBox()
{
    if (!aboutBox_)
        aboutBox_ = std::make_unique<AboutBox>();
    presentBox(aboutBox_.get());
}

void MainWindow::showSponsorBox()
{
    if (!sponsorBox_)
        sponsorBox_ = std::make_unique<SponsorBox>(open_, applicationFolder());
    presentBox(sponsorBox_.get());
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        restoreTitle();
    else if (event->type() == QEvent::PaletteChange)
        applyColours();
    else if (event->type() == QEvent::ActivationChange && isActiveWindow())
        x11Window_->takeAttentionBack();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    restoreTitle();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    restoreTitle();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The window manager's close reaches the window during a check; the check ends first.
    if (watch_->isChecking()) {
        closePending_ = true;
        event->ignore();
        return;
    }
    closeInformationBoxes();
    x11Window_->takeAttentionBack();
    // The indicator goes with the window: it never keeps the program alive on its own.
    indicator_->setWatching(false);
    QMainWindow::closeEvent(event);
}

void MainWindow::setUrlBackground(UrlBackground background)
{
    urlBackground_ = background;
    applyColours();
}

void MainWindow::applyColours()
{
    const QPalette theme = palette();
    // The system colours the rules were drawn in map to the nearest palette roles: window text
    // for the first, Mid for the inactive title bar's grey, Dark for the desktop.
    const std::array roles{QPalette::WindowText, QPalette::Mid, QPalette::Dark};
    for (std::size_t i = 0; i < menuRules_.size(); ++i) {
        QPalette colours = menuRules_[i]->palette();
        colours.setColor(QPalette::Window, theme.color(roles[i]));
        menuRules_[i]->setPalette(colours);
    }

    // Wherever the box takes a background of its own, its text takes the colour made for it.
    QColor background = theme.color(QPalette::Base);
    QColor text = theme.color(QPalette::Text);
    if (urlBackground_ == UrlBackground::ButtonFace) {
        background = theme.color(QPalette::Button);
        text = theme.color(QPalette::ButtonText);
    } else if (urlBackground_ == UrlBackground::White) {
        background = Qt::white;
        text = Qt::black;
    }
    QPalette box = urlBox_->palette();
    box.setColor(QPalette::Base, background);
    box.setColor(QPalette::Text, text);
    // While watching, the locked address must still be read: the theme's disabled text, moved
    // towards the normal text colour as far as it takes to read against the background.
    box.setColor(QPalette::Disabled, QPalette::Text,
        readableOn(background, theme.color(QPalette::Disabled, QPalette::Text), text));
    urlBox_->setPalette(box);
}

QString MainWindow::applicationFolder() const
{
    // A path, not text: it goes back to the file system the way Qt encodes file names.
    return QFile::decodeName(folder_.c_str());
}

} // namespace ui
