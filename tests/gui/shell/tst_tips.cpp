#include "core/shell/tips.h"
#include "gui/shell/main_window.h"
#include "gui/shell/tips_panel.h"
#include "support/test_main.h"

#include <QTextEdit>

using namespace clarivex;

class TestTips : public QObject
{
    Q_OBJECT
private slots:
    void temporaryFileRules_data();
    void temporaryFileRules();
    void otherScanKinds();
    void pageTips();
    void panelFormatsHeadingAndText();
};

void TestTips::temporaryFileRules_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("starts");
    QTest::newRow("backup .OLD, quoted ext")
        << "REPORT.OLD"
        << "This file appears to be a Backup File, since it's extension, \".OLD\"";
    QTest::newRow("ext quoted as on disk")
        << "report.Old"
        << "This file appears to be a Backup File, since it's extension, \".Old\"";
    QTest::newRow(".tmp wins over ~, lower case")
        << "~wrl0001.tmp"
        << "This file appears to be a Temporary File, since it's extension, \".tmp\"";
    QTest::newRow("$$$ extension")
        << "a.$$$"
        << "This file appears to be a Temporary File, since it's extension, \".$$$\"";
    QTest::newRow("~ in the name")
        << "~doc.docx"
        << "This file appears to be a Temporary File, since it's filename";
    QTest::newRow("$ in the ext")
        << "setup.ex$"
        << "This file appears to be a Temporary File, since it's filename";
    QTest::newRow("setup ---") << "x.---"
                               << "Setup Files are compressed";
    QTest::newRow("gid") << "help.gid"
                         << "GID Files";
    QTest::newRow("ftg") << "help.ftg"
                         << "FTS and FTG Files";
    QTest::newRow("mscreate") << "mscreate.dir"
                              << "MSCREATE.DIR Files";
    QTest::newRow("bootlog.txt contains LOG.TXT") << "bootlog.txt"
                                                  << "Log Files are created";
    QTest::newRow("system.1st") << "system.1st"
                                << "Log Files are created";
    QTest::newRow("chk") << "file0001.chk"
                         << "Lost Cluster Files";
    QTest::newRow("chklist") << "chklist.ms"
                             << "Lost Cluster Files";
    QTest::newRow("unknown") << "notes.txt"
                             << "File Type not on Tips System.";
    QTest::newRow("no extension") << "README"
                                  << "File Type not on Tips System.";
}

void TestTips::temporaryFileRules()
{
    QFETCH(QString, name);
    QFETCH(QString, starts);
    const auto tip = tipForFile(0, name);
    QVERIFY(tip);
    QCOMPARE(tip->heading, QStringLiteral("Temporary Files"));
    QVERIFY2(tip->text.startsWith(starts), qPrintable(tip->text));
}

void TestTips::otherScanKinds()
{
    QCOMPARE(tipForFile(1, "a.dll")->heading, QStringLiteral("Duplicate Files"));
    QCOMPARE(tipForFile(2, "a.dll")->heading, QStringLiteral("Directories"));
    QVERIFY(!tipForFile(3, "a.lnk"));
}

void TestTips::pageTips()
{
    QCOMPARE(tipForPage("Logs", QString()).text, QString());
    QCOMPARE(tipForPage("System Tools", QString()).text, QString());
    QCOMPARE(tipForPage("Dead Shortcuts", "memo text").text, QStringLiteral("memo text"));
    QCOMPARE(tipForPage("Clean Directories", QString()).text,
             QStringLiteral("Use this page to Add/Remove directories to be scanned."));

    TClarivexMainForm window;
    window.ShowPage("Logs");
    QCOMPARE(window.tipsPanel()->plainText(), QStringLiteral("Logs\n"));
    window.ShowPage("Schedule Options");
    QCOMPARE(window.tipsPanel()->plainText(),
             QStringLiteral(
                 "Schedule Options\n\nUse this page to enable and set the scheduling options."));
}

void TestTips::panelFormatsHeadingAndText()
{
    TipsPanel panel;
    panel.AddTipHeading("Head");
    panel.AddTipText("Body");
    QTextCursor cursor(panel.reTips->document());
    cursor.setPosition(1);
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(0, 0, 255));
    QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(cursor.charFormat().font().pixelSize(), 14);
    cursor.movePosition(QTextCursor::End);
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(Qt::black));
    QCOMPARE(cursor.charFormat().font().pixelSize(), 12);
    QCOMPARE(panel.plainText(), QStringLiteral("Head\n\nBody"));
}

CLARIVEX_TEST_MAIN(TestTips)
#include "tst_tips.moc"
