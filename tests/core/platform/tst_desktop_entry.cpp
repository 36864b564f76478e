#include "core/platform/desktop_entry.h"
#include "support/test_main.h"

#include <QTemporaryDir>

using namespace clarivex;

class TestDesktopEntry : public QObject
{
    Q_OBJECT
private slots:
    void keysOfTheEntryGroup();
    void refusesWhatIsNoEntry_data();
    void refusesWhatIsNoEntry();
    void execArguments_data();
    void execArguments();
    void programsInPath();
};

void TestDesktopEntry::keysOfTheEntryGroup()
{
    const QByteArray text = "# a comment\n"
                            "[Desktop Entry]\r\n"
                            "Type = Application\n"
                            "Name=Editor\n"
                            "Name[de]=Bearbeiter\n"
                            "Comment=Edits\\stext\\\\files\n"
                            "Exec=first\n"
                            "Exec=second\n"
                            "\n"
                            "[Desktop Action new]\n"
                            "Exec=other\n";
    DesktopEntry entry;
    QString error;
    QVERIFY2(parseDesktopEntry(text, entry, error), qPrintable(error));
    QCOMPARE(entry.value("Type"), "Application");
    QCOMPARE(entry.value("Name"), "Editor"); // the localised key is not the key
    QCOMPARE(entry.value("Comment"), "Edits text\\files");
    QCOMPARE(entry.value("Exec"), "first"); // neither a repeat nor another group's
}

void TestDesktopEntry::refusesWhatIsNoEntry_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("other group first") << QByteArray("[Other]\nA=b\n[Desktop Entry]\nType=Link\n");
    QTest::newRow("key before a group") << QByteArray("Type=Link\n[Desktop Entry]\n");
    QTest::newRow("line without =") << QByteArray("[Desktop Entry]\nType Link\n");
    QTest::newRow("binary") << QByteArray("\x4c\x00\x00\x00\x01\x14\xff\xfe", 8);
}

void TestDesktopEntry::refusesWhatIsNoEntry()
{
    QFETCH(QByteArray, text);
    DesktopEntry entry;
    QString error;
    QVERIFY(!parseDesktopEntry(text, entry, error));
    QVERIFY(!error.isEmpty());
}

void TestDesktopEntry::execArguments_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("program");
    QTest::newRow("plain") << "gimp %U" << QStringList{"gimp", "%U"} << "gimp";
    QTest::newRow("quoted path") << R"("/opt/My App/run" --x)"
                                 << QStringList{"/opt/My App/run", "--x"} << "/opt/My App/run";
    QTest::newRow("escaped quote")
        << R"(sh -c "echo \"hi\" \$HOME")" << QStringList{"sh", "-c", R"(echo "hi" $HOME)"} << "sh";
    QTest::newRow("env settings") << "env LANG=C -u X FOO=1 /usr/bin/tool %f"
                                  << QStringList{"env",   "LANG=C",        "-u", "X",
                                                 "FOO=1", "/usr/bin/tool", "%f"}
                                  << "/usr/bin/tool";
    QTest::newRow("blank") << "   " << QStringList{} << "";
}

void TestDesktopEntry::execArguments()
{
    QFETCH(QString, exec);
    QFETCH(QStringList, arguments);
    QFETCH(QString, program);
    QStringList split;
    QVERIFY(splitExec(exec, split));
    QCOMPARE(split, arguments);
    QCOMPARE(execProgram(split), program);
    QVERIFY(!splitExec(QStringLiteral("\"unclosed"), split));
}

void TestDesktopEntry::programsInPath()
{
    QTemporaryDir bin;
    QFile tool(bin.filePath("mytool"));
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.close();
    QDir(bin.path()).mkdir("adir");
    const QString path = QStringLiteral("relative/bin:") + bin.path();
    QCOMPARE(findProgram("mytool", path), bin.filePath("mytool"));
    QCOMPARE(findProgram("adir", path), "adir"); // a folder is no program
    QCOMPARE(findProgram("no-such-tool-here", path), "no-such-tool-here");
    QCOMPARE(findProgram("./mytool", path), "./mytool");
    QCOMPARE(findProgram("sh", QString()),
             QFileInfo::exists("/usr/bin/sh") ? "/usr/bin/sh" : "/bin/sh");
}

CLARIVEX_TEST_MAIN_CORE(TestDesktopEntry)
#include "tst_desktop_entry.moc"
