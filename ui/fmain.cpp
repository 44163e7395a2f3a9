#include "ui/fmain.h"

#include "check/check_log.h"
#include "check/log_place.h"
#include "check/page_fetcher.h"
#include "ui/click_label.h"
#include "ui/contrast.h"
#include "ui/desktop_notifier.h"
#include "ui/fabout.h"
#include "ui/fquib.h"
#include "ui/information_window.h"
#include "ui/layout.h"
#include "ui/local_text.h"
#include "ui/program_icon.h"
#include "ui/responsive_wait.h"
#include "ui/status_indicator.h"
#include "ui/status_label.h"
#include "ui/twips.h"
#include "ui/ui_texts.h"
#include "ui/url_box.h"

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

constexpr int kPollIntervalMs = 60'000;

} // namespace

FMain::Engine FMain::Engine::system()
{
    return {[](const std::string& url) { return check::FetchPage(url); }, &std::chrono::system_clock::now,
        check::applicationFolder(), &shellOpen};
}

FMain::FMain(Engine engine, QWidget* parent)
    : QMainWindow(parent),
      folder_(std::move(engine.folder)),
      logFolder_(check::chooseLogFolder(folder_)),
      fetch_(std::move(engine.fetch)),
      open_(std::move(engine.open)),
      cycle_(*this, [this](const std::string& url) { return fetchResponsively(url); }, std::move(engine.clock),
          logFolder_)
{
    setupWindow();
    setupControls();
    setupMenus();
    setupTimer();
    notifier_ = new DesktopNotifier(this);
    indicator_ = new StatusIndicator(this);
    indicator_->setStatus(lStatus->text());
    connect(indicator_, &StatusIndicator::activated, this, &FMain::showFromIndicator);
}

FMain::~FMain() = default;

void FMain::setupWindow()
{
    setObjectName(QStringLiteral("FMain"));
    // A fixed single border with a minimize box and no maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(texts::kProductTitle);
    setWindowIcon(programIcon());
}

void FMain::setupControls()
{
    namespace at = layout::main_window;
    const Twips& twips = Twips::application();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips.size(at::kClientWidth, at::kClientHeight));
    setCentralWidget(client);

    // Three rules under the menu bar, each later one drawn over the one before; coloured by
    // applyColours.
    const auto addLine = [&](const char* name, int top) {
        auto* line = new QFrame(client);
        line->setObjectName(QLatin1String(name));
        line->setGeometry(0, twips.toPixels(top), twips.toPixels(at::kRuleLength), 1);
        line->setAutoFillBackground(true);
        return line;
    };
    Line1 = addLine("Line1", at::kRuleTop);
    Line2 = addLine("Line2", at::kRuleTop);
    Line3 = addLine("Line3", at::kLowerRuleTop);

    const auto place = [&](QWidget* widget, const char* name, const layout::Box& box) {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(twips.rect(box));
    };

    // Created in tab order, the URL box first, so that it takes the focus when the window opens.
    TUrl = new UrlBox(texts::kInitialUrl, client);
    place(TUrl, "TUrl", at::kTUrl);

    Label1 = new QLabel(texts::kUrlLabel, client);
    Label1->setTextFormat(Qt::PlainText);
    place(Label1, "Label1", at::kLabel1);
    // Names the URL box for screen readers; its text has no '&', so it adds no access key.
    Label1->setBuddy(TUrl);
    // The label's box runs on under the URL box; the box must stay on top of it.
    Label1->lower();

    BMode = new QPushButton(texts::kStart, client);
    BMode->setAutoDefault(false);
    place(BMode, "BMode", at::kBMode);
    connect(BMode, &QPushButton::clicked, this, &FMain::BMode_Click);

    lStatus = new StatusLabel(texts::kStatusReady, client);
    place(lStatus, "lStatus", at::kLStatus);

    // The banner's own white, with black text on it whatever the theme.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);

    Shape1 = new QFrame(client);
    place(Shape1, "Shape1", at::kShape1);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setLineWidth(1);
    Shape1->setAutoFillBackground(true);
    Shape1->setPalette(white);

    Label2 = new ClickLabel(client);
    Label2->setText(texts::bannerText());
    Label2->setTextFormat(Qt::PlainText);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label2->setPalette(white);
    place(Label2, "Label2", at::kLabel2);
    connect(Label2, &ClickLabel::clicked, this, &FMain::Label2_Click);

    applyColours();
    setTabOrder(TUrl, BMode);
    TUrl->setFocus();
}

void FMain::setupMenus()
{
    const auto addMenu = [this](QLatin1String title, const char* name) {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    const auto addItem = [this](QMenu* menu, QLatin1String text, const char* name, void (FMain::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    MFile = addMenu(texts::kMenuFile, "MFile");
    MExit = addItem(MFile, texts::kMenuExit, "MExit", &FMain::MExit_Click);
    MLogging = addMenu(texts::kMenuLogging, "MLogging");
    MLogView = addItem(MLogging, texts::kMenuViewLog, "MLogView", &FMain::MLogView_Click);
    MAbout = addMenu(texts::kMenuAbout, "MAbout");
    MAbTol = addItem(MAbout, texts::kMenuAboutProgram, "MAbTol", &FMain::MAbTol_Click);
    MQuib = addItem(MAbout, texts::kMenuAboutSponsor, "MQuib", &FMain::MQuib_Click);

    // The window cannot be resized: its size is the client area under the menu bar.
    adjustSize();
    setFixedSize(size());
}

void FMain::setupTimer()
{
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kPollIntervalMs);
    // A coarse timer may drift by seconds over a minute; checks should keep their rhythm.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &FMain::Timer1_Timer);
}

void FMain::PollServer()
{
    checking_ = true;
    indicator_->setBusy(true);
    cycle_.PollServer();
    checking_ = false;
    indicator_->setVerdict(cycle_.siteUp() != 0 ? StatusIndicator::Verdict::Up : StatusIndicator::Verdict::Down);
    indicator_->setBusy(false);
    // A close asked for during the check, once its record is written.
    if (closeAfterCheck_)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

std::string FMain::fetchResponsively(const std::string& url)
{
    std::string body;
    runResponsively([&] { body = fetch_(url); });
    return body;
}

void FMain::BMode_Click()
{
    const QString url = TUrl->text();
    if (url.isEmpty() || url == texts::kInitialUrl)
        return;
    if (BMode->text() == texts::kStart) {
        BMode->setText(texts::kStop);
        TUrl->setEnabled(false);
        setUrlBackground(UrlBackground::ButtonFace);
        indicator_->setWatching(true);
        PollServer();
        // Armed only now, so the next check falls a whole interval after this one ended.
        Timer1->start();
    } else {
        BMode->setText(texts::kStart);
        TUrl->setEnabled(true);
        setUrlBackground(UrlBackground::White);
        Timer1->stop();
        indicator_->setWatching(false);
    }
}

void FMain::Timer1_Timer()
{
    PollServer();
}

void FMain::Form_Resize()
{
    // While minimized the caption carries the verdict marker, readable from the taskbar.
    if (!isMinimized())
        setWindowTitle(texts::kProductTitle);
}

void FMain::Form_Unload()
{
    if (about_)
        about_->close();
    if (quib_)
        quib_->close();
}

void FMain::MExit_Click()
{
    close();
}

void FMain::MLogView_Click()
{
    const QString log = QFile::decodeName(check::logPath(logFolder_).c_str());
    // Before the first check there is nothing to show, and nothing worth a complaint.
    if (!QFileInfo::exists(log))
        return;
    open_(log, applicationFolder());
}

void FMain::Label2_Click()
{
    open_(texts::sponsorHome(), applicationFolder());
}

void FMain::MAbTol_Click()
{
    if (!about_)
        about_ = std::make_unique<FAbout>();
    presentBox(about_.get());
}

void FMain::MQuib_Click()
{
    if (!quib_)
        quib_ = std::make_unique<FQuib>(open_, applicationFolder());
    presentBox(quib_.get());
}

void FMain::showFromIndicator()
{
    if (isMinimized())
        setState(check::WindowState::Normal);
    bringToFront();
}

void FMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
    else if (event->type() == QEvent::PaletteChange)
        applyColours();
}

void FMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    Form_Resize();
}

void FMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void FMain::closeEvent(QCloseEvent* event)
{
    // The window manager's close reaches the window during a check; the check ends first.
    if (checking_) {
        closeAfterCheck_ = true;
        event->ignore();
        return;
    }
    Form_Unload();
    // The indicator goes with the window: it never keeps the program alive on its own.
    indicator_->setWatching(false);
    QMainWindow::closeEvent(event);
}

void FMain::setUrlBackground(UrlBackground background)
{
    urlBackground_ = background;
    applyColours();
}

void FMain::applyColours()
{
    const QPalette theme = palette();
    // The system colours the rules were drawn in map to the nearest palette roles: window text
    // for Line1, Mid for the inactive title bar's grey (Line2), Dark for the desktop (Line3).
    for (const auto& [line, role] : {std::pair{Line1, QPalette::WindowText}, std::pair{Line2, QPalette::Mid},
             std::pair{Line3, QPalette::Dark}}) {
        QPalette colours = line->palette();
        colours.setColor(QPalette::Window, theme.color(role));
        line->setPalette(colours);
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
    QPalette box = TUrl->palette();
    box.setColor(QPalette::Base, background);
    box.setColor(QPalette::Text, text);
    // While watching, the locked address must still be read: the theme's disabled text, moved
    // towards the normal text colour as far as it takes to read against the background.
    box.setColor(QPalette::Disabled, QPalette::Text,
        readableOn(background, theme.color(QPalette::Disabled, QPalette::Text), text));
    TUrl->setPalette(box);
}

QString FMain::applicationFolder() const
{
    // A path, not text: it goes back to the file system the way Qt encodes file names.
    return QFile::decodeName(folder_.c_str());
}

std::string FMain::urlText() const
{
    return toLocal(TUrl->text());
}

std::string FMain::statusText() const
{
    return toLocal(lStatus->text());
}

void FMain::setStatusText(const std::string& text)
{
    lStatus->setText(fromLocal(text));
    indicator_->setStatus(lStatus->text());
}

check::WindowState FMain::state() const
{
    if (isMinimized())
        return check::WindowState::Minimized;
    return isMaximized() ? check::WindowState::Maximized : check::WindowState::Normal;
}

void FMain::setState(check::WindowState state)
{
    switch (state) {
    case check::WindowState::Normal: showNormal(); break;
    case check::WindowState::Minimized: showMinimized(); break;
    case check::WindowState::Maximized: showMaximized(); break;
    }
}

void FMain::setCaption(const std::string& caption)
{
    setWindowTitle(fromLocal(caption));
}

void FMain::bringToFront()
{
    raise();
    activateWindow();
}

void FMain::beep()
{
    QApplication::beep();
}

void FMain::notify(const std::string& summary, const std::string& body)
{
    notifier_->notify(fromLocal(summary), fromLocal(body));
}

} // namespace ui
