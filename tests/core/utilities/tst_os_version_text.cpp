#include "core/utilities/os_version_text.h"
#include "support/test_main.h"

#include <QTemporaryDir>

#include <sys/utsname.h>

using namespace clarivex;

class TestOsVersionText : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void prettyName_data();
    void prettyName();
    void filesInTheirOrder();
    void text();
    void thisSystem();

private:
    QString write(const QString &name, const QByteArray &content)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write the test file");
        return file.fileName();
    }
    QTemporaryDir m_dir;
};

void TestOsVersionText::prettyName_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::newRow("double quotes")
        << QByteArray("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n")
        << "Debian GNU/Linux 12 (bookworm)";
    QTest::newRow("single quotes")
        << QByteArray("PRETTY_NAME='Fedora Linux 39'") << "Fedora Linux 39";
    QTest::newRow("bare") << QByteArray("ID=arch\nPRETTY_NAME=Arch\n") << "Arch";
    QTest::newRow("escapes") << QByteArray("PRETTY_NAME=\"A \\\"B\\\" \\$C \\\\ \\n\"")
                             << "A \"B\" $C \\ \\n";
    QTest::newRow("blanks, comments and UTF-8")
        << QByteArray("# PRETTY_NAME=\"no\"\n  PRETTY_NAME=\"Zw\xc3\xb6lf\"  \n") << "Zwölf";
    QTest::newRow("a similar key only") << QByteArray("XPRETTY_NAME=\"x\"\nNAME=Y\n") << "";
    QTest::newRow("empty file") << QByteArray() << "";
}

void TestOsVersionText::prettyName()
{
    QFETCH(QByteArray, content);
    QTEST(osReleasePrettyName({write("os-release", content)}), "name");
}

void TestOsVersionText::filesInTheirOrder()
{
    const QString missing = m_dir.filePath("missing");
    const QString second = write("second", "PRETTY_NAME=\"Second\"\n");
    QCOMPARE(osReleasePrettyName({missing, second}), QStringLiteral("Second"));
    // A file that can be read is the answer, even without the line.
    const QString first = write("first", "NAME=First\n");
    QCOMPARE(osReleasePrettyName({first, second}), QString());
    QCOMPARE(osReleasePrettyName({missing}), QString());
    QCOMPARE(osReleaseFiles(), (QStringList{"/etc/os-release", "/usr/lib/os-release"}));
}

void TestOsVersionText::text()
{
    const KernelIdentity kernel{"Linux", "6.1.0-18-amd64"};
    QCOMPARE(OSVersionText(kernel, "Debian GNU/Linux 12 (bookworm)"),
             QStringLiteral("Linux Version 6.1.0-18-amd64\n (Debian GNU/Linux 12 (bookworm))"));
    QCOMPARE(OSVersionText(kernel, QString()), QStringLiteral("Linux Version 6.1.0-18-amd64"));
    QCOMPARE(OSVersionText(std::nullopt, "Debian"), QString());
}

void TestOsVersionText::thisSystem()
{
    struct utsname names
    {
    };
    QCOMPARE(::uname(&names), 0);
    const QString text = OSVersionText();
    QVERIFY2(text.startsWith(QStringLiteral("%1 Version %2").arg(names.sysname, names.release)),
             qPrintable(text));
    QVERIFY(text.count('\n') <= 1);
}

CLARIVEX_TEST_MAIN_CORE(TestOsVersionText)
#include "tst_os_version_text.moc"
