#include "tests/support/main_window_test_base.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

class InformationWindowsTest : public MainWindowTestBase {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void boxesExistOnceAndShowTheirTexts();
    void sponsorLinksOpenTheSponsorPages();
    void closingTheMainWindowClosesEverythingAndEndsTheProgram();
    void menusHaveNoAccessKeysOrShortcuts();
    void everyWindowCarriesTheProgramIcon();
    void everyFixedTextFitsItsRoom();
    void screenReadersFindEveryControlNamedAndInOrder();
};

void InformationWindowsTest::initTestCase()
{
    // A second run asks for a large desktop font (and a Japanese one, through the language).
    bool sized = false;
    const double points = qEnvironmentVariable("SENTRILO_TEST_FONT_POINTS").toDouble(&sized);
    if (sized) {
        QFont font = QApplication::font();
        font.setPointSizeF(points);
        QApplication::setFont(font);
    }
    if (QLocale::system().language() == QLocale::Japanese) {
        const QString family = QFontInfo(QApplication::font()).family();
        QVERIFY2(QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese),
            qPrintable(family + QStringLiteral(" is no Japanese font: is fonts-ipafont-gothic installed?")));
    }
}

void InformationWindowsTest::boxesExistOnceAndShowTheirTexts()
{
    trigger("aboutAction");
    trigger("aboutAction");
    QWidget* about = topLevel("aboutBox");
    QVERIFY(about != nullptr);
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("About the Sentrilo"));
    QVERIFY2(about->parentWidget() == nullptr, "modeless and without an owner");
    QVERIFY(!about->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QCOMPARE(about->findChild<QLabel*>(QStringLiteral("description"))->text(),
        QStringLiteral("This utility will poll your webserver every 60 seconds and log the results to "
                       "\"snlog.html\"."));
    QCOMPARE(about->findChild<QLabel*>(QStringLiteral("heading"))->font().weight(), QFont::Bold);

    // Closed and chosen again: the same box comes back.
    about->close();
    trigger("aboutAction");
    QCOMPARE(topLevel("aboutBox"), about);
    QVERIFY(about->isVisible());
    // Minimized all the same by a window manager that does not refuse, and chosen again.
    about->showMinimized();
    trigger("aboutAction");
    QVERIFY(!about->isMinimized());

    trigger("sponsorAction");
    trigger("sponsorAction");
    QWidget* quib = topLevel("sponsorBox");
    QVERIFY(quib != nullptr);
    QCOMPARE(quib->windowTitle(), QStringLiteral("About Yondrel"));
    QCOMPARE(quib->findChild<QPushButton*>(QStringLiteral("moreInformationButton"))->text(), QStringLiteral("More Information"));
    QVERIFY2(window->isVisible(), "the boxes do not block the main window");
}

void InformationWindowsTest::sponsorLinksOpenTheSponsorPages()
{
    auto* banner = child<QLabel>("sponsorBanner");
    QCOMPARE(banner->text(), QStringLiteral("Play free online games at www.yondrel.example  Click Here!"));
    QCOMPARE(banner->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(banner, Qt::LeftButton);
    QCOMPARE(opened.size(), 1);

    trigger("sponsorAction");
    QTest::mouseClick(topLevel("sponsorBox")->findChild<QPushButton*>(QStringLiteral("moreInformationButton")), Qt::LeftButton);
    const QString dir = folder;
    QCOMPARE(opened,
        (QStringList{dir + QStringLiteral("|http://www.yondrel.example/"),
            dir + QStringLiteral("|http://www.yondrel.example/?tolvan")}));
}

void InformationWindowsTest::closingTheMainWindowClosesEverythingAndEndsTheProgram()
{
    trigger("aboutAction");
    trigger("sponsorAction");
    QWidget* about = topLevel("aboutBox");
    QWidget* quib = topLevel("sponsorBox");
    QVERIFY(about->isVisible() && quib->isVisible());

    // The title bar's close box; the event loop must end by itself.
    QTimer::singleShot(0, window.get(), &QWidget::close);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    watchdog.start(10'000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!about->isVisible());
    QVERIFY(!quib->isVisible());
    QVERIFY(!window->isVisible());
}

void InformationWindowsTest::menusHaveNoAccessKeysOrShortcuts()
{
    const QStringList expected{QStringLiteral("File"), QStringLiteral("Exit"), QStringLiteral("Logging"),
        QStringLiteral("View Log"), QStringLiteral("About"), QStringLiteral("About the Sentrilo"),
        QStringLiteral("About Yondrel")};
    QStringList seen;
    for (QAction* menu : window->menuBar()->actions()) {
        seen << menu->text();
        for (QAction* item : menu->menu()->actions()) {
            seen << item->text();
            QVERIFY(item->shortcut().isEmpty());
        }
    }
    QCOMPARE(seen, expected);
}

void InformationWindowsTest::everyWindowCarriesTheProgramIcon()
{
    trigger("aboutAction");
    trigger("sponsorAction");
    // Both pictures must have been compiled in: a lost resource gives an empty icon, silently.
    for (QWidget* shown : {static_cast<QWidget*>(window.get()), topLevel("aboutBox"), topLevel("sponsorBox")}) {
        const QList<QSize> sizes = shown->windowIcon().availableSizes();
        QVERIFY2(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(16, 16)), qPrintable(shown->objectName()));
        QCOMPARE(shown->windowIcon().pixmap(QSize(16, 16)).size(), QSize(16, 16));
    }
}

namespace {

// Fails when `text` does not fit in `room` (in the widget's font), wrapping when asked.
bool fits(const QWidget* widget, const QString& text, QSize room, bool wrap = false)
{
    const QFontMetrics metrics(widget->font());
    const QRect needed = wrap ? metrics.boundingRect(QRect(QPoint(), QSize(room.width(), 10'000)), Qt::TextWordWrap, text)
                              : QRect(0, 0, metrics.horizontalAdvance(text), metrics.height());
    if (needed.width() <= room.width() && needed.height() <= room.height())
        return true;
    qWarning() << widget->objectName() << text << "needs" << needed.size() << "has" << room;
    return false;
}

} // namespace

void InformationWindowsTest::everyFixedTextFitsItsRoom()
{
    auto* urlLabel = childOf<QLabel>(window.get(), "urlCaption");
    auto* urlBox = childOf<QLineEdit>(window.get(), "urlBox");
    auto* button = childOf<QPushButton>(window.get(), "startStopButton");
    auto* status = childOf<QLabel>(window.get(), "statusLine");
    auto* banner = childOf<QLabel>(window.get(), "sponsorBanner");

    // The URL box lies over the end of its label: only the part before it is room.
    QVERIFY(fits(urlLabel, urlLabel->text(), {urlBox->x() - urlLabel->x(), urlLabel->height()}));
    const QMargins frame(4, 3, 4, 3); // what a button or text box frame takes, at the most
    QVERIFY(fits(urlBox, QStringLiteral("http://"), urlBox->contentsRect().marginsRemoved(frame).size()));
    for (const QString& caption : {QStringLiteral("Start"), QStringLiteral("Stop")})
        QVERIFY(fits(button, caption, button->rect().marginsRemoved(frame).size()));
    QVERIFY(fits(status, QStringLiteral("Status: Connecting..."), status->size()));
    QVERIFY(fits(status, QStringLiteral("Status: SITE DOWN (12/31/2026 11:59:59 PM)"), status->size()));
    QVERIFY(fits(banner, banner->text(), banner->size()));
    QVERIFY(childOf<QWidget>(window.get(), "bannerFrame")->geometry().contains(banner->geometry()));

    trigger("aboutAction");
    trigger("sponsorAction");
    QWidget* about = topLevel("aboutBox");
    QWidget* quib = topLevel("sponsorBox");
    for (QWidget* box : {about, quib}) {
        auto* heading = childOf<QLabel>(box, "heading");
        QVERIFY(fits(heading, heading->text(), heading->size()));
        QVERIFY(box->rect().contains(heading->geometry()));
        // The heading grows with the layout: with a large desktop font it is not half the size.
        const int headingPixels = QFontInfo(heading->font()).pixelSize();
        const int textPixels = QFontInfo(childOf<QLabel>(box, "description")->font()).pixelSize();
        QVERIFY2(headingPixels >= textPixels * 9 / 10,
            qPrintable(QStringLiteral("%1 px beside %2 px").arg(headingPixels).arg(textPixels)));
    }
    auto* aboutText = childOf<QLabel>(about, "description");
    QVERIFY(fits(aboutText, aboutText->text(), aboutText->size(), true));
    QVERIFY(about->rect().contains(aboutText->geometry()));

    // The sponsor text's box runs on behind the button; its words must end above it.
    auto* sponsorText = childOf<QLabel>(quib, "description");
    auto* more = childOf<QPushButton>(quib, "moreInformationButton");
    QVERIFY(fits(sponsorText, sponsorText->text(), {sponsorText->width(), more->y() - sponsorText->y()}, true));
    QVERIFY(fits(more, more->text(), more->rect().marginsRemoved(frame).size()));
    QVERIFY(quib->rect().contains(more->geometry()));
}

void InformationWindowsTest::screenReadersFindEveryControlNamedAndInOrder()
{
    const auto accessible = [](QObject* object) {
        QAccessibleInterface* found = QAccessible::queryAccessibleInterface(object);
        if (found == nullptr)
            qFatal("no accessible interface");
        return found;
    };
    // The URL box is named by its label, and the two know each other.
    auto* urlLabel = childOf<QLabel>(window.get(), "urlCaption");
    QAccessibleInterface* url = accessible(childOf<QLineEdit>(window.get(), "urlBox"));
    QCOMPARE(url->role(), QAccessible::EditableText);
    QCOMPARE(url->text(QAccessible::Name), QStringLiteral("URL to monitor"));
    const auto labels = url->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.first().first->object(), urlLabel);

    QAccessibleInterface* button = accessible(childOf<QPushButton>(window.get(), "startStopButton"));
    QCOMPARE(button->role(), QAccessible::Button);
    QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Start"));

    // The status line is a status bar whose name is what it says, check after check.
    QAccessibleInterface* status = accessible(childOf<QLabel>(window.get(), "statusLine"));
    QCOMPARE(status->role(), QAccessible::StatusBar);
    QCOMPARE(status->text(QAccessible::Name), QStringLiteral("Status: Ready"));
    window->checkNow();
    QVERIFY(status->text(QAccessible::Name).startsWith(QStringLiteral("Status: SITE DOWN (")));

    // The banner is a link whose press opens the sponsor's page, and still takes no focus.
    QAccessibleInterface* banner = accessible(childOf<QLabel>(window.get(), "sponsorBanner"));
    QCOMPARE(banner->role(), QAccessible::Link);
    QCOMPARE(banner->text(QAccessible::Name),
        QStringLiteral("Play free online games at www.yondrel.example  Click Here!"));
    QVERIFY(!banner->state().focusable);
    QAccessibleActionInterface* actions = banner->actionInterface();
    QVERIFY(actions != nullptr);
    QCOMPARE(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(opened, QStringList{folder + QStringLiteral("|http://www.yondrel.example/")});

    // Each box reads from its title down, in the order its texts stand.
    trigger("aboutAction");
    trigger("sponsorAction");
    const QList<std::pair<const char*, QStringList>> boxes{
        {"aboutBox", {QStringLiteral("About the Sentrilo"), QStringLiteral("Vorn Sentrilo 1.2"),
                       QStringLiteral("This utility will poll your webserver every 60 seconds and log the results "
                                      "to \"snlog.html\".")}},
        {"sponsorBox", {QStringLiteral("About Yondrel"), QStringLiteral("Yondrel"),
                      QStringLiteral("Yondrel is a provider of free software, java applets and online games "),
                      QStringLiteral("More Information")}}};
    for (const auto& [name, expected] : boxes) {
        QAccessibleInterface* box = accessible(topLevel(name));
        QCOMPARE(box->role(), QAccessible::Dialog);
        QStringList read{box->text(QAccessible::Name)};
        for (int i = 0; i < box->childCount(); ++i)
            read << box->child(i)->text(QAccessible::Name);
        QCOMPARE(read, expected);
    }
}

QTEST_MAIN(InformationWindowsTest)
#include "information_windows_test.moc"
