// The update-information text, the newer test, and the addresses and names
// the update check derives from it.

#include "support/test_main.h"

#include "core/utilities/update_info.h"
#include "core/utilities/update_release.h"
#include "core/utilities/update_transfer.h"

#include <QFile>
#include <QTemporaryDir>

using namespace clarivex;

class TestUpdateInfo : public QObject
{
    Q_OBJECT
private slots:
    void tags_data();
    void tags();
    void newer_data();
    void newer();
    void addressSplit_data();
    void addressSplit();
    void secureUrl_data();
    void secureUrl();
    void releaseNames_data();
    void releaseNames();
    void existingFilesAreNeverReplaced();
    void onlyPackagesAreOpenedThemselves();
};

void TestUpdateInfo::tags_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("served");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("redirects");

    QTest::newRow("all tags") << QByteArray("#version=3.6\r\n#date=10/15/2000\r\n#served=42\n"
                                            "#caption=New\r\n#message=[Get it\nnow?]\r\n"
                                            "#redirect=no\r\n#url=https://h/r.deb\r\n")
                              << "10/15/2000" << 42 << "New"
                              << "Get it\nnow?"
                              << "https://h/r.deb" << false;
    QTest::newRow("any case, first counts")
        << QByteArray("#DATE=01/02/2001\r#date=09/09/2009\r#Redirect=YES\r#URL=x\r") << "01/02/2001"
        << -1 << ""
        << ""
        << "x" << true;
    QTest::newRow("served missing") << QByteArray("#date=1\r") << "1" << -1 << ""
                                    << ""
                                    << "" << false;
    QTest::newRow("served with CR before LF") << QByteArray("#served=7\r\n") << "" << 7 << ""
                                              << ""
                                              << "" << false;
    QTest::newRow("served not a number") << QByteArray("#served=many\n") << "" << -1 << ""
                                         << ""
                                         << "" << false;
    QTest::newRow("message without ]")
        << QByteArray("#caption=C\r#message=[never closed\r\n") << "" << -1 << "C"
        << ""
        << "" << false;
    QTest::newRow("value without terminator") << QByteArray("#date=10/15/2000") << "" << -1 << ""
                                              << ""
                                              << "" << false;
    QTest::newRow("line feeds only end no CR value")
        << QByteArray("#date=10/15/2000\n#url=u\n") << "" << -1 << ""
        << ""
        << "" << false;
}

void TestUpdateInfo::tags()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, date);
    QFETCH(int, served);
    QFETCH(QString, caption);
    QFETCH(QString, message);
    QFETCH(QString, url);
    QFETCH(bool, redirects);
    const UpdateInfo info = parseUpdateInfo(text);
    QVERIFY(info.startsWithHash);
    QCOMPARE(info.date, date);
    QCOMPARE(info.served, served);
    QCOMPARE(info.caption, caption);
    QCOMPARE(info.message, message);
    QCOMPARE(info.url, url);
    QCOMPARE(info.redirects(), redirects);
}

void TestUpdateInfo::newer_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("newer");
    // The program: 09/26/2000, number 3.5.0.10.
    QTest::newRow("later date") << QByteArray("#date=10/15/2000\r") << int(byDate) << true;
    QTest::newRow("same date") << QByteArray("#date=09/26/2000\r") << int(byDate) << false;
    QTest::newRow("earlier date") << QByteArray("#date=12/31/1999\r") << int(byDate) << false;
    QTest::newRow("unpadded later year") << QByteArray("#date=1/5/2001\r") << int(byDate) << true;
    QTest::newRow("no date") << QByteArray("#version=9\r") << int(byDate) << false;
    QTest::newRow("not a # text") << QByteArray("date=10/15/2000\r#date=10/15/2000\r")
                                  << int(byDate) << false;
    QTest::newRow("other number") << QByteArray("#version=3.6.0.1\r") << int(byNumber) << true;
    QTest::newRow("older number counts")
        << QByteArray("#version=3.0.0.0\r") << int(byNumber) << true;
    QTest::newRow("same number") << QByteArray("#version=3.5.0.10\r") << int(byNumber) << false;
    QTest::newRow("no number") << QByteArray("#date=10/15/2000\r") << int(byNumber) << false;
}

void TestUpdateInfo::newer()
{
    QFETCH(QByteArray, text);
    QFETCH(int, control);
    QFETCH(bool, newer);
    QCOMPARE(isNewerRelease(parseUpdateInfo(text), TAUVersionControl(control),
                            QStringLiteral("09/26/2000"), QStringLiteral("3.5.0.10")),
             newer);
}

void TestUpdateInfo::addressSplit_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("path");
    QTest::newRow("http") << "http://example.org/up/info.txt"
                          << "example.org"
                          << "/up/info.txt";
    QTest::newRow("any case") << "HTTP://Example.org/x"
                              << "Example.org"
                              << "/x";
    QTest::newRow("no scheme") << "example.org/a?b=1"
                               << "example.org"
                               << "/a?b=1";
    QTest::newRow("host only") << "example.org"
                               << "example.org"
                               << "";
}

void TestUpdateInfo::addressSplit()
{
    QFETCH(QString, address);
    const UpdateAddress split = splitUpdateAddress(address);
    QTEST(split.host, "host");
    QTEST(split.path, "path");
}

void TestUpdateInfo::secureUrl_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("url"); // empty: refused
    QTest::newRow("https kept") << "https://h.org/i.txt"
                                << "https://h.org/i.txt";
    QTest::newRow("http upgraded") << "http://h.org:8080/i.txt"
                                   << "https://h.org:8080/i.txt";
    QTest::newRow("HTTP upgraded") << "HTTP://h.org/i"
                                   << "https://h.org/i";
    QTest::newRow("no scheme") << " h.org/i "
                               << "https://h.org/i";
    QTest::newRow("ftp") << "ftp://h.org/i"
                         << "";
    QTest::newRow("file") << "file:///etc/passwd"
                          << "";
    QTest::newRow("no host") << "https:///i"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestUpdateInfo::secureUrl()
{
    QFETCH(QString, address);
    QFETCH(QString, url);
    const QUrl secured = secureUpdateUrl(address);
    QCOMPARE(secured.isValid(), !url.isEmpty());
    if (!url.isEmpty()) QCOMPARE(secured.toString(), url);
}

void TestUpdateInfo::releaseNames_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "https://h/d/clarivex-3.6.tar.gz?mirror=2"
                           << "clarivex-3.6.tar.gz";
    QTest::newRow("encoded slashes") << "https://h/d/..%2F..%2Fbashrc"
                                     << "bashrc";
    QTest::newRow("dots only") << "https://h/d/.."
                               << "clarivex-update";
    QTest::newRow("hidden") << "https://h/d/.profile"
                            << "profile";
    QTest::newRow("folder") << "https://h/d/"
                            << "clarivex-update";
}

void TestUpdateInfo::releaseNames()
{
    QFETCH(QString, address);
    QFETCH(QString, name);
    const QString made = releaseFileName(QUrl(address));
    QVERIFY2(!made.contains(QLatin1Char('/')), qPrintable(made));
    QCOMPARE(made, name);
}

void TestUpdateInfo::existingFilesAreNeverReplaced()
{
    QTemporaryDir dir;
    const QString name = QStringLiteral("clarivex-3.6.tar.gz");
    QCOMPARE(freeDownloadPath(dir.path(), name), dir.filePath(name));
    QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    QCOMPARE(freeDownloadPath(dir.path(), name), dir.filePath("clarivex-3.6 (2).tar.gz"));
    QFile(dir.filePath("clarivex-3.6 (2).tar.gz")).open(QIODevice::WriteOnly);
    QCOMPARE(freeDownloadPath(dir.path(), name), dir.filePath("clarivex-3.6 (3).tar.gz"));
}

void TestUpdateInfo::onlyPackagesAreOpenedThemselves()
{
    QCOMPARE(releaseHandOverPath("/d/clarivex_3.6_amd64.deb"),
             QString("/d/clarivex_3.6_amd64.deb"));
    QCOMPARE(releaseHandOverPath("/d/clarivex-3.6.x86_64.rpm"),
             QString("/d/clarivex-3.6.x86_64.rpm"));
    QCOMPARE(releaseHandOverPath("/d/clarivex-3.6.tar.gz"), QString("/d"));
    QCOMPARE(releaseHandOverPath("/d/clarivex-3.6.AppImage"), QString("/d"));
    QCOMPARE(releaseHandOverPath("/d/setup.sh"), QString("/d"));
}

CLARIVEX_TEST_MAIN_CORE(TestUpdateInfo)
#include "tst_update_info.moc"
