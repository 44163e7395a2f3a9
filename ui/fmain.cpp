#include "fmain.h"

#include "check_log.h"
#include "click_label.h"
#include "desktop_notifier.h"
#include "fabout.h"
#include "fquib.h"
#include "information_window.h"
#include "page_fetcher.h"
#include "program_icon.h"
#include "responsive_wait.h"
#include "shell_open.h"
#include "twips.h"
#include "ui_texts.h"

#include <QApplication>
#include <QCloseEvent>
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

QString fromLocal(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toLocal(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

} // namespace

FMain::Engine FMain::Engine::system()
{
    return {[](const std::string& url) { return check::FetchPage(url); }, &std::chrono::system_clock::now,
        check::applicationFolder()};
}

FMain::FMain(Engine engine, QWidget* parent)
    : QMainWindow(parent),
      folder_(std::move(engine.folder)),
      fetch_(std::move(engine.fetch)),
      cycle_(*this, [this](const std::string& url) { return fetchResponsively(url); }, std::move(engine.clock),
          folder_)
{
    setupWindow();
    setupControls();
    setupMenus();
    setupTimer();
    notifier_ = new DesktopNotifier(this);
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
    const Twips& twips = Twips::application();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips.size(6105, 1275));
    setCentralWidget(client);

    // Three rules under the menu bar, each later one drawn over the one before. The system
    // colours they were drawn in map to the nearest palette roles: window text for Line1,
    // Mid for the inactive title bar's grey (Line2) and Dark for the desktop (Line3).
    const auto addLine = [&](const char* name, int top, QPalette::ColorRole role) {
        auto* line = new QFrame(client);
        line->setObjectName(QLatin1String(name));
        line->setGeometry(0, twips.toPixels(top), twips.toPixels(6225), 1);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, palette.color(role));
        line->setPalette(palette);
        return line;
    };
    Line1 = addLine("Line1", 0, QPalette::WindowText);
    Line2 = addLine("Line2", 0, QPalette::Mid);
    Line3 = addLine("Line3", 15, QPalette::Dark);

    const auto place = [](QWidget* widget, const char* name, QRect geometry) {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(geometry);
    };

    // Created in tab order, the URL box first, so that it takes the focus when the window opens.
    TUrl = new QLineEdit(texts::kInitialUrl, client);
    place(TUrl, "TUrl", twips.rect(1250, 135, 4095, 285));

    Label1 = new QLabel(texts::kUrlLabel, client);
    Label1->setTextFormat(Qt::PlainText);
    place(Label1, "Label1", twips.rect(105, 165, 3015, 255));
    // The label's box runs on under the URL box; the box must stay on top of it.
    Label1->lower();

    BMode = new QPushButton(texts::kStart, client);
    BMode->setAutoDefault(false);
    place(BMode, "BMode", twips.rect(5400, 120, 615, 320));
    connect(BMode, &QPushButton::clicked, this, &FMain::BMode_Click);

    lStatus = new QLabel(texts::kStatusReady, client);
    lStatus->setTextFormat(Qt::PlainText);
    place(lStatus, "lStatus", twips.rect(105, 525, 6015, 255));

    Shape1 = new QFrame(client);
    place(Shape1, "Shape1", twips.rect(75, 840, 5955, 375));
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setLineWidth(1);
    Shape1->setAutoFillBackground(true);
    QPalette white = Shape1->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    Shape1->setPalette(white);

    Label2 = new ClickLabel(client);
    Label2->setText(texts::kBannerOpen + QString(texts::kSponsorHost) + texts::kBannerClose);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label2->setPalette(white);
    place(Label2, "Label2", twips.rect(90, 915, 5760, 285));
    connect(Label2, &ClickLabel::clicked, this, &FMain::Label2_Click);

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
    cycle_.PollServer();
    checking_ = false;
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
        setUrlBackground(palette().color(QPalette::Button));
        PollServer();
        // Armed only now, so the next check falls a whole interval after this one ended.
        Timer1->start();
    } else {
        BMode->setText(texts::kStart);
        TUrl->setEnabled(true);
        setUrlBackground(Qt::white);
        Timer1->stop();
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
    const QString log = fromLocal(check::logPath(folder_));
    // Before the first check there is nothing to show, and nothing worth a complaint.
    if (!QFileInfo::exists(log))
        return;
    shellOpen(log, applicationFolder());
}

void FMain::Label2_Click()
{
    shellOpen(texts::kSponsorHome, applicationFolder());
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
        quib_ = std::make_unique<FQuib>(applicationFolder());
    presentBox(quib_.get());
}

void FMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
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
    QMainWindow::closeEvent(event);
}

void FMain::setUrlBackground(const QColor& colour)
{
    QPalette palette = TUrl->palette();
    palette.setColor(QPalette::Base, colour);
    TUrl->setPalette(palette);
}

QString FMain::applicationFolder() const
{
    return fromLocal(folder_);
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
