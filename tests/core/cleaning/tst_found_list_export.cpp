// The list saved as CSV and JSON, read back by Python's csv and json modules:
// every file once, separators left out, texts that need quoting, and a name
// that is not UTF-8.

#include "core/cleaning/found_list_export.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

using namespace clarivex;
using namespace clarivex::cleaning;

namespace {

// Reads both files and prints what Python made of them as one JSON text.
const char *const kReader = R"(
import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    rows = list(csv.DictReader(f))
with open(sys.argv[2], encoding='utf-8') as f:
    objects = json.load(f)
print(json.dumps({'csv': rows, 'json': objects}))
)";

bool writeFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && ok;
}

} // namespace

class TestFoundListExport : public QObject
{
    Q_OBJECT
private slots:
    void readBackByPython();
    void formatFollowsTheName_data();
    void formatFollowsTheName();
    void unwritablePlaceFails();
};

void TestFoundListExport::readBackByPython()
{
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("python3 is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray folder = QFile::encodeName(dir.path()) + '/';
    const QList<QByteArray> names{"plain.tmp", "comma, \"quoted\"\nline.tmp", "bad\xff\xfe.tmp",
                                  QByteArray("caf\xc3\xa9.tmp")};
    // QTemporaryDir removes names by their text, which this one has none of.
    const auto unlinkBadName = qScopeGuard([&] { ::unlink((folder + names[2]).constData()); });
    FoundFileModel model;
    // Two temporary files of the user's scan, then a duplicate set (master
    // first) that a scheduled run found.
    const RunIndex user = model.BeginRun(RunTrigger::User);
    const RunIndex scheduled = model.BeginRun(RunTrigger::Scheduled);
    for (qsizetype i = 0; i < names.size(); ++i) {
        QVERIFY(writeFile(folder + names[i], QByteArray(10 * (i + 1), 'x')));
        qint64 size = 0;
        if (i < 2)
            model.SetOrigin(ScanOrigin::TempFiles, user);
        else
            model.SetOrigin(ScanOrigin::Duplicates, scheduled);
        if (i == 2) model.AddSeparator(); // a duplicate set's divider is no file
        QVERIFY(model.AddFile(folder + names[i], size, int(i), i == 2));
    }
    model.FlushPending();
    const QList<ListExportField> extras{
        {QStringLiteral("group"), [&](int row) { return QJsonValue(model.Row(row).group * 7); }}};
    const QString csv = dir.filePath(QStringLiteral("list.csv"));
    const QString json = dir.filePath(QStringLiteral("list.json"));
    QString error;
    QVERIFY2(saveFoundList(csv, ListExportFormat::Csv, model, extras, error), qPrintable(error));
    QVERIFY2(saveFoundList(json, ListExportFormat::Json, model, extras, error), qPrintable(error));

    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kReader), csv, json});
    QVERIFY(test::finishes(python, "python3"));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QJsonObject back = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    const QJsonArray csvRows = back.value("csv").toArray();
    const QJsonArray jsonRows = back.value("json").toArray();
    QCOMPARE(csvRows.size(), names.size());
    QCOMPARE(jsonRows.size(), names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QJsonObject c = csvRows[i].toObject();
        const QJsonObject j = jsonRows[i].toObject();
        const bool utf8 = i != 2;
        const QString name = utf8 ? QString::fromUtf8(names[i])
                                  : QStringLiteral("bad\uFFFD\uFFFD.tmp"); // one per bad byte
        QCOMPARE(c.value("name").toString(), name);
        QCOMPARE(j.value("name").toString(), name);
        QCOMPARE(j.value("folder").toString(), QString::fromUtf8(folder));
        QCOMPARE(c.value("folder").toString(), QString::fromUtf8(folder));
        QCOMPARE(j.value("size").toInteger(), 10 * (i + 1));
        QCOMPARE(c.value("size").toString(), QString::number(10 * (i + 1)));
        QCOMPARE(j.value("group").toInteger(), 7 * i);
        QCOMPARE(c.value("group").toString(), QString::number(7 * i));
        QCOMPARE(c.value("modified").toString(), j.value("modified").toString());
        QCOMPARE(c.value("attributes").toString(), j.value("attributes").toString());
        QVERIFY(!j.value("modified").toString().isEmpty());
        // Where the row came from, and a duplicate's set and role.
        const bool duplicate = i >= 2;
        const QString scan = duplicate ? "duplicates" : "temporary files";
        QCOMPARE(j.value("scan").toString(), scan);
        QCOMPARE(c.value("scan").toString(), scan);
        QCOMPARE(j.value("trigger").toString(), duplicate ? "scheduled" : "user");
        QCOMPARE(c.value("trigger").toString(), j.value("trigger").toString());
        QCOMPARE(j.value("run").toInteger(), qint64(duplicate ? scheduled : user));
        QCOMPARE(c.value("run").toString(), QString::number(duplicate ? scheduled : user));
        QCOMPARE(c.value("run_began").toString(), j.value("run_began").toString());
        QCOMPARE(j.contains("set"), duplicate);
        QCOMPARE(c.value("set").toString(), duplicate ? QString::number(i) : QString());
        const QString role = i == 2 ? "master" : duplicate ? "duplicate" : "";
        QCOMPARE(j.value("role").toString(), role);
        QCOMPARE(c.value("role").toString(), role);
        // The exact bytes, only where the text cannot carry them.
        QCOMPARE(j.contains("path_base64"), !utf8);
        const QByteArray exact =
            QByteArray::fromBase64(c.value("path_base64").toString().toLatin1());
        QCOMPARE(exact, utf8 ? QByteArray() : folder + names[i]);
        if (!utf8)
            QCOMPARE(QByteArray::fromBase64(j.value("path_base64").toString().toLatin1()), exact);
    }
}

void TestFoundListExport::formatFollowsTheName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("json");
    QTest::newRow("csv") << "list.csv" << false;
    QTest::newRow("json") << "list.json" << true;
    QTest::newRow("upper-case json") << "LIST.JSON" << true;
    QTest::newRow("no suffix") << "list" << false;
}

void TestFoundListExport::formatFollowsTheName()
{
    QFETCH(QString, name);
    QFETCH(bool, json);
    QCOMPARE(exportFormatFor(name) == ListExportFormat::Json, json);
}

void TestFoundListExport::unwritablePlaceFails()
{
    FoundFileModel model;
    QString error;
    QVERIFY(!saveFoundList(QStringLiteral("/proc/no-such-folder/list.csv"), ListExportFormat::Csv,
                           model, {}, error));
    QVERIFY(!error.isEmpty());
}

CLARIVEX_TEST_MAIN_CORE(TestFoundListExport)
#include "tst_found_list_export.moc"
