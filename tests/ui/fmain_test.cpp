#include "check/page_fetcher.h"
#include "tests/support/window_test_support.h"
#include "ui/contrast.h"
#include "ui/fmain.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <ctime>
#include <memory>

using ui::FMain;

class FMainTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startsIdle();
    void startIgnoresAnEmptyOrBareUrl();
    void startAndStopFollowTheStateTable();
    void anyOtherTextIsChecked();
    void timerRepeatsTheCheck();
    void checkWhileMinimizedShowsTheMarker();
    void changeWhileMinimizedRestoresTheWindow();
    void restoringBringsTheTitleBack();
    void exitClosesTheWindow();
    void viewLogOpensTheLogOnceItExists();
    void urlBoxAndButtonShareTheFocus();
    void keysWithAltOrMetaTypeNothingAndTheKeyboardDrivesTheRest();
    void textsReadInEveryStateOnLightAndDarkThemes_data();
    void textsReadInEveryStateOnLightAndDarkThemes();
    void legacyLocalesShowTheStatusRightAndLogTheirOwnBytes_data();
    void legacyLocalesShowTheStatusRightAndLogTheirOwnBytes();

private:
    QLineEdit* url() const { return window->findChild<QLineEdit*>(QStringLiteral("TUrl")); }
    QPushButton* button() const { return window->findChild<QPushButton*>(QStringLiteral("BMode")); }
    QLabel* status() const { return window->findChild<QLabel*>(QStringLiteral("lStatus")); }
    QTimer* timer() const { return window->findChild<QTimer*>(QStringLiteral("Timer1")); }
    QAction* action(const char* name) const { return window->findChild<QAction*>(QLatin1String(name)); }
    QByteArray log() const;
    void typeUrl(const QString& text);

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<FMain> window;
    std::string body;
    std::string fetchedUrl;
    int fetches = 0;
    bool timerActiveDuringFetch = false;
    QStringList opened; // "working folder|target", one per request to the desktop
};

void FMainTest::initTestCase()
{
    // Text drawn without smoothing is all of one colour, the one the colour test measures.
    QFont font = QApplication::font();
    font.setStyleStrategy(QFont::NoAntialias);
    QApplication::setFont(font);
}

void FMainTest::init()
{
    folder = std::make_unique<QTemporaryDir>();
    body.clear();
    fetches = 0;
    opened.clear();
    FMain::Engine engine{
        [this](const std::string& url) {
            ++fetches;
            fetchedUrl = url;
            // The fetch runs on a thread of its own; the window is asked on its own thread.
            QMetaObject::invokeMethod(
                window.get(), [this] { timerActiveDuringFetch = timer()->isActive(); }, Qt::BlockingQueuedConnection);
            return body;
        },
        [] { return std::chrono::system_clock::from_time_t(1'800'000'000); },
        folder->path().toStdString(),
        [this](const QString& target, const QString& workingFolder) { opened << workingFolder + u'|' + target; }};
    window = std::make_unique<FMain>(std::move(engine));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void FMainTest::cleanup()
{
    window.reset();
    folder.reset();
}

QByteArray FMainTest::log() const
{
    return readLog(folder->path());
}

void FMainTest::typeUrl(const QString& text)
{
    url()->clear();
    QTest::keyClicks(url(), text);
}

void FMainTest::startsIdle()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Vorn Sentrilo"));
    QCOMPARE(url()->text(), QStringLiteral("http://"));
    QCOMPARE(button()->text(), QStringLiteral("Start"));
    QCOMPARE(status()->text(), QStringLiteral("Status: Ready"));
    QVERIFY(!timer()->isActive());
    QCOMPARE(timer()->interval(), 60000);
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window->minimumSize(), window->maximumSize());
}

void FMainTest::startIgnoresAnEmptyOrBareUrl()
{
    QTest::mouseClick(button(), Qt::LeftButton);
    url()->clear();
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(button()->text(), QStringLiteral("Start"));
    QVERIFY(url()->isEnabled());
    QCOMPARE(fetches, 0);
    QVERIFY(log().isEmpty());
}

void FMainTest::startAndStopFollowTheStateTable()
{
    QCOMPARE(url()->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    body = "up";
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(button()->text(), QStringLiteral("Stop"));
    QVERIFY(!url()->isEnabled());
    QCOMPARE(url()->palette().color(QPalette::Base), window->palette().color(QPalette::Button));
    QCOMPARE(fetches, 1);
    QVERIFY2(!timerActiveDuringFetch, "the timer is armed only after the first check");
    QVERIFY(timer()->isActive());
    QVERIFY(status()->text().startsWith(QStringLiteral("Status: SITE OK (")));

    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(button()->text(), QStringLiteral("Start"));
    QVERIFY(url()->isEnabled());
    QCOMPARE(url()->palette().color(QPalette::Base), QColor(255, 255, 255));
    QVERIFY(!timer()->isActive());
    QVERIFY2(status()->text().startsWith(QStringLiteral("Status: SITE OK (")), "Stop keeps the last verdict");
    QCOMPARE(fetches, 1);
    QCOMPARE(log().count("<BR>\n\r\n"), 1);
    QVERIFY(log().startsWith("http://127.0.0.1:9/ Status: SITE OK ("));
}

void FMainTest::anyOtherTextIsChecked()
{
    // Through the real fetcher: neither text can be fetched, so both report the site down.
    window.reset();
    window = std::make_unique<FMain>(FMain::Engine{
        [](const std::string& text) { return check::FetchPage(text); }, &std::chrono::system_clock::now,
        folder->path().toStdString(), [](const QString&, const QString&) {}});
    window->show();
    for (const QString& text : {QStringLiteral("HTTP://"), QStringLiteral("   ")}) {
        typeUrl(text);
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(button()->text(), QStringLiteral("Stop"));
        QVERIFY2(status()->text().startsWith(QStringLiteral("Status: SITE DOWN (")), qPrintable(text));
        QTest::mouseClick(button(), Qt::LeftButton);
    }
    QCOMPARE(log().count("Status: SITE DOWN ("), 2);
}

void FMainTest::timerRepeatsTheCheck()
{
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(fetches, 1);
    timer()->setInterval(10); // a minute is too long to wait for in a test
    QTRY_VERIFY(fetches >= 3);
    QTest::mouseClick(button(), Qt::LeftButton);
    const int stoppedAt = fetches;
    QTest::qWait(50);
    QCOMPARE(fetches, stoppedAt);
}

void FMainTest::checkWhileMinimizedShowsTheMarker()
{
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    window->showMinimized();
    QVERIFY(window->isMinimized());
    QCOMPARE(window->windowTitle(), QStringLiteral("Vorn Sentrilo")); // minimizing alone changes nothing
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(window->windowTitle(), QStringLiteral("[Site Down]"));
    QVERIFY2(window->isMinimized(), "no change of verdict: the window stays down");
}

void FMainTest::changeWhileMinimizedRestoresTheWindow()
{
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    window->showMinimized();
    body = "up";
    QTest::mouseClick(button(), Qt::LeftButton);
    QVERIFY(!window->isMinimized());
    QCOMPARE(window->windowTitle(), QStringLiteral("Vorn Sentrilo"));
}

void FMainTest::restoringBringsTheTitleBack()
{
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(button(), Qt::LeftButton);
    window->showMinimized();
    window->PollServer();
    QCOMPARE(window->windowTitle(), QStringLiteral("[Site Down]"));
    window->showNormal();
    QCOMPARE(window->windowTitle(), QStringLiteral("Vorn Sentrilo"));
}

void FMainTest::exitClosesTheWindow()
{
    // Exit goes through the same close as the title bar's box, so the program ends the same way.
    QSignalSpy closing(window.get(), &QObject::destroyed);
    window->setAttribute(Qt::WA_DeleteOnClose);
    action("MExit")->trigger();
    QTRY_COMPARE(closing.count(), 1);
    window.release(); // deleted by its close
}

void FMainTest::viewLogOpensTheLogOnceItExists()
{
    action("MLogView")->trigger();
    QCOMPARE(opened, QStringList());

    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(button(), Qt::LeftButton);
    action("MLogView")->trigger();
    const QString expected = folder->path() + u'|' + folder->path() + QStringLiteral("/snlog.html");
    QCOMPARE(opened, QStringList{expected});
}

void FMainTest::urlBoxAndButtonShareTheFocus()
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_COMPARE(QApplication::focusWidget(), url());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), url());
}

void FMainTest::keysWithAltOrMetaTypeNothingAndTheKeyboardDrivesTheRest()
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_COMPARE(QApplication::focusWidget(), url());
    // The menus have no access keys: Alt+F and Alt+A would otherwise type into the address.
    QTest::keyClick(url(), Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(url(), Qt::Key_A, Qt::AltModifier);
    QTest::keyClick(url(), Qt::Key_B, Qt::AltModifier | Qt::ShiftModifier);
    QTest::keyClick(url(), Qt::Key_X, Qt::MetaModifier);
    QCOMPARE(url()->text(), QStringLiteral("http://"));
    QTest::keyClicks(url(), QStringLiteral("a.b"));
    QCOMPARE(url()->text(), QStringLiteral("http://a.b"));

    QTest::keyClick(url(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button());
    QTest::keyClick(button(), Qt::Key_Space);
    QCOMPARE(button()->text(), QStringLiteral("Stop"));

    for (const auto& [item, name] : {std::pair{"MAbTol", "FAbout"}, std::pair{"MQuib", "FQuib"}}) {
        action(item)->trigger();
        QWidget* box = topLevel(name);
        QVERIFY(box != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY2(!box->isVisible(), name);
    }
}

namespace {

// Colours in use in `area` of `image`, with how many pixels show each.
QHash<QRgb, int> colours(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> count;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ++count[image.pixel(x, y)];
    }
    return count;
}

// The contrast of the text shown in `area` against its background: the background is the
// colour most pixels show, the text the colour that stands out most from it.
double textContrast(const QImage& image, const QRect& area)
{
    const QHash<QRgb, int> count = colours(image, area);
    QRgb background = 0;
    for (auto it = count.begin(); it != count.end(); ++it) {
        if (it.value() > count.value(background))
            background = it.key();
    }
    double best = 1.0;
    for (auto it = count.begin(); it != count.end(); ++it) {
        if (it.value() >= 4) // a stray pixel or two is no text
            best = std::max(best, ui::contrastRatio(QColor(it.key()), QColor(background)));
    }
    return best;
}

QPalette darkPalette()
{
    QPalette dark(QColor(53, 53, 53), QColor(53, 53, 53));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText,
             QPalette::HighlightedText})
        dark.setColor(role, Qt::white);
    dark.setColor(QPalette::Base, QColor(42, 42, 42));
    dark.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    return dark;
}

} // namespace

void FMainTest::textsReadInEveryStateOnLightAndDarkThemes_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void FMainTest::textsReadInEveryStateOnLightAndDarkThemes()
{
    QFETCH(bool, dark);
    // The measure itself first, against known pairs.
    QCOMPARE(ui::contrastRatio(Qt::black, Qt::white), 21.0);
    QCOMPARE(qRound(ui::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white) * 100), 454);

    const QPalette original = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(original); });
    if (dark) {
        QApplication::setPalette(darkPalette()); // a theme changed while the program runs
        QTRY_COMPARE(window->palette().color(QPalette::Window), darkPalette().color(QPalette::Window));
    }

    auto* urlLabel = window->findChild<QLabel*>(QStringLiteral("Label1"));
    const auto measure = [&](const char* state) {
        const QImage shot = window->grab().toImage();
        const auto area = [&](QWidget* widget, int inset) {
            return QRect(widget->mapTo(window.get(), QPoint()), widget->size()).adjusted(inset, inset, -inset, -inset);
        };
        // Only the part of the URL label before the box shows.
        const QRect labelArea(
            urlLabel->mapTo(window.get(), QPoint()), QSize(url()->x() - urlLabel->x(), urlLabel->height()));
        const QList<std::pair<const char*, QRect>> texts{{"Label1", labelArea}, {"TUrl", area(url(), 3)},
            {"BMode", area(button(), 4)}, {"lStatus", area(status(), 0)},
            {"Label2", area(window->findChild<QLabel*>(QStringLiteral("Label2")), 0)}};
        for (const auto& [name, shown] : texts) {
            const double ratio = textContrast(shot, shown);
            const QString what = QLatin1String(name) + QStringLiteral(" in ") + QLatin1String(state);
            QVERIFY2(ratio >= 4.5, qPrintable(what + QStringLiteral(": %1:1").arg(ratio, 0, 'f', 2)));
        }
    };
    // The state table: the theme's own background at start-up, whichever theme is in use.
    QCOMPARE(url()->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    measure("start-up");
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    body = "up";
    QTest::mouseClick(button(), Qt::LeftButton);
    QVERIFY(!url()->isEnabled());
    measure("watching");
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(url()->palette().color(QPalette::Base), QColor(Qt::white));
    measure("after Stop");
}

void FMainTest::legacyLocalesShowTheStatusRightAndLogTheirOwnBytes_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("record"); // the record's bytes, and the URL's the fetcher got

    const QString japanese = QStringLiteral("Status: SITE OK (2027\u5e7401\u670815\u65e5 08\u664200\u520600\u79d2)");
    QTest::newRow("EUC-JP") << QByteArray("ja_JP.EUC-JP") << QStringLiteral("http://\u4f8b\u3048.example/") << japanese
                            << QByteArray("http://\xce\xe3\xa4\xa8.example/ Status: SITE OK (2027\xc7\xaf" "01\xb7\xee"
                                          "15\xc6\xfc 08\xbb\xfe" "00\xca\xac" "00\xc9\xc3)");
    QTest::newRow("UTF-8 unchanged")
        << QByteArray("ja_JP.UTF-8") << QStringLiteral("http://\u4f8b\u3048.example/") << japanese
        << QByteArray("http://\xe4\xbe\x8b\xe3\x81\x88.example/ Status: SITE OK (2027\xe5\xb9\xb4" "01\xe6\x9c\x88"
                      "15\xe6\x97\xa5 08\xe6\x99\x82" "00\xe5\x88\x86" "00\xe7\xa7\x92)");
    // A character the charset lacks goes out as '?'.
    QTest::newRow("ISO-8859-1") << QByteArray("de_DE.ISO-8859-1") << QStringLiteral("http://b\u00fccher\u65e5.example/")
                                << QStringLiteral("Status: SITE OK (15.01.2027 08:00:00)")
                                << QByteArray("http://b\xfc" "cher?.example/ Status: SITE OK (15.01.2027 08:00:00)");
}

void FMainTest::legacyLocalesShowTheStatusRightAndLogTheirOwnBytes()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, record);

    // The locale is built here, in a folder of the test's own: no root, no system locales.
    QTemporaryDir locales;
    const QList<QByteArray> parts = locale.split('.');
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"), {QStringLiteral("-i"), QString::fromLatin1(parts[0]),
        QStringLiteral("-f"), QString::fromLatin1(parts[1]), locales.filePath(QString::fromLatin1(locale))});
    QVERIFY(localedef.waitForFinished(60'000));
    QVERIFY2(localedef.exitCode() == 0, localedef.readAllStandardError().constData());

    const QByteArray savedLocale = std::setlocale(LC_ALL, nullptr);
    const QByteArray savedZone = qgetenv("TZ");
    const auto restore = qScopeGuard([&] {
        std::setlocale(LC_ALL, savedLocale.constData());
        qunsetenv("LOCPATH");
        savedZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", savedZone);
        tzset();
    });
    qputenv("LOCPATH", QFile::encodeName(locales.path()));
    qputenv("TZ", "UTC");
    tzset();
    QVERIFY(std::setlocale(LC_ALL, locale.constData()) != nullptr);

    url()->setText(typed); // as an input method would put it in
    body = "up";
    QTest::mouseClick(button(), Qt::LeftButton);
    QCOMPARE(status()->text(), shown);
    QCOMPARE(QByteArray::fromStdString(fetchedUrl), record.left(record.indexOf(' ')));
    QCOMPARE(log(), record + "<BR>\n\r\n");
}

QTEST_MAIN(FMainTest)
#include "fmain_test.moc"
