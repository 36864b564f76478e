#include "core/platform/volumes.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QPushButton>
#include <QXmlStreamReader>

using namespace clarivex;
using namespace clarivex::test;

namespace {
QList<QJsonObject> jsonLines(const QByteArray &out)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty()) objects << QJsonDocument::fromJson(line).object();
    }
    return objects;
}
} // namespace

class TestScanCommand : public QObject
{
    Q_OBJECT
private slots:
    void listsWhatTheWindowLists();
    void namesThatAreNotUtf8();
    void exitCodes();
    void mapOfTheScan();
};

void TestScanCommand::listsWhatTheWindowLists()
{
    FinderTree tree;
    tree.file("c/windows/temp/~DF1A2B.TMP", "12345");
    tree.file("c/docs/report.bak", "ab");
    tree.file("c/docs/skip-me/old.bak");
    tree.file("c/file0001._dd");
    tree.file("c/notes.txt");
    tree.file("c/a.t");
    platform::Volume volume;
    volume.root = tree.path("c");
    volume.caption = "c";
    platform::Volumes::setFixedList({volume});

    QList<QByteArray> windowRows;
    {
        ScopedNotices notices;
        TClarivexMainForm window;
        window.createWindowSteps({});
        TTempFilesPage *page = window.tempFilesPage();
        page->DiskListViewTF->SetChecked(0, true);
        notices->queueText(QStringLiteral("Mine"));
        page->btnTFAddFile->click();
        page->GroupMasks[6] = QStringLiteral("*.t;");
        page->clbTempFoldersToSkip->addItem("skip-me");
        page->clbTempFoldersToSkip->item(2)->setCheckState(Qt::Checked);
        window.btnScanTempFilesClick();
        FoundFileModel *model = window.FileListView->Model();
        for (int row = 0; row < model->rowCount(); ++row)
            windowRows << model->FilePath(row);
        QVERIFY(window.SaveAllSettings());
    }
    platform::Volumes::clearFixedList();
    QCOMPARE(windowRows.size(), 4);

    const CliResult result =
        runCli(QList<QByteArray>{"scan", "temp", "--json", "--drive", tree.path("c")});
    QCOMPARE(result.exitCode, 0);
    const QList<QJsonObject> lines = jsonLines(result.out);
    QCOMPARE(lines.size(), windowRows.size() + 1);
    for (int i = 0; i < windowRows.size(); ++i) {
        const QByteArray path =
            (lines[i]["folder"].toString() + lines[i]["name"].toString()).toUtf8();
        QCOMPARE(path, windowRows[i]);
    }
    for (const QJsonObject &line : lines.mid(0, windowRows.size())) {
        const QString name = line["name"].toString();
        const QString expected = name == "a.t"            ? "Mine"
                                 : name == "report.bak"   ? "Backup Files"
                                 : name == "file0001._dd" ? "Lost Cluster Files"
                                                          : "Temporary Files";
        QCOMPARE(line["group"].toString(), expected);
    }
    QCOMPARE(lines.last()["files"].toInt(), 4);
    QCOMPARE(lines.last()["bytes"].toInt(), 7);
    // Times in ISO 8601, to the second of the file's own time.
    const QString modified = lines[0]["modified"].toString();
    const QDateTime parsed = QDateTime::fromString(modified, Qt::ISODate);
    QVERIFY2(parsed.isValid() && modified.contains('T'), qPrintable(modified));
    const QByteArray firstPath = windowRows[0];
    QCOMPARE(parsed.toSecsSinceEpoch(),
             QFileInfo(QFile::decodeName(firstPath)).lastModified().toSecsSinceEpoch());

    // The plain form: one tab-separated line per row, then the totals.
    const CliResult plain = runCli(QList<QByteArray>{"scan", "temp", "--drive", tree.path("c")});
    const QList<QByteArray> plainLines = plain.out.trimmed().split('\n');
    QCOMPARE(plainLines.size(), 5);
    QCOMPARE(plainLines[0].split('\t').size(), 6);
    QCOMPARE(plainLines.last(), QByteArray("Files: 4\tBytes: 7"));
    // --quiet: the same rows, no totals line.
    const CliResult quiet =
        runCli(QList<QByteArray>{"scan", "temp", "--quiet", "--drive", tree.path("c")});
    QCOMPARE(quiet.exitCode, 0);
    QCOMPARE(quiet.out.trimmed().split('\n'), plainLines.mid(0, 4));
}

void TestScanCommand::namesThatAreNotUtf8()
{
    FinderTree tree;
    const QByteArray bad = QByteArray("caf\xe9-\xff\xfe.tmp");
    tree.file("d/" + bad, "x");
    tree.file("d/good.tmp");
    const CliResult result =
        runCli(QList<QByteArray>{"scan", "temp", "--json", "--drive", tree.path("d")});
    QCOMPARE(result.exitCode, 0);
    bool seen = false;
    for (const QJsonObject &line : jsonLines(result.out)) {
        if (!line.contains("name")) continue;
        if (line["name"].toString() == "good.tmp") {
            QVERIFY(!line.contains("path_base64"));
            continue;
        }
        seen = true;
        QCOMPARE(line["name"].toString(),
                 QString("caf") + QChar(0xFFFD) + "-" + QChar(0xFFFD) + QChar(0xFFFD) + ".tmp");
        QCOMPARE(QByteArray::fromBase64(line["path_base64"].toString().toLatin1()),
                 tree.path("d/" + bad));
    }
    QVERIFY(seen);
}

void TestScanCommand::exitCodes()
{
    QCOMPARE(runCli(QStringList{"scan"}).exitCode, 2);
    QCOMPARE(runCli(QStringList{"scan", "dupes"}).exitCode, 2);
    QCOMPARE(runCli(QStringList{"scan", "temp", "--drive"}).exitCode, 2);
    QCOMPARE(runCli(QStringList{"scan", "temp", "--bogus"}).exitCode, 2);
    // The settings name no drive: the window's message, exit 1.
    RegistryDatabase::closeInstance();
    QFile::remove(RegistryDatabase::defaultPath());
    const CliResult none = runCli(QStringList{"scan", "temp"});
    QCOMPARE(none.exitCode, 1);
    QCOMPARE(none.err, QByteArray("clarivex-cli: No Drives selected. Please select at least one "
                                  "drive to be scanned.\n"));
}

void TestScanCommand::mapOfTheScan()
{
    // --map draws every found file as a rect titled with its path and size;
    // a map that cannot be written fails the command, a missing name is a
    // usage error.
    FinderTree tree;
    tree.file("m/a/one.tmp", QByteArray(3000, 'x'));
    tree.file("m/b/two.bak", "xy");
    tree.file("m/b/c/" + QByteArray("th\xffree<&>.tmp"), "xyz");
    const QByteArray svg = tree.path("map.svg");
    const CliResult result = runCli(
        QList<QByteArray>{"scan", "temp", "--quiet", "--map", svg, "--drive", tree.path("m")});
    QCOMPARE(result.exitCode, 0);
    QFile file(QFile::decodeName(svg));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&file);
    QStringList titles;
    bool inFile = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("rect"))
            inFile = reader.attributes().value(QLatin1String("class")) == QLatin1String("file");
        if (reader.isStartElement() && reader.name() == QLatin1String("title") && inFile)
            titles << reader.readElementText();
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(titles.size(), 3);
    QVERIFY(titles.contains(QFile::decodeName(tree.path("m/a/one.tmp")) +
                            QStringLiteral(", 2.93 KiB (3,000 bytes)")));
    QVERIFY(
        titles.contains(QFile::decodeName(tree.path("m/b/two.bak")) + QStringLiteral(", 2 bytes")));

    const CliResult unwritable =
        runCli(QList<QByteArray>{"scan", "temp", "--quiet", "--map", tree.path("no/such/map.svg"),
                                 "--drive", tree.path("m")});
    QCOMPARE(unwritable.exitCode, 1);
    QVERIFY(unwritable.err.startsWith("clarivex-cli: The map could not be saved"));
    QCOMPARE(runCli(QStringList{"scan", "temp", "--map"}).exitCode, 2);
}

CLARIVEX_TEST_MAIN(TestScanCommand)
#include "tst_scan_command.moc"
