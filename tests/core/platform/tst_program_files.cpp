// Where a program finds its help: beside it in a build, under the data
// folder of its prefix once installed.

#include "core/platform/program_files.h"
#include "support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace clarivex::platform;

class TestProgramFiles : public QObject
{
    Q_OBJECT

private:
    static void touch(const QString &path)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    void helpIsFound_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("expected");
        QTest::newRow("build tree") << QStringList{"bin/help/index.html"} << "bin/help/index.html";
        QTest::newRow("installed")
            << QStringList{"share/clarivex/help/index.html"} << "share/clarivex/help/index.html";
        // A stale copy under the prefix must not hide the build's own help.
        QTest::newRow("both") << QStringList{"bin/help/index.html",
                                             "share/clarivex/help/index.html"}
                              << "bin/help/index.html";
        // A folder named like the page is not the page.
        QTest::newRow("folder beside")
            << QStringList{"bin/help/index.html/x"} << "share/clarivex/help/index.html";
        QTest::newRow("none") << QStringList{} << "share/clarivex/help/index.html";
    }
    void helpIsFound()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, expected);
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("bin"))));
        for (const QString &file : files)
            touch(prefix.filePath(file));
        QCOMPARE(helpIndexPath(prefix.filePath(QStringLiteral("bin"))), prefix.filePath(expected));
    }

    void dataFolderIsCleaned()
    {
        QCOMPARE(installedDataFolder(QStringLiteral("/opt/cx/bin")),
                 QStringLiteral("/opt/cx/share/clarivex"));
        QCOMPARE(installedDataFolder(QStringLiteral("/opt/cx/bin/")),
                 QStringLiteral("/opt/cx/share/clarivex"));
    }
};

CLARIVEX_TEST_MAIN_CORE(TestProgramFiles)
#include "tst_program_files.moc"
