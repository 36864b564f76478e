// clarivex-cli scan duplicates: the window's sets, in text and JSON.

#include "core/platform/volumes.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "support/cli_runner.h"
#include "support/finder_fixture.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>

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

class TestScanDuplicatesCommand : public QObject
{
    Q_OBJECT
private slots:
    void listsTheWindowsSets();
    void namesThatAreNotUtf8();
    void manyRowsKeepTheirOrder();
    void arguments_data();
    void arguments();
};

void TestScanDuplicatesCommand::listsTheWindowsSets()
{
    FinderTree tree;
    for (const char *path : {"c/x/a.txt", "c/y/a.txt", "c/z/a.txt"})
        tree.file(path, "0123456789");
    tree.file("c/x/b.dat", "xyz");
    tree.file("c/y/b.dat", "xyz");
    tree.file("c/y/c.dat", "xyz"); // another name: a set only without "Require same name"
    platform::Volume volume;
    volume.root = tree.path("c");
    volume.caption = "c";
    platform::Volumes::setFixedList({volume});

    QList<QByteArray> windowRows; // "" for a separator
    {
        ScopedNotices notices;
        TClarivexMainForm window;
        window.createWindowSteps({});
        window.duplicatesPage()->DiskListViewDF->SetChecked(0, true);
        window.duplicatesPage()->chkCheckFileTimeStamp->setChecked(false);
        window.btnScanDupeFilesClick();
        FoundFileModel *model = window.FileListView->Model();
        for (int row = 0; row < model->rowCount(); ++row)
            windowRows << model->FilePath(row);
        QVERIFY(window.SaveAllSettings());
    }
    platform::Volumes::clearFixedList();
    QCOMPARE(windowRows.size(), 7);

    const CliResult result =
        runCli(QList<QByteArray>{"scan", "duplicates", "--json", "--drive", tree.path("c")});
    QCOMPARE(result.exitCode, 0);
    const QList<QJsonObject> lines = jsonLines(result.out);
    QCOMPARE(lines.size(), 5 + 1); // separators are not printed
    int line = 0;
    int set = 0;
    bool master = false;
    for (const QByteArray &row : windowRows) {
        if (row.isEmpty()) {
            ++set;
            master = true;
            continue;
        }
        const QJsonObject &object = lines[line++];
        QCOMPARE((object["folder"].toString() + object["name"].toString()).toUtf8(), row);
        QCOMPARE(object["set"].toInt(), set);
        QCOMPARE(object["role"].toString(), master ? "master" : "duplicate");
        for (const char *key : {"size", "modified", "attributes", "group"})
            QVERIFY2(object.contains(key), key);
        QCOMPARE(object["scan"].toString(), "duplicates");
        QCOMPARE(object["trigger"].toString(), "cli");
        master = false;
    }
    QCOMPARE(lines.last(), (QJsonObject{{"files", 3}, {"bytes", 23}, {"sets", 2}}));

    // Text: a blank line for each separator, then one line per file, the totals last.
    const CliResult plain =
        runCli(QList<QByteArray>{"scan", "duplicates", "--drive", tree.path("c")});
    const QList<QByteArray> plainLines = plain.out.split('\n');
    QCOMPARE(plainLines.size(), 7 + 2);
    QCOMPARE(plainLines[0], QByteArray());
    QVERIFY(plainLines[1].endsWith("\tmaster"));
    QVERIFY(plainLines[2].endsWith("\tduplicate"));
    QCOMPARE(plainLines[7], QByteArray("Files: 3\tBytes: 23\tSets: 2"));
}

// Enough rows that the text lines are made in blocks on several threads:
// they come out in the list's order, as the JSON lines (made one by one) do.
void TestScanDuplicatesCommand::manyRowsKeepTheirOrder()
{
    FinderTree tree;
    constexpr int kSets = 1500; // 4,500 rows with their separators: three blocks
    for (int i = 0; i < kSets; ++i) {
        const QByteArray name = QByteArray::number(i) + ".txt";
        const QByteArray bytes = "set " + QByteArray::number(i) + QByteArray(i % 7, '.');
        tree.file("m/a/" + name, bytes);
        tree.file("m/b/" + name, bytes);
    }
    const CliResult json =
        runCli(QList<QByteArray>{"scan", "duplicates", "--json", "--drive", tree.path("m")});
    const CliResult text =
        runCli(QList<QByteArray>{"scan", "duplicates", "--drive", tree.path("m")});
    QCOMPARE(json.exitCode, 0);
    QCOMPARE(text.exitCode, 0);
    const QList<QJsonObject> objects = jsonLines(json.out);
    QList<QByteArray> lines;
    for (const QByteArray &line : text.out.split('\n')) {
        if (!line.isEmpty()) lines << line;
    }
    QCOMPARE(objects.size(), 2 * kSets + 1);
    QCOMPARE(lines.size(), objects.size());
    QCOMPARE(text.out.count("\n\n"), kSets - 1); // a blank line before every set
    for (int i = 0; i < 2 * kSets; ++i) {
        const QList<QByteArray> columns = lines[i].split('\t');
        const QJsonObject &object = objects[i];
        QCOMPARE(columns.size(), 6);
        QCOMPARE(columns[1] + columns[0],
                 (object["folder"].toString() + object["name"].toString()).toUtf8());
        QCOMPARE(columns[2].toLongLong(), object["size"].toInteger());
        QCOMPARE(QString::fromUtf8(columns[5]), object["role"].toString());
    }
}

void TestScanDuplicatesCommand::namesThatAreNotUtf8()
{
    FinderTree tree;
    const QByteArray bad = QByteArray("caf\xe9-\xff.bin");
    tree.file("d/x/" + bad, "same content");
    tree.file("d/y/" + bad, "same content");
    const CliResult result =
        runCli(QList<QByteArray>{"scan", "duplicates", "--json", "--drive", tree.path("d")});
    QCOMPARE(result.exitCode, 0);
    const QList<QJsonObject> lines = jsonLines(result.out);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(QByteArray::fromBase64(lines[1]["path_base64"].toString().toLatin1()),
             tree.path("d/y/" + bad));
}

void TestScanDuplicatesCommand::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("drive without folder") << QStringList{"scan", "duplicates", "--drive"} << 2;
    QTest::newRow("unknown") << QStringList{"scan", "duplicates", "--bogus"} << 2;
    QTest::newRow("dry run alone") << QStringList{"scan", "duplicates", "--dry-run"} << 2;
    QTest::newRow("no drive stored") << QStringList{"scan", "duplicates"} << 1;
}

void TestScanDuplicatesCommand::arguments()
{
    QFETCH(QStringList, args);
    RegistryDatabase::closeInstance();
    QFile::remove(RegistryDatabase::defaultPath());
    QTEST(runCli(args).exitCode, "exitCode");
}

CLARIVEX_TEST_MAIN(TestScanDuplicatesCommand)
#include "tst_scan_duplicates_command.moc"
