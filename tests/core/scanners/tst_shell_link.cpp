#include "core/scanners/shell_link.h"
#include "support/shell_link_builder.h"
#include "support/test_main.h"

using namespace clarivex;
using clarivex::test::buildShellLink;
using clarivex::test::ShellLinkSpec;

Q_DECLARE_METATYPE(ShellLinkSpec)

class TestShellLink : public QObject
{
    Q_OBJECT
private slots:
    void readsWhatTheFileHolds_data();
    void readsWhatTheFileHolds();
    void everyTruncationIsRefused();
    void refusesWhatIsNoShellLink_data();
    void refusesWhatIsNoShellLink();
};

void TestShellLink::readsWhatTheFileHolds_data()
{
    QTest::addColumn<ShellLinkSpec>("spec");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("description");
    QTest::addColumn<quint32>("showCommand");

    ShellLinkSpec full;
    full.localBasePath = QStringLiteral("C:\\Apps\\");
    full.commonPathSuffix = QStringLiteral("gone.exe");
    full.description = QStringLiteral("Gone away");
    full.workingDirectory = QStringLiteral("C:\\Apps");
    full.arguments = QStringLiteral("--fast \"x y\"");
    full.iconLocation = QStringLiteral("C:\\Apps\\gone.ico");
    full.iconIndex = 3;
    full.showCommand = 3;
    QTest::newRow("local, every string, UTF-16") << full << "C:\\Apps\\gone.exe"
                                                 << "Gone away" << 3u;

    ShellLinkSpec ansi = full;
    ansi.unicodeStrings = false;
    ansi.description.reset();
    ansi.showCommand = 7;
    QTest::newRow("ANSI strings, no description") << ansi << "C:\\Apps\\gone.exe"
                                                  << "" << 7u;

    ShellLinkSpec unicode;
    unicode.localBasePath = QStringLiteral("/media/usb/");
    unicode.commonPathSuffix = QStringLiteral("Müller.txt");
    unicode.unicodeLinkInfo = true;
    unicode.idList = false;
    QTest::newRow("UTF-16 link info, no item list") << unicode << "/media/usb/Müller.txt"
                                                    << "" << 1u;

    ShellLinkSpec share;
    share.netName = QStringLiteral("\\\\server\\share");
    share.commonPathSuffix = QStringLiteral("docs\\a.doc");
    QTest::newRow("network share") << share << "\\\\server\\share\\docs\\a.doc"
                                   << "" << 1u;

    ShellLinkSpec none;
    none.linkInfo = false;
    none.relativePath = QStringLiteral(".\\notes.txt");
    QTest::newRow("no link info") << none << ""
                                  << "" << 1u;
}

void TestShellLink::readsWhatTheFileHolds()
{
    QFETCH(ShellLinkSpec, spec);
    QFETCH(QString, target);
    QFETCH(QString, description);
    QFETCH(quint32, showCommand);
    ShellLinkData link;
    QString error;
    QVERIFY2(parseShellLink(buildShellLink(spec), link, error), qPrintable(error));
    QCOMPARE(link.target, target);
    QCOMPARE(link.description, description);
    QCOMPARE(link.showCommand, showCommand);
    QCOMPARE(link.workingDirectory, spec.workingDirectory.value_or(QString()));
    QCOMPARE(link.arguments, spec.arguments.value_or(QString()));
    QCOMPARE(link.iconLocation, spec.iconLocation.value_or(QString()));
    QCOMPARE(link.relativePath, spec.relativePath.value_or(QString()));
    QCOMPARE(link.iconIndex, spec.iconIndex);
}

// A file cut anywhere before its last string must be refused, never read
// past its end (the sanitizer builds catch that) and never half-filled as a success.
void TestShellLink::everyTruncationIsRefused()
{
    for (bool unicode : {false, true}) {
        ShellLinkSpec spec;
        spec.localBasePath = QStringLiteral("C:\\Apps\\");
        spec.commonPathSuffix = QStringLiteral("gone.exe");
        spec.unicodeLinkInfo = unicode;
        spec.unicodeStrings = unicode;
        spec.description = QStringLiteral("d");
        spec.workingDirectory = QStringLiteral("C:\\");
        spec.arguments = QStringLiteral("-a");
        const QByteArray whole = buildShellLink(spec);
        const qsizetype needed = whole.size() - 4; // the terminal block is not read
        for (qsizetype size = 0; size < whole.size(); ++size) {
            ShellLinkData link;
            QString error;
            const bool ok = parseShellLink(whole.left(size), link, error);
            QVERIFY2(ok == (size >= needed), qPrintable(QString::number(size)));
            if (!ok) QVERIFY(!error.isEmpty());
        }
    }
}

void TestShellLink::refusesWhatIsNoShellLink_data()
{
    QTest::addColumn<QByteArray>("bytes");
    ShellLinkSpec spec;
    spec.localBasePath = QStringLiteral("C:\\a.txt");
    const QByteArray good = buildShellLink(spec);
    QTest::newRow("text") << QByteArray("[Desktop Entry]\nType=Link\n");
    QTest::newRow("empty") << QByteArray();
    QByteArray clsid = good;
    clsid[5] = 0x15;
    QTest::newRow("other class") << clsid;
    QByteArray infoSize = good;
    const qsizetype info = 0x4C + 2 + 22; // after the item list
    infoSize[info + 3] = char(0x7F);      // a link info larger than the file
    QTest::newRow("link info past the end") << infoSize;
    QByteArray pathOffset = good;
    pathOffset[info + 16] = char(0xF0); // the local path outside the link info
    QTest::newRow("path offset outside") << pathOffset;
}

void TestShellLink::refusesWhatIsNoShellLink()
{
    QFETCH(QByteArray, bytes);
    ShellLinkData link;
    QString error;
    QVERIFY(!parseShellLink(bytes, link, error));
    QVERIFY(!error.isEmpty());
}

CLARIVEX_TEST_MAIN_CORE(TestShellLink)
#include "tst_shell_link.moc"
