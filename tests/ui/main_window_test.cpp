#include "tests/support/main_window_test_base.h"
#include "ui/base/contrast.h"

#include <QAction>
#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <ctime>
#include <memory>

class MainWindowTest : public MainWindowTestBase {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void startsIdle();
    void startIgnoresAnEmptyOrBareUrl();
    void startAndStopFollowTheStateTable();
    void anyOtherTextIsChecked();
    void timerRepeatsTheCheck();
    void maximizedWindowStaysMaximizedOnAlert();
    void exitClosesTheWindow();
    void viewLogOpensTheLogOnceItExists();
    void urlBoxAndButtonShareTheFocus();
    void keysWithAltOrMetaTypeNothingAndTheKeyboardDrivesTheRest();
    void textsReadInEveryStateOnLightAndDarkThemes_data();
    void textsReadInEveryStateOnLightAndDarkThemes();
    void legacyLocalesShowTheStatusRightAndLogTheirOwnBytes_data();
    void legacyLocalesShowTheStatusRightAndLogTheirOwnBytes();
};

void MainWindowTest::initTestCase()
{
    // Text drawn without smoothing is all of one colour, the one the colour test measures.
    QFont font = QApplication::font();
    font.setStyleStrategy(QFont::NoAntialias);
    QApplication::setFont(font);
}

void MainWindowTest::startsIdle()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Vorn Sentrilo"));
    QCOMPARE(urlBox()->text(), QStringLiteral("http://"));
    QCOMPARE(startStopButton()->text(), QStringLiteral("Start"));
    QCOMPARE(statusLine()->text(), QStringLiteral("Status: Ready"));
    QVERIFY(!pollTimer()->isActive());
    QCOMPARE(pollTimer()->interval(), 60000);
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window->minimumSize(), window->maximumSize());
}

void MainWindowTest::startIgnoresAnEmptyOrBareUrl()
{
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    urlBox()->clear();
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QCOMPARE(startStopButton()->text(), QStringLiteral("Start"));
    QVERIFY(urlBox()->isEnabled());
    QCOMPARE(fetches, 0);
    QVERIFY(log().isEmpty());
}

void MainWindowTest::startAndStopFollowTheStateTable()
{
    QCOMPARE(urlBox()->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    bool timerActiveDuringFetch = false;
    QString statusDuringFetch;
    fetch = [&](const std::string&) {
        // The fetch runs on a thread of its own; the window is asked on its own thread.
        QMetaObject::invokeMethod(window.get(), [&] {
            timerActiveDuringFetch = pollTimer()->isActive();
            statusDuringFetch = statusLine()->text();
        }, Qt::BlockingQueuedConnection);
        return check::Page("up");
    };
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QCOMPARE(startStopButton()->text(), QStringLiteral("Stop"));
    QVERIFY(!urlBox()->isEnabled());
    QCOMPARE(urlBox()->palette().color(QPalette::Base), window->palette().color(QPalette::Button));
    QCOMPARE(fetches, 1);
    QVERIFY2(!timerActiveDuringFetch, "the timer is armed only after the first check");
    QCOMPARE(statusDuringFetch, QStringLiteral("Status: Connecting..."));
    QVERIFY(pollTimer()->isActive());
    QVERIFY(statusLine()->text().startsWith(QStringLiteral("Status: SITE OK (")));

    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QCOMPARE(startStopButton()->text(), QStringLiteral("Start"));
    QVERIFY(urlBox()->isEnabled());
    QCOMPARE(urlBox()->palette().color(QPalette::Base), QColor(255, 255, 255));
    QVERIFY(!pollTimer()->isActive());
    QVERIFY2(statusLine()->text().startsWith(QStringLiteral("Status: SITE OK (")), "Stop keeps the last verdict");
    QCOMPARE(fetches, 1);
    QCOMPARE(log().count("<BR>\n\r\n"), 1);
    QVERIFY(log().startsWith("http://127.0.0.1:9/ Status: SITE OK ("));
}

void MainWindowTest::anyOtherTextIsChecked()
{
    // Only the empty box and the bare "http://" keep Start from watching; the check judges the rest.
    for (const QString& text : {QStringLiteral("HTTP://"), QStringLiteral("   ")}) {
        typeUrl(text);
        QTest::mouseClick(startStopButton(), Qt::LeftButton);
        QCOMPARE(startStopButton()->text(), QStringLiteral("Stop"));
        QCOMPARE(QString::fromStdString(fetchedUrl), text);
        QTest::mouseClick(startStopButton(), Qt::LeftButton);
    }
    QCOMPARE(log().count("Status: SITE DOWN ("), 2);
}

void MainWindowTest::timerRepeatsTheCheck()
{
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QCOMPARE(fetches, 1);
    pollTimer()->setInterval(10); // a minute is too long to wait for in a test
    QTRY_VERIFY(fetches >= 3);
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    const int stoppedAt = fetches;
    QTest::qWait(50);
    QCOMPARE(fetches, stoppedAt);
}

void MainWindowTest::maximizedWindowStaysMaximizedOnAlert()
{
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    window->showMaximized();
    QVERIFY(window->isMaximized());
    body = "up";
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QVERIFY(window->isMaximized());
    QCOMPARE(window->windowTitle(), QStringLiteral("Vorn Sentrilo"));
}

void MainWindowTest::exitClosesTheWindow()
{
    // Exit goes through the same close as the title bar's box, so the program ends the same way.
    QSignalSpy closing(window.get(), &QObject::destroyed);
    window->setAttribute(Qt::WA_DeleteOnClose);
    trigger("exitAction");
    QTRY_COMPARE(closing.count(), 1);
    window.release(); // deleted by its close
}

void MainWindowTest::viewLogOpensTheLogOnceItExists()
{
    trigger("viewLogAction");
    QCOMPARE(opened, QStringList());

    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    trigger("viewLogAction");
    const QString expected = folder + u'|' + folder + QStringLiteral("/snlog.html");
    QCOMPARE(opened, QStringList{expected});
}

void MainWindowTest::urlBoxAndButtonShareTheFocus()
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_COMPARE(QApplication::focusWidget(), urlBox());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), startStopButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), urlBox());
}

void MainWindowTest::keysWithAltOrMetaTypeNothingAndTheKeyboardDrivesTheRest()
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_COMPARE(QApplication::focusWidget(), urlBox());
    // The menus have no access keys: Alt+F and Alt+A would otherwise type into the address.
    QTest::keyClick(urlBox(), Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(urlBox(), Qt::Key_A, Qt::AltModifier);
    QTest::keyClick(urlBox(), Qt::Key_B, Qt::AltModifier | Qt::ShiftModifier);
    QTest::keyClick(urlBox(), Qt::Key_X, Qt::MetaModifier);
    QCOMPARE(urlBox()->text(), QStringLiteral("http://"));
    QTest::keyClicks(urlBox(), QStringLiteral("a.b"));
    QCOMPARE(urlBox()->text(), QStringLiteral("http://a.b"));

    QTest::keyClick(urlBox(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), startStopButton());
    QTest::keyClick(startStopButton(), Qt::Key_Space);
    QCOMPARE(startStopButton()->text(), QStringLiteral("Stop"));

    for (const auto& [item, name] : {std::pair{"aboutAction", "aboutBox"}, std::pair{"sponsorAction", "sponsorBox"}}) {
        trigger(item);
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

void MainWindowTest::textsReadInEveryStateOnLightAndDarkThemes_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void MainWindowTest::textsReadInEveryStateOnLightAndDarkThemes()
{
    // The measure itself, on pairs whose ratios are known.
    QCOMPARE(ui::contrastRatio(Qt::black, Qt::white), 21.0);
    QCOMPARE(qRound(ui::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white) * 100), 454);
    QFETCH(bool, dark);
    const QPalette original = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(original); });
    if (dark) {
        QApplication::setPalette(darkPalette()); // a theme changed while the program runs
        QTRY_COMPARE(window->palette().color(QPalette::Window), darkPalette().color(QPalette::Window));
    }

    auto* urlCaption = child<QLabel>("urlCaption");
    const auto measure = [&](const char* state) {
        const QImage shot = window->grab().toImage();
        const auto area = [&](QWidget* widget, int inset) {
            return QRect(widget->mapTo(window.get(), QPoint()), widget->size()).adjusted(inset, inset, -inset, -inset);
        };
        // Only the part of the URL label before the box shows.
        const QRect labelArea(
            urlCaption->mapTo(window.get(), QPoint()), QSize(urlBox()->x() - urlCaption->x(), urlCaption->height()));
        const QList<std::pair<const char*, QRect>> texts{{"urlCaption", labelArea}, {"urlBox", area(urlBox(), 3)},
            {"startStopButton", area(startStopButton(), 4)}, {"statusLine", area(statusLine(), 0)},
            {"sponsorBanner", area(child<QLabel>("sponsorBanner"), 0)}};
        for (const auto& [name, shown] : texts) {
            const double ratio = textContrast(shot, shown);
            const QString what = QLatin1String(name) + QStringLiteral(" in ") + QLatin1String(state);
            QVERIFY2(ratio >= 4.5, qPrintable(what + QStringLiteral(": %1:1").arg(ratio, 0, 'f', 2)));
        }
    };
    // The state table: the theme's own background at start-up, whichever theme is in use.
    QCOMPARE(urlBox()->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    measure("start-up");
    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    body = "up";
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QVERIFY(!urlBox()->isEnabled());
    measure("watching");
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QCOMPARE(urlBox()->palette().color(QPalette::Base), QColor(Qt::white));
    measure("after Stop");
}

void MainWindowTest::legacyLocalesShowTheStatusRightAndLogTheirOwnBytes_data()
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

void MainWindowTest::legacyLocalesShowTheStatusRightAndLogTheirOwnBytes()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, record);

    const QByteArray savedLocale = std::setlocale(LC_ALL, nullptr);
    const auto restore = qScopeGuard([&] {
        std::setlocale(LC_ALL, savedLocale.constData());
        tzset(); // once the scratch has given TZ back
    });
    // The locale is built here, in a folder of the test's own: no root, no system locales.
    Scratch locales;
    const QList<QByteArray> parts = locale.split('.');
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"), {QStringLiteral("-i"), QString::fromLatin1(parts[0]),
        QStringLiteral("-f"), QString::fromLatin1(parts[1]), QString::fromStdString((locales.path() / locale.toStdString()).string())});
    QVERIFY(localedef.waitForFinished(60'000));
    QVERIFY2(localedef.exitCode() == 0, localedef.readAllStandardError().constData());
    locales.set("LOCPATH", locales.path().c_str());
    locales.set("TZ", "UTC");
    tzset();
    QVERIFY(std::setlocale(LC_ALL, locale.constData()) != nullptr);

    urlBox()->setText(typed); // as an input method would put it in
    body = "up";
    QTest::mouseClick(startStopButton(), Qt::LeftButton);
    QCOMPARE(statusLine()->text(), shown);
    QCOMPARE(QByteArray::fromStdString(fetchedUrl), record.left(record.indexOf(' ')));
    QCOMPARE(log(), record + "<BR>\n\r\n");
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
