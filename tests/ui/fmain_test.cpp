#include "fake_opener.h"
#include "fmain.h"
#include "page_fetcher.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using ui::FMain;

class FMainTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
    int fetches = 0;
    bool timerActiveDuringFetch = false;
};

void FMainTest::init()
{
    folder = std::make_unique<QTemporaryDir>();
    body.clear();
    fetches = 0;
    FMain::Engine engine{
        [this](const std::string&) {
            ++fetches;
            // The fetch runs on a thread of its own; the window is asked on its own thread.
            QMetaObject::invokeMethod(
                window.get(), [this] { timerActiveDuringFetch = timer()->isActive(); }, Qt::BlockingQueuedConnection);
            return body;
        },
        [] { return std::chrono::system_clock::from_time_t(1'800'000'000); },
        folder->path().toStdString()};
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
    QFile file(folder->filePath(QStringLiteral("snlog.html")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        folder->path().toStdString()});
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
    FakeOpener opener;
    action("MLogView")->trigger();
    QTest::qWait(200);
    QCOMPARE(opener.calls(), QStringList());

    typeUrl(QStringLiteral("http://127.0.0.1:9/"));
    QTest::mouseClick(button(), Qt::LeftButton);
    action("MLogView")->trigger();
    const QString expected = folder->path() + u'|' + folder->path() + QStringLiteral("/snlog.html");
    QTRY_COMPARE(opener.calls(), QStringList{expected});
}

void FMainTest::urlBoxAndButtonShareTheFocus()
{
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_COMPARE(QApplication::focusWidget(), url());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), url());
}

QTEST_MAIN(FMainTest)
#include "fmain_test.moc"
