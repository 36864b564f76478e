// The update check against a local HTTPS server on 127.0.0.1 whose
// certificate only the test trusts: the check, the question, the download
// and every way a text or a download can go wrong.

#include "support/https_test_server.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include "core/utilities/auto_upgrade.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

using namespace clarivex;
using namespace clarivex::test;

namespace {

const QByteArray kRelease = QByteArray(200000, 'r');

QByteArray sha256(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

QByteArray newerText(const QByteArray &url, const QByteArray &extra = {})
{
    return "#version=3.6\r\n#date=10/15/2000\r\n#served=12\n#caption=Update\r\n"
           "#message=[A newer release is out. Download it?]\r\n#url=" +
           url + "\r\n" + extra;
}

// What the component told its window and its events.
struct Record
{
    QList<QString> questions;
    QList<QUrl> browsed;
    QList<QString> handedOver;
    int errors = 0;
    int noUpdate = 0;
    int served = -2;
    qint64 done = -1;
    QList<qint64> progress;
};

} // namespace

class TestAutoUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void checkDecides_data();
    void checkDecides();
    void upgradeEventDecides_data();
    void upgradeEventDecides();
    void yesDownloadsIntoTheDownloadFolder();
    void brokenDownloadsLeaveNoFile_data();
    void brokenDownloadsLeaveNoFile();
    void cancelRemovesThePartialFile();
    void redirectYesOpensOnlyWebPages_data();
    void redirectYesOpensOnlyWebPages();
    void redirects();
    void untrustedCertificateFails();
    void longTextIsCutWithoutHanging();
    void silentServerTimesOut();
    void requestCarriesOnlyGetAndUserAgent();
    void timerRetriesUntilConnected();
    void timerStopsWhenTheCheckIsOff_data();
    void timerStopsWhenTheCheckIsOff();
    void onePerOwner();

private:
    std::unique_ptr<TAutoUpgrade> makeUpgrade(QObject *owner = nullptr);
    QByteArray releaseUrl(const QString &path) const { return m_server->url(path).toEncoded(); }

    std::unique_ptr<HttpsTestServer> m_server;
    std::unique_ptr<QTemporaryDir> m_downloads;
    Record m_record;
    bool m_answerYes = true;
};

void TestAutoUpgrade::init()
{
    m_server = std::make_unique<HttpsTestServer>();
    QString why;
    if (!m_server->start(&why)) QSKIP(qPrintable(why));
    m_downloads = std::make_unique<QTemporaryDir>();
    m_record = Record();
    m_answerYes = true;
}

void TestAutoUpgrade::cleanup()
{
    m_server.reset();
}

std::unique_ptr<TAutoUpgrade> TestAutoUpgrade::makeUpgrade(QObject *owner)
{
    auto upgrade = std::make_unique<TAutoUpgrade>(owner);
    upgrade->timer()->stop();
    upgrade->InfoURL = m_server->url("/info").toString();
    upgrade->VersionDate = QStringLiteral("09/26/2000");
    upgrade->VersionNumber = QStringLiteral("3.5.0.10");
    upgrade->DownloadFolder = m_downloads->path();
    for (UpdateTransferOptions *options : {&upgrade->InfoTransfer, &upgrade->DownloadTransfer}) {
        options->tls = m_server->clientTls();
        options->proxy = QNetworkProxy(QNetworkProxy::NoProxy);
        options->inactivityTimeoutMs = 2000;
        options->totalTimeoutMs = 5000;
    }
    Record &r = m_record;
    upgrade->window.isConnected = [] { return true; };
    upgrade->window.ask = [this, &r](const QString &caption, const QString &text) {
        r.questions << caption + QLatin1Char('|') + text;
        return m_answerYes;
    };
    upgrade->window.openInBrowser = [&r](const QUrl &page) { r.browsed << page; };
    upgrade->window.handOver = [&r](const QString &path) { r.handedOver << path; };
    upgrade->OnError = [&r](TAutoUpgrade *) { ++r.errors; };
    upgrade->OnNoUpdateAvailable = [&r](TAutoUpgrade *) { ++r.noUpdate; };
    upgrade->OnUpgrade = [&r](TAutoUpgrade *, int served, bool &, bool &) { r.served = served; };
    upgrade->OnDone = [&r](TAutoUpgrade *, qint64 size) { r.done = size; };
    upgrade->OnProgress = [&r](TAutoUpgrade *, qint64, qint64 readed) { r.progress << readed; };
    return upgrade;
}

void TestAutoUpgrade::checkDecides_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("served");
    QTest::newRow("newer date") << newerText("") << int(byDate) << true << 12;
    QTest::newRow("same date") << QByteArray("#date=09/26/2000\r\n") << int(byDate) << false << -2;
    QTest::newRow("other number") << QByteArray("#version=3.4\r\n#caption=C\r\n") << int(byNumber)
                                  << true << -1;
    QTest::newRow("served missing")
        << QByteArray("#date=10/15/2000\r\n") << int(byDate) << true << -1;
    QTest::newRow("not a # text") << QByteArray("<html>#date=10/15/2000\r\n") << int(byDate)
                                  << false << -2;
}

void TestAutoUpgrade::checkDecides()
{
    QFETCH(QByteArray, text);
    QFETCH(int, control);
    QFETCH(bool, asked);
    QFETCH(int, served);
    m_server->respond("/info", {"200 OK", {}, text, std::nullopt, false});
    m_answerYes = false;
    auto upgrade = makeUpgrade();
    upgrade->VersionControl = TAUVersionControl(control);
    upgrade->CheckForUpdate();
    QCOMPARE(m_record.errors, 0);
    QCOMPARE(m_record.questions.size(), asked ? 1 : 0);
    QCOMPARE(m_record.noUpdate, asked ? 0 : 1);
    QCOMPARE(m_record.served, served);
    QVERIFY(m_record.handedOver.isEmpty()); // the answer was No
    QVERIFY(QDir(m_downloads->path()).isEmpty());
}

void TestAutoUpgrade::upgradeEventDecides_data()
{
    QTest::addColumn<bool>("showMessageBox");
    QTest::addColumn<bool>("canUpgrade");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("downloads");
    QTest::newRow("as it comes") << true << true << 1 << 1;
    QTest::newRow("no question") << false << true << 0 << 1;
    QTest::newRow("refused") << true << false << 0 << 0;
}

void TestAutoUpgrade::upgradeEventDecides()
{
    QFETCH(bool, showMessageBox);
    QFETCH(bool, canUpgrade);
    m_server->respond("/info",
                      {"200 OK", {}, newerText(releaseUrl("/r.deb")), std::nullopt, false});
    m_server->respond("/r.deb", {"200 OK", {}, "release", std::nullopt, false});
    auto upgrade = makeUpgrade();
    upgrade->OnUpgrade = [&](TAutoUpgrade *, int served, bool &show, bool &can) {
        QCOMPARE(served, 12);
        QVERIFY(show && can); // both come in as true
        show = showMessageBox;
        can = canUpgrade;
    };
    upgrade->CheckForUpdate();
    QTEST(int(m_record.questions.size()), "questions");
    QTEST(int(m_record.handedOver.size()), "downloads");
}

void TestAutoUpgrade::yesDownloadsIntoTheDownloadFolder()
{
    m_server->respond("/info", {"200 OK",
                                {},
                                newerText(releaseUrl("/get/clarivex-3.6.tar.gz"),
                                          "#sha256=" + sha256(kRelease).toUpper() + "\r\n"),
                                std::nullopt,
                                false});
    m_server->respond("/get/clarivex-3.6.tar.gz", {"200 OK", {}, kRelease, std::nullopt, false});
    auto upgrade = makeUpgrade();
    upgrade->CheckForUpdate();
    QCOMPARE(m_record.questions, QList<QString>{"Update|A newer release is out. Download it?"});
    const QString path = m_downloads->filePath("clarivex-3.6.tar.gz");
    QCOMPARE(m_record.handedOver, QList<QString>{path});
    QCOMPARE(m_record.done, kRelease.size());
    QVERIFY(!m_record.progress.isEmpty());
    QCOMPARE(m_record.progress.last(), kRelease.size());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kRelease);
    QVERIFY(!(file.permissions() & (QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther)));
    QCOMPARE(QDir(m_downloads->path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestAutoUpgrade::brokenDownloadsLeaveNoFile_data()
{
    QTest::addColumn<TestResponse>("release");
    QTest::addColumn<QByteArray>("tags");
    QTest::addColumn<qint64>("limit");
    QTest::newRow("short") << TestResponse{"200 OK", {}, kRelease.left(5000), 9000, false}
                           << QByteArray() << qint64(1 << 20);
    QTest::newRow("wrong sha256") << TestResponse{"200 OK", {}, kRelease, std::nullopt, false}
                                  << "#sha256=" + sha256("other") + "\r\n"
                                  << qint64(1 << 20);
    QTest::newRow("empty sha256") << TestResponse{"200 OK", {}, kRelease, std::nullopt, false}
                                  << QByteArray("#sha256=\r\n") << qint64(1 << 20);
    QTest::newRow("no content length")
        << TestResponse{"200 OK", {}, kRelease, -1, false} << QByteArray() << qint64(1 << 20);
    QTest::newRow("over the limit") << TestResponse{"200 OK", {}, kRelease, std::nullopt, false}
                                    << QByteArray() << qint64(1000);
    QTest::newRow("not found") << TestResponse{"404 Not Found", {}, "gone", std::nullopt, false}
                               << QByteArray() << qint64(1 << 20);
}

void TestAutoUpgrade::brokenDownloadsLeaveNoFile()
{
    QFETCH(TestResponse, release);
    QFETCH(QByteArray, tags);
    QFETCH(qint64, limit);
    m_server->respond("/info",
                      {"200 OK", {}, newerText(releaseUrl("/r.deb"), tags), std::nullopt, false});
    m_server->respond("/r.deb", release);
    auto upgrade = makeUpgrade();
    upgrade->DownloadTransfer.maxBytes = limit;
    QElapsedTimer clock;
    clock.start();
    upgrade->CheckForUpdate();
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_record.errors, 1);
    QVERIFY(!upgrade->lastError().isEmpty());
    QVERIFY(m_record.handedOver.isEmpty());
    QCOMPARE(m_record.done, -1);
    QVERIFY2(QDir(m_downloads->path()).entryList(QDir::Files | QDir::Hidden).isEmpty(),
             qPrintable(upgrade->lastError()));
}

void TestAutoUpgrade::cancelRemovesThePartialFile()
{
    // Half the release, then the server keeps the connection open.
    m_server->respond("/info",
                      {"200 OK", {}, newerText(releaseUrl("/r.deb")), std::nullopt, false});
    m_server->respond("/r.deb", {"200 OK", {}, kRelease.left(100000), kRelease.size(), true});
    auto upgrade = makeUpgrade();
    upgrade->DownloadTransfer.inactivityTimeoutMs = 8000;
    upgrade->DownloadTransfer.totalTimeoutMs = 9000;
    TAutoUpgrade *raw = upgrade.get();
    upgrade->window.downloadProgress = [raw](qint64, qint64) { raw->cancelDownload(); };
    QElapsedTimer clock;
    clock.start();
    upgrade->CheckForUpdate();
    QVERIFY2(clock.elapsed() < 3000, "the cancel was not noticed before the timeout");
    QCOMPARE(upgrade->lastError(), QStringLiteral("cancelled"));
    QVERIFY(m_record.handedOver.isEmpty());
    QVERIFY(QDir(m_downloads->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestAutoUpgrade::redirectYesOpensOnlyWebPages_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https page") << QByteArray("https://example.invalid/news") << true;
    QTest::newRow("http page") << QByteArray("http://example.invalid/news") << true;
    QTest::newRow("local file") << QByteArray("file:///usr/bin/xterm") << false;
    QTest::newRow("desktop entry") << QByteArray("/home/u/evil.desktop") << false;
}

void TestAutoUpgrade::redirectYesOpensOnlyWebPages()
{
    QFETCH(QByteArray, url);
    QFETCH(bool, opened);
    m_server->respond("/info",
                      {"200 OK", {}, newerText(url, "#redirect=Yes\r\n"), std::nullopt, false});
    auto upgrade = makeUpgrade();
    upgrade->CheckForUpdate();
    QCOMPARE(m_record.browsed.size(), opened ? 1 : 0);
    if (opened) QCOMPARE(m_record.browsed.first().toEncoded(), url);
    QCOMPARE(m_record.errors, opened ? 0 : 1);
    QVERIFY(m_server->requests().size() == 1); // nothing downloaded
}

void TestAutoUpgrade::redirects()
{
    QTcpServer plain;
    QVERIFY(plain.listen(QHostAddress::LocalHost));
    int plainConnections = 0;
    connect(&plain, &QTcpServer::newConnection, this, [&] { ++plainConnections; });
    const QByteArray toPlain =
        "http://127.0.0.1:" + QByteArray::number(plain.serverPort()) + "/info";
    m_server->respond("/info", {"302 Found", {{"Location", toPlain}}, "", std::nullopt, false});
    auto upgrade = makeUpgrade();
    upgrade->CheckForUpdate();
    QCOMPARE(m_record.errors, 1);
    QVERIFY2(upgrade->lastError().contains("refused"), qPrintable(upgrade->lastError()));
    QTest::qWait(50);
    QCOMPARE(plainConnections, 0);

    // A redirect that stays on https is followed, and an http:// address is
    // asked over https.
    m_server->respond("/info",
                      {"301 Moved", {{"Location", releaseUrl("/moved")}}, "", std::nullopt, false});
    m_server->respond("/moved", {"200 OK", {}, "#date=09/26/2000\r\n", std::nullopt, false});
    upgrade->InfoURL = QStringLiteral("http://127.0.0.1:%1/info").arg(m_server->serverPort());
    upgrade->CheckForUpdate();
    QCOMPARE(m_record.errors, 1);
    QCOMPARE(m_record.noUpdate, 1);
}

void TestAutoUpgrade::untrustedCertificateFails()
{
    m_server->respond("/info", {"200 OK", {}, newerText("x"), std::nullopt, false});
    auto upgrade = makeUpgrade();
    upgrade->InfoTransfer.tls = QSslConfiguration::defaultConfiguration();
    upgrade->CheckForUpdate();
    QCOMPARE(m_record.errors, 1);
    QVERIFY(m_record.questions.isEmpty());
    QVERIFY(m_server->requests().isEmpty());
}

void TestAutoUpgrade::longTextIsCutWithoutHanging()
{
    QByteArray text = newerText("https://127.0.0.1/r.deb");
    text += QByteArray(10 * 1024 * 1024, 'x');
    m_server->respond("/info", {"200 OK", {}, text, std::nullopt, false});
    UpdateTransferOptions options;
    options.tls = m_server->clientTls();
    options.proxy = QNetworkProxy(QNetworkProxy::NoProxy);
    options.inactivityTimeoutMs = 3000;
    options.totalTimeoutMs = 6000;
    QElapsedTimer clock;
    clock.start();
    const UpdateTransferResult result =
        fetchUpdateText(m_server->url("/info"), options, [] { return false; });
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(result.status, qPrintable(result.error));
    QVERIFY(result.cut);
    QCOMPARE(result.text.size(), 64 * 1024);
    QCOMPARE(result.text, text.left(64 * 1024));
}

void TestAutoUpgrade::silentServerTimesOut()
{
    m_server->setSilent(true);
    auto upgrade = makeUpgrade();
    upgrade->InfoTransfer.inactivityTimeoutMs = 300;
    QElapsedTimer clock;
    clock.start();
    upgrade->CheckForUpdate();
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_record.errors, 1);
    QVERIFY2(upgrade->lastError().contains("no answer"), qPrintable(upgrade->lastError()));
}

void TestAutoUpgrade::requestCarriesOnlyGetAndUserAgent()
{
    m_server->respond(
        "/info", {"200 OK", {{"Set-Cookie", "id=1"}}, "#date=09/26/2000\r\n", std::nullopt, false});
    auto upgrade = makeUpgrade();
    upgrade->CheckForUpdate();
    upgrade->CheckForUpdate(); // a cookie from the first answer is not sent back
    QCOMPARE(m_server->requests().size(), 2);
    for (const QByteArray &head : m_server->requests()) {
        QList<QByteArray> lines = head.trimmed().split('\n');
        QCOMPARE(lines.takeFirst().trimmed(), QByteArray("GET /info HTTP/1.1"));
        QSet<QByteArray> names;
        for (const QByteArray &line : lines) {
            const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
            const QByteArray value = line.mid(line.indexOf(':') + 1).trimmed();
            names.insert(name);
            if (name == "user-agent")
                QCOMPARE(value, QByteArray("AutoUpgrade (http://www.marlowtek.com/)"));
            if (name == "accept-language") QCOMPARE(value, QByteArray("*"));
            if (name == "accept-encoding") QCOMPARE(value, QByteArray("identity"));
        }
        // Besides the user agent, only what HTTP needs, with nothing of the
        // user: the host, the connection, "no cache", no language, no compression.
        const QSet<QByteArray> allowed{"host",           "user-agent", "connection",
                                       "cache-control",  "pragma",     "accept-encoding",
                                       "accept-language"};
        QVERIFY2((names - allowed).isEmpty(), head.constData());
    }
}

void TestAutoUpgrade::timerRetriesUntilConnected()
{
    m_server->respond("/info", {"200 OK", {}, "#date=09/26/2000\r\n", std::nullopt, false});
    auto upgrade = makeUpgrade();
    int asked = 0;
    upgrade->window.isConnected = [&asked] { return ++asked >= 3; };
    upgrade->timer()->setInterval(20);
    upgrade->timer()->start();
    QTRY_COMPARE_WITH_TIMEOUT(m_record.noUpdate, 1, waitLimitMs());
    QCOMPARE(asked, 3);
    QVERIFY(!upgrade->timer()->isActive());
    QTest::qWait(100);
    QCOMPARE(m_server->requests().size(), 1);
}

void TestAutoUpgrade::timerStopsWhenTheCheckIsOff_data()
{
    QTest::addColumn<bool>("active");
    QTest::addColumn<QString>("address");
    QTest::newRow("turned off") << false << "https://127.0.0.1:1/info";
    QTest::newRow("no address") << true << "";
}

void TestAutoUpgrade::timerStopsWhenTheCheckIsOff()
{
    QFETCH(bool, active);
    QFETCH(QString, address);
    auto upgrade = makeUpgrade();
    upgrade->Active = active;
    upgrade->InfoURL = address;
    bool asked = false;
    upgrade->window.isConnected = [&asked] { return asked = true; };
    upgrade->timer()->setInterval(10);
    upgrade->timer()->start();
    QTRY_VERIFY_WITH_TIMEOUT(!upgrade->timer()->isActive(), waitLimitMs());
    QVERIFY(!asked);
    QCOMPARE(m_record.errors, 0);
}

void TestAutoUpgrade::onePerOwner()
{
    QObject owner;
    auto first = std::make_unique<TAutoUpgrade>(&owner);
    QVERIFY(first->VersionDateAutoSet);
    QVERIFY(first->Active);
    QCOMPARE(first->VersionDate, QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy")));
    QCOMPARE(first->timer()->interval(), 5000);
    first->timer()->stop();
    try {
        TAutoUpgrade second(&owner);
        QFAIL("a second component was made");
    } catch (const std::runtime_error &error) {
        QCOMPARE(QString::fromUtf8(error.what()),
                 QStringLiteral("We can add ONLY ONE TAutoUpgrade component onto form"));
    }
    QCOMPARE(owner.findChildren<TAutoUpgrade *>().size(), 1);
}

CLARIVEX_TEST_MAIN_CORE(TestAutoUpgrade)
#include "tst_auto_upgrade.moc"
