// The window's side of the update check: the menu entry, the settings that
// reach the component, the question, the progress dialog with Cancel, and
// the hand-over of a downloaded release to the desktop.

#include "support/https_test_server.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include "core/shell/custom_registry.h"
#include "core/utilities/auto_upgrade.h"
#include "gui/shell/main_window.h"
#include "gui/utilities/auto_upgrade_window.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QNetworkProxy>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>

using namespace clarivex;
using namespace clarivex::test;

class TestUpdateCheckWindow : public QObject
{
    Q_OBJECT
public slots:
    void openUrl(const QUrl &url) { m_steps << QStringLiteral("open ") + url.toLocalFile(); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void menuEntryWithoutAddressSaysSo();
    void storedValuesReachTheWindow();
    void askedCheckAlwaysEndsWithAMessage_data();
    void askedCheckAlwaysEndsWithAMessage();
    void downloadIsHandedToTheDesktop_data();
    void downloadIsHandedToTheDesktop();
    void failedDownloadSaysWhy();
    void cancelButtonStopsTheDownload();

private:
    struct Fixture
    {
        QWidget window;
        TAutoUpgrade upgrade{&window};
    };
    void prepare(Fixture &fixture, bool saves);
    void serve(const TestResponse &release);

    std::unique_ptr<HttpsTestServer> m_server;
    QTemporaryDir m_downloads;
    QStringList m_steps;
};

void TestUpdateCheckWindow::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
}

void TestUpdateCheckWindow::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestUpdateCheckWindow::menuEntryWithoutAddressSaysSo()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    QAction *entry = nullptr;
    for (QAction *action : window.menuBar()->findChildren<QAction *>())
        if (action->text() == QLatin1String("&Check program updates...")) entry = action;
    QVERIFY(entry);
    entry->trigger();
    QCOMPARE(notices->requests().size(), 1);
    // Where the address is set comes with it.
    const QString text = notices->requests().first().text;
    QVERIFY2(text.startsWith(QStringLiteral("No update address is configured.")) &&
                 text.contains(QStringLiteral("InfoURL")) &&
                 text.contains(QStringLiteral("Settings\\Update")),
             qPrintable(text));
}

void TestUpdateCheckWindow::askedCheckAlwaysEndsWithAMessage_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("hold"); // the server sends part of its answer, then nothing
    QTest::addColumn<QString>("says");
    QTest::newRow("no connection") << false << QByteArray() << QByteArray() << false
                                   << "There is no connection to the Internet";
    QTest::newRow("up to date") << true << QByteArray("200 OK")
                                << QByteArray("#date=09/26/2000\r\n") << false
                                << "Clarivex 2000 is up to date";
    QTest::newRow("no such page") << true << QByteArray("404 Not Found") << QByteArray("gone")
                                  << false << "The update check failed: ";
    QTest::newRow("a server that stops answering")
        << true << QByteArray("200 OK") << QByteArray("#date=") << true
        << "The update check failed: ";
}

// The check the user asked for from the menu ends with one message, in a few
// seconds, whatever the network does.
void TestUpdateCheckWindow::askedCheckAlwaysEndsWithAMessage()
{
    QFETCH(bool, connected);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, hold);
    QFETCH(QString, says);
    m_server = std::make_unique<HttpsTestServer>();
    QString why;
    if (!m_server->start(&why)) QSKIP(qPrintable(why));
    m_server->respond(QStringLiteral("/info"),
                      {status, {}, body, hold ? std::optional<qint64>(100) : std::nullopt, hold});
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    TAutoUpgrade &upgrade = *window.AutoUpgrade;
    upgrade.timer()->stop();
    upgrade.InfoURL = m_server->url(QStringLiteral("/info")).toString();
    upgrade.InfoTransfer.tls = m_server->clientTls();
    upgrade.InfoTransfer.proxy = QNetworkProxy(QNetworkProxy::NoProxy);
    upgrade.InfoTransfer.inactivityTimeoutMs = 1500;
    upgrade.window.isConnected = [connected] { return connected; };
    QElapsedTimer clock;
    clock.start();
    emit window.updateCheckRequested();
    QVERIFY(clock.elapsed() < waitLimitMs());
    QCOMPARE(notices->requests().size(), 1);
    QVERIFY2(notices->requests().first().text.startsWith(says),
             qPrintable(notices->requests().first().text));
    QCOMPARE(upgrade.InfoTransfer.inactivityTimeoutMs, 1500);  // its own limits come back
    QVERIFY(!upgrade.OnError && !upgrade.OnNoUpdateAvailable); // the automatic check stays quiet
}

void TestUpdateCheckWindow::storedValuesReachTheWindow()
{
    TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
    ini.WriteText(QStringLiteral("Settings\\Update"), QStringLiteral("InfoURL"),
                  QStringLiteral("https://127.0.0.1:1/info"));
    ini.WriteFlag(QStringLiteral("Settings\\Update"), QStringLiteral("AutoCheck"), false);
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    QVERIFY(window.AutoUpgrade);
    QCOMPARE(window.AutoUpgrade->InfoURL, QStringLiteral("https://127.0.0.1:1/info"));
    QVERIFY(!window.AutoUpgrade->Active);
    QCOMPARE(window.AutoUpgrade->VersionDate, QStringLiteral("09/26/2000"));
    QCOMPARE(window.AutoUpgrade->VersionControl, byDate);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, TAutoUpgrade{&window});
    ini.DropSection(QStringLiteral("Settings\\Update"));
}

void TestUpdateCheckWindow::prepare(Fixture &fixture, bool saves)
{
    m_server = std::make_unique<HttpsTestServer>();
    QString why;
    if (!m_server->start(&why)) QSKIP(qPrintable(why));
    m_steps.clear();
    TAutoUpgrade &upgrade = fixture.upgrade;
    upgrade.timer()->stop();
    upgrade.InfoURL = m_server->url(QStringLiteral("/info")).toString();
    upgrade.VersionDate = QStringLiteral("09/26/2000");
    upgrade.DownloadFolder = m_downloads.path();
    for (UpdateTransferOptions *options : {&upgrade.InfoTransfer, &upgrade.DownloadTransfer}) {
        options->tls = m_server->clientTls();
        options->proxy = QNetworkProxy(QNetworkProxy::NoProxy);
        options->inactivityTimeoutMs = 2000;
        options->totalTimeoutMs = 5000;
    }
    attachAutoUpgradeToWindow(upgrade, &fixture.window,
                              {[this, saves] {
                                   m_steps << QStringLiteral("save");
                                   return saves;
                               },
                               [this] { m_steps << QStringLiteral("end"); },
                               {}});
    upgrade.window.isConnected = [] { return true; };
}

void TestUpdateCheckWindow::serve(const TestResponse &release)
{
    m_server->respond(QStringLiteral("/info"),
                      {"200 OK",
                       {},
                       "#date=10/15/2000\r\n#caption=Clarivex 2000\r\n#message=[Update?]\r\n#url=" +
                           m_server->url(QStringLiteral("/clarivex.tar.gz")).toEncoded() + "\r\n",
                       std::nullopt,
                       false});
    m_server->respond(QStringLiteral("/clarivex.tar.gz"), release);
}

void TestUpdateCheckWindow::downloadIsHandedToTheDesktop_data()
{
    QTest::addColumn<bool>("saves");
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("saved") << true << QStringList{"save", "open " + m_downloads.path(), "end"};
    QTest::newRow("not saved: keeps running") << false << QStringList{"save"};
}

void TestUpdateCheckWindow::downloadIsHandedToTheDesktop()
{
    QFETCH(bool, saves);
    Fixture fixture;
    prepare(fixture, saves);
    serve({"200 OK", {}, QByteArray(300000, 'z'), std::nullopt, false});
    ScopedNotices notices;
    notices->queueConfirm(true);
    bool dialogShown = false;
    const auto progress = fixture.upgrade.window.downloadProgress;
    fixture.upgrade.window.downloadProgress = [&](qint64 total, qint64 readed) {
        const auto *dialog = fixture.window.findChild<QProgressDialog *>("UpdateDownloadDialog");
        dialogShown = dialogShown || (dialog && dialog->isVisible());
        progress(total, readed);
    };
    fixture.upgrade.CheckForUpdate();
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests().first().caption, QStringLiteral("Clarivex 2000"));
    QCOMPARE(notices->requests().first().text, QStringLiteral("Update?"));
    QVERIFY(dialogShown);
    QFETCH(QStringList, steps);
    QCOMPARE(m_steps, steps);
    QVERIFY(QFile::exists(m_downloads.filePath("clarivex.tar.gz")));
    QFile::remove(m_downloads.filePath("clarivex.tar.gz"));
    QTRY_VERIFY_WITH_TIMEOUT(!fixture.window.findChild<QProgressDialog *>(), waitLimitMs());
}

void TestUpdateCheckWindow::failedDownloadSaysWhy()
{
    Fixture fixture;
    prepare(fixture, true);
    serve({"200 OK", {}, QByteArray(1000, 'z'), 5000, false});
    ScopedNotices notices;
    notices->queueConfirm(true);
    fixture.upgrade.CheckForUpdate();
    QCOMPARE(notices->requests().size(), 2);
    QVERIFY2(notices->requests().last().text.startsWith(
                 QStringLiteral("The update could not be downloaded: ")),
             qPrintable(notices->requests().last().text));
    QVERIFY(m_steps.isEmpty());
    QVERIFY(QDir(m_downloads.path()).isEmpty());
}

void TestUpdateCheckWindow::cancelButtonStopsTheDownload()
{
    Fixture fixture;
    prepare(fixture, true);
    serve({"200 OK", {}, QByteArray(1000, 'z'), 5000, true}); // then nothing more comes
    ScopedNotices notices;
    notices->queueConfirm(true);
    fixture.upgrade.window.downloadProgress = [&](qint64, qint64) {
        auto *dialog = fixture.window.findChild<QProgressDialog *>("UpdateDownloadDialog");
        QVERIFY(dialog);
        const auto buttons = dialog->findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.first()->text(), QStringLiteral("Cancel"));
        buttons.first()->click();
    };
    QElapsedTimer clock;
    clock.start();
    fixture.upgrade.CheckForUpdate();
    QVERIFY(clock.elapsed() < 1900);         // before the inactivity timeout
    QCOMPARE(notices->requests().size(), 1); // the question only: a cancel is no failure
    QVERIFY(m_steps.isEmpty());
    QVERIFY(QDir(m_downloads.path()).isEmpty());
}

CLARIVEX_TEST_MAIN(TestUpdateCheckWindow)
#include "tst_update_check_window.moc"
