#include "core/base/file_facts.h"
#include "core/base/formats.h"
#include "core/base/path_text.h"
#include "core/search/file_type_cache.h"
#include "core/search/found_file_model.h"
#include "core/search/kv_find_file.h"
#include "gui/search/kv_file_list_view.h"
#include "support/pe_builder.h"
#include "support/test_main.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clarivex;

namespace {

qint64 nsOf(const QDateTime &utc)
{
    return utc.toMSecsSinceEpoch() * 1000000;
}

} // namespace

class TestFoundFileModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { QVERIFY(m_dir.isValid()); }
    void rowFromAFile();
    void attributes_data();
    void attributes();
    void vanishedFileGivesNoRow();
    void identityFromTheFinder();
    void nameNotUtf8();
    void separatorRows();
    void versionsOnlyForProgramFiles();
    void dateTexts_data();
    void dateTexts();
    void dateTextsFollowTheZone();
    void sortBySize();
    void sortByDateColumns();
    void sortByName();
    void sortFolderFirstClickIsDescending();
    void sortAgreesWithShownTexts_data();
    void sortAgreesWithShownTexts();
    void sortKeepsSelection();
    void sortByTypeReadsNoFile();
    void removeRows();
    void selectedFilePathAndTotals();

private:
    QByteArray folder() const { return QFile::encodeName(m_dir.path()) + '/'; }
    QByteArray touch(const QByteArray &name, const QByteArray &content = "x")
    {
        // Raw bytes: the name need not be UTF-8.
        const QByteArray path = folder() + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, content.constData(), size_t(content.size())) != content.size())
            qFatal("cannot write a test file");
        ::close(fd);
        return path;
    }
    TFindData facts(const QByteArray &name, qint64 size = 1, qint64 time = 0)
    {
        TFindData data;
        data.name = name;
        data.size = size;
        data.attributes = faArchive;
        data.lastWriteTime = data.creationTime = data.lastAccessTime = time;
        return data;
    }
    QTemporaryDir m_dir;
};

void TestFoundFileModel::initTestCase()
{
    qputenv("TZ", "UTC");
    ::tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestFoundFileModel::rowFromAFile()
{
    const QByteArray path = touch("Report.DOC", "hello");
    FoundFileModel model;
    qint64 size = -1;
    QVERIFY(model.AddFile(path, size));
    QCOMPARE(size, 5);
    QCOMPARE(model.RowCount(), 1);
    QCOMPARE(model.CellText(0, colName), QStringLiteral("Report.DOC")); // as on disk
    QCOMPARE(model.CellText(0, colFolder), QFile::decodeName(folder()));
    QCOMPARE(model.CellText(0, colSize), QStringLiteral("5"));
    QCOMPARE(model.FilePath(0), path); // the real name, not the shown one
    QVERIFY(!model.CellText(0, colType).isEmpty());
    QCOMPARE(model.CellText(0, colFileVersion), QString());
    QCOMPARE(model.rowCount(), 0); // shown at the next turn of the event loop
    QTRY_COMPARE(model.rowCount(), 1);

    TFindData big = facts("Report.DOC", 5'000'000'000);
    QVERIFY(model.AddFile(folder(), big, &size));
    QCOMPARE(size, 5'000'000'000); // past 32 bits
    QCOMPARE(model.CellText(1, colSize), QStringLiteral("5,000,000,000"));
    QVERIFY(!model.AddFile(folder() + "nothing-here", size));
    QVERIFY(!model.AddFile(QFile::encodeName(m_dir.path()), size)); // a folder is no file row
}

void TestFoundFileModel::attributes_data()
{
    QTest::addColumn<quint32>("bits");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0u << "";
    QTest::newRow("hidden read-only archive")
        << quint32(faReadOnly | faHidden | faArchive) << "RHA";
    QTest::newRow("all") << quint32(faReadOnly | faHidden | faSysFile | faArchive) << "RHSA";
    QTest::newRow("system only") << quint32(faSysFile) << "S";
    QTest::newRow("directory bit shows nothing") << quint32(faDirectory) << "";
}

void TestFoundFileModel::attributes()
{
    QFETCH(quint32, bits);
    QFETCH(QString, text);
    touch("a.tmp");
    FoundFileModel model;
    TFindData data = facts("a.tmp");
    data.attributes = bits;
    QVERIFY(model.AddFile(folder(), data));
    QCOMPARE(model.CellText(0, colAttributes), text);
    QByteArray line;
    FoundFileModel::AppendAttributesText(line, bits);
    QCOMPARE(line, text.toUtf8());
    // And each row's folder as FolderOf tells it, from the paths made at once.
    QCOMPARE(model.FolderPaths().at(model.Row(0).folder), model.FolderOf(0));
}

void TestFoundFileModel::vanishedFileGivesNoRow()
{
    touch("gone.tmp");
    const auto data = ReadFindData(folder() + "gone.tmp");
    QVERIFY(data);
    QVERIFY(QFile::remove(QFile::decodeName(folder() + "gone.tmp")));
    FoundFileModel model;
    qint64 size = 77;
    QVERIFY(!model.AddFile(folder(), *data, &size));
    QCOMPARE(size, 77); // untouched
    QCOMPARE(model.RowCount(), 0);
    QVERIFY(!model.AddFile(folder() + "sub/", facts("x"))); // the folder itself is gone
}

// Rows of a walk take the device and inode the finder saw, without another
// look at each file: they must be the files' own, as a clean checks them.
void TestFoundFileModel::identityFromTheFinder()
{
    QVERIFY(QDir(m_dir.path()).mkpath("walked/deeper"));
    touch("walked/a.tmp");
    touch("walked/deeper/b.tmp");
    QVERIFY(QFile::link(QStringLiteral("a.tmp"), m_dir.path() + "/walked/link.tmp"));
    FoundFileModel model;
    TKvFindFile finder;
    finder.SetFileMask(QStringLiteral("*"));
    finder.RecurseDirs = true;
    finder.OnAddFile = [&](const QByteArray &path, const TFindData &data, bool &) {
        QVERIFY(data.device != 0);
        QVERIFY(model.AddFile(path, data));
    };
    (void)finder.Execute(folder() + "walked");
    QCOMPARE(model.RowCount(), 3);
    for (int r = 0; r < model.RowCount(); ++r) {
        struct stat info
        {
        };
        QCOMPARE(::lstat(model.FilePath(r).constData(), &info), 0);
        QCOMPARE(model.Row(r).inode, quint64(info.st_ino));
        QCOMPARE(model.DeviceOf(r), info.st_dev);
        QCOMPARE(bool(model.Row(r).symlink), S_ISLNK(info.st_mode));
    }
}

void TestFoundFileModel::nameNotUtf8()
{
    const QByteArray name("caf\xe9 \xff.TXT");
    const QByteArray path = touch(name);
    FoundFileModel model;
    qint64 size = 0;
    QVERIFY(model.AddFile(path, size));
    QCOMPARE(model.CellText(0, colName), QStringLiteral("caf\\xE9 \\xFF.TXT"));
    QCOMPARE(model.FilePath(0), path);
    QCOMPARE(::access(model.FilePath(0).constData(), F_OK), 0);
    QCOMPARE(::unlink(path.constData()), 0); // the temporary folder's clean-up decodes names
}

void TestFoundFileModel::separatorRows()
{
    FoundFileModel model;
    qint64 size = 5;
    QVERIFY(model.AddFile(QByteArray("."), size));
    QCOMPARE(size, 0);
    QVERIFY(model.IsSeparator(0));
    for (int c = colName; c <= colAttributes; ++c)
        QCOMPARE(model.CellText(0, c), QStringLiteral(" "));
    QCOMPARE(model.CellText(0, colLastAccess), QString());
    QCOMPARE(model.FilePath(0), QByteArray());
    // Sorting lists with separators by any column neither fails nor loses rows.
    touch("f.tmp");
    QVERIFY(model.AddFile(folder(), facts("f.tmp", 10)));
    model.AddSeparator();
    for (int c = 0; c < kFoundFileColumnCount; ++c) {
        model.SortRows(c, c % 2);
        QCOMPARE(model.RowCount(), 3);
    }
    model.SortRows(colSize, true);
    QVERIFY(model.IsSeparator(0) && model.IsSeparator(1));
    QCOMPARE(model.CellText(2, colName), QStringLiteral("f.tmp"));
}

void TestFoundFileModel::versionsOnlyForProgramFiles()
{
    const QByteArray pe = test::peFile(test::versionBlock("6.1.7601", "6.1"));
    touch("Setup.EXE", pe);
    touch("setup.bin", pe); // same bytes, but not a program extension
    touch("plain.dll", test::peFile({}));
    touch("broken.dll", pe.left(300));
    FoundFileModel model;
    for (const char *name : {"Setup.EXE", "setup.bin", "plain.dll", "broken.dll"})
        QVERIFY(model.AddFile(folder(), facts(name)));
    QCOMPARE(model.CellText(0, colFileVersion), QStringLiteral("6.1.7601"));
    QCOMPARE(model.CellText(0, colProductVersion), QStringLiteral("6.1"));
    for (int row = 1; row < 4; ++row) {
        QCOMPARE(model.CellText(row, colFileVersion), QString());
        QCOMPARE(model.CellText(row, colProductVersion), QString());
    }
}

void TestFoundFileModel::dateTexts_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    const QDate day(2026, 3, 4);
    QTest::newRow("afternoon") << QDateTime(day, QTime(15, 4, 6), Qt::UTC) << "04-03-2026 15:04:06";
    QTest::newRow("odd second rounds down")
        << QDateTime(day, QTime(15, 4, 7, 900), Qt::UTC) << "04-03-2026 15:04:06";
    QTest::newRow("midnight shows the date alone")
        << QDateTime(day, QTime(0, 0, 1), Qt::UTC) << "04-03-2026";
    QTest::newRow("before 1970") << QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59), Qt::UTC)
                                 << "31-12-1969 23:59:58";
}

void TestFoundFileModel::dateTexts()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QCOMPARE(FoundFileModel::DateTimeText(nsOf(time)), text);
    QByteArray line("name\t"); // as the command line prints it
    FoundFileModel::AppendDateTimeText(line, nsOf(time));
    QCOMPARE(line, "name\t" + text.toUtf8());
}

// The texts are worked out without Qt's time zone look-up: a change of the
// zone must still show.
void TestFoundFileModel::dateTextsFollowTheZone()
{
    const qint64 noon = nsOf(QDateTime(QDate(2026, 3, 4), QTime(12, 0), Qt::UTC));
    QCOMPARE(FoundFileModel::DateTimeText(noon), QStringLiteral("04-03-2026 12:00:00"));
    qputenv("TZ", "XYZ-3"); // three hours east of UTC, no zone file needed
    const QString east = FoundFileModel::DateTimeText(noon);
    qputenv("TZ", "UTC");
    QCOMPARE(east, QStringLiteral("04-03-2026 15:00:00"));
    QCOMPARE(FoundFileModel::DateTimeText(noon), QStringLiteral("04-03-2026 12:00:00"));
}

void TestFoundFileModel::sortBySize()
{
    FoundFileModel model;
    for (qint64 size : {qint64(10240), qint64(9), qint64(1024), qint64(3000000000)}) {
        const QByteArray name = "s" + QByteArray::number(size);
        touch(name);
        QVERIFY(model.AddFile(folder(), facts(name, size)));
    }
    model.ColumnClick(colSize);
    QStringList order;
    for (int r = 0; r < 4; ++r)
        order << model.CellText(r, colSize);
    QCOMPARE(order, QStringList({"9", "1,024", "10,240", "3,000,000,000"}));
    model.ColumnClick(colSize);
    QCOMPARE(model.CellText(0, colSize), QStringLiteral("3,000,000,000"));
    QCOMPARE(model.CellText(3, colSize), QStringLiteral("9"));
    QVERIFY(!model.SortAscending());
}

void TestFoundFileModel::sortByDateColumns()
{
    // Creation and last access disagree with the modification order: each column
    // sorts by its own times; times less than two seconds apart are equal.
    const QDateTime base(QDate(2025, 6, 1), QTime(12, 0), Qt::UTC);
    FoundFileModel model;
    const struct
    {
        const char *name;
        int write, create, access;
    } files[] = {{"a", 30, 10, 1}, {"b", 20, 30, 2}, {"c", 10, 20, 0}};
    for (const auto &f : files) {
        touch(f.name);
        TFindData data = facts(f.name);
        data.lastWriteTime = nsOf(base.addDays(f.write));
        data.creationTime = nsOf(base.addDays(f.create));
        data.lastAccessTime = nsOf(base.addSecs(f.access));
        QVERIFY(model.AddFile(folder(), data));
    }
    auto names = [&] {
        QString s;
        for (int r = 0; r < model.RowCount(); ++r)
            s += model.CellText(r, colName);
        return s;
    };
    model.SortRows(colModified, true);
    QCOMPARE(names(), QStringLiteral("cba"));
    model.SortRows(colCreation, true);
    QCOMPARE(names(), QStringLiteral("acb"));
    model.SortRows(colLastWrite, false);
    QCOMPARE(names(), QStringLiteral("abc"));
    model.SortRows(colName, true);
    model.SortRows(colLastAccess, true); // 0 s and 1 s are one step: "a" and "c" tie, keep order
    QCOMPARE(names(), QStringLiteral("acb"));
}

void TestFoundFileModel::sortByName()
{
    FoundFileModel model;
    const QList<QByteArray> names = {"beta.txt", "Alpha.txt", "alpha.txt.bak", "ALPHA.TXT", "_x"};
    for (const QByteArray &name : names) {
        touch(name);
        QVERIFY(model.AddFile(folder(), facts(name)));
    }
    model.SortRows(colName, true);
    QStringList shown;
    for (int r = 0; r < model.RowCount(); ++r)
        shown << QFile::decodeName(model.NameOf(r).toByteArray());
    // Case folds, ties keep the order they were added in; "_" sorts after the letters.
    QCOMPARE(shown, QStringList({"Alpha.txt", "ALPHA.TXT", "alpha.txt.bak", "beta.txt", "_x"}));
}

void TestFoundFileModel::sortFolderFirstClickIsDescending()
{
    QVERIFY(QDir(m_dir.path()).mkpath("sub"));
    touch("sub/f");
    touch("f");
    FoundFileModel model;
    QVERIFY(model.AddFile(folder(), facts("f")));
    QVERIFY(model.AddFile(folder() + "sub/", facts("f")));
    QCOMPARE(model.SortColumn(), int(colFolder));
    model.ColumnClick(colFolder);
    QCOMPARE(model.FolderOf(0), folder() + "sub/");
    model.ColumnClick(colType);
    QVERIFY(model.SortAscending());
}

void TestFoundFileModel::sortAgreesWithShownTexts_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("ascending");
    for (int c = 0; c < kFoundFileColumnCount; ++c) {
        const QByteArray caption = FoundFileModel::ColumnCaption(c).toUtf8();
        QTest::newRow(caption + " up") << c << true;
        QTest::newRow(caption + " down") << c << false;
    }
}

// Every neighbouring pair after a sort is in order by the rule for the shown
// texts: numbers for sizes, times for dates, case-folded text for the rest.
void TestFoundFileModel::sortAgreesWithShownTexts()
{
    QFETCH(int, column);
    QFETCH(bool, ascending);
    QRandomGenerator random(column * 2 + ascending);
    const QByteArray pe = test::peFile(test::versionBlock("1.10", "1.9"));
    const QByteArray pe2 = test::peFile(test::versionBlock("1.2", "2.0"));
    QVERIFY(QDir(m_dir.path()).mkpath("Sub dir"));
    const char *stems[] = {"longcommonprefix_", "LongCommonPrefix_", "short", "Zed", "_under"};
    const char *exts[] = {".txt", ".TMP", ".exe", ".dll", ".html", ""};
    FoundFileModel model;
    for (int i = 0; i < 120; ++i) {
        const QByteArray sub = random.bounded(2) ? "Sub dir/" : "";
        const QByteArray name = QByteArray(stems[random.bounded(5)]) +
                                QByteArray::number(random.bounded(30)) + exts[random.bounded(6)];
        touch(sub + name, random.bounded(2) ? pe : pe2);
        TFindData data = facts(name, random.bounded(3000), 0);
        data.attributes = random.bounded(64) & ~quint32(faDirectory);
        data.lastWriteTime = qint64(random.bounded(1000)) * 1500000000LL;
        data.creationTime = qint64(random.bounded(1000)) * 700000000LL;
        data.lastAccessTime = qint64(random.bounded(1000)) * 3100000000LL;
        QVERIFY(model.AddFile(folder() + sub, data));
        if (i % 40 == 0) model.AddSeparator();
    }
    // Types read from content are known once a row was drawn: draw them all.
    for (int r = 0; r < model.RowCount() && column == colType; ++r)
        (void)model.CellText(r, colType);
    model.SortRows(column, ascending);
    auto compare = [&](int a, int b) -> int {
        const QString ta = model.CellText(a, column), tb = model.CellText(b, column);
        if (column == colSize || column == colModified || column >= colCreation) {
            if (model.IsSeparator(a) || model.IsSeparator(b)) // text that says nothing: first
                return int(model.IsSeparator(b)) - int(model.IsSeparator(a));
            if (column == colSize) {
                const qint64 va = QString(ta).remove(',').toLongLong();
                const qint64 vb = QString(tb).remove(',').toLongLong();
                return va < vb ? -1 : (va > vb ? 1 : 0);
            }
            const QDateTime da = *parseDateTime(ta), db = *parseDateTime(tb);
            return da < db ? -1 : (da > db ? 1 : 0);
        }
        return compareFoldedAscii(ta, tb);
    };
    for (int r = 1; r < model.RowCount(); ++r) {
        const int c = compare(r - 1, r);
        if (ascending ? c > 0 : c < 0)
            QFAIL(qPrintable(QStringLiteral("rows %1 and %2 out of order: '%3' '%4'")
                                 .arg(r - 1)
                                 .arg(r)
                                 .arg(model.CellText(r - 1, column), model.CellText(r, column))));
    }
}

void TestFoundFileModel::sortKeepsSelection()
{
    TKvFileListView view;
    for (qint64 size : {3, 1, 2}) {
        const QByteArray name = "k" + QByteArray::number(size);
        touch(name);
        QVERIFY(view.AddFile(folder(), facts(name, size)));
    }
    view.Model()->FlushPending();
    view.selectionModel()->select(view.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(SelectedFilePath(&view), folder() + "k3");
    view.Model()->ColumnClick(colSize);
    QCOMPARE(view.SelectedRows(), QList<int>{2});
    QCOMPARE(SelectedFilePath(&view), folder() + "k3");
}

// A sort by Type takes what the rows hold: the extension's type, or the type
// content showed for a drawn row. It opens no file, so it stays fast for a
// million rows and works after the files are gone.
void TestFoundFileModel::sortByTypeReadsNoFile()
{
    QVERIFY(QDir(m_dir.path()).mkpath("types"));
    const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const QList<std::pair<QByteArray, QByteArray>> files = {
        {"one.tmp", png},           {"page.html", "<html></html>"},
        {"note.txt", "text"},       {"noext", png},
        {"two.TMP", "plain words"}, {"pic.png", png},
        {"more.txt", "a"},          {"three.chk", png},
        {"old.html", "<p>"}};
    FoundFileModel model;
    FileTypeCache &types = FileTypeCache::shared();
    for (const auto &[name, content] : files) {
        touch("types/" + name, content);
        QVERIFY(model.AddFile(folder() + "types/", facts(name)));
    }
    // Expected: the extensions' type names, ties in the order added.
    QList<QByteArray> expected;
    for (const auto &file : files)
        expected << file.first;
    std::stable_sort(expected.begin(), expected.end(),
                     [&](const QByteArray &a, const QByteArray &b) {
                         return compareFoldedAscii(types.typeName(types.indexOf(a)),
                                                   types.typeName(types.indexOf(b))) < 0;
                     });
    const quint64 readsBefore = types.contentReads();
    model.SortRows(colType, true);
    QCOMPARE(types.contentReads(), readsBefore);
    QList<QByteArray> order;
    for (int r = 0; r < model.RowCount(); ++r)
        order << model.NameOf(r).toByteArray();
    QCOMPARE(order, expected);

    // Drawing reads each file whose extension names no type once; the next
    // sort uses what was read, even with every file gone.
    for (int r = 0; r < model.RowCount(); ++r)
        (void)model.CellText(r, colType);
    const quint64 readsDrawn = types.contentReads();
    QVERIFY(readsDrawn > readsBefore);
    for (int r = 0; r < model.RowCount(); ++r)
        (void)model.CellText(r, colType);
    QCOMPARE(types.contentReads(), readsDrawn);
    QVERIFY(QDir(m_dir.path() + "/types").removeRecursively());
    model.SortRows(colType, false);
    QCOMPARE(types.contentReads(), readsDrawn);
    QCOMPARE(model.RowCount(), files.size());
    for (int r = 1; r < model.RowCount(); ++r)
        QVERIFY2(compareFoldedAscii(model.CellText(r - 1, colType), model.CellText(r, colType)) >=
                     0,
                 qPrintable(model.CellText(r - 1, colType) + " / " + model.CellText(r, colType)));
    QCOMPARE(types.contentReads(), readsDrawn);
    int pngRows = 0; // the PNG content of one.tmp, noext and three.chk was seen
    for (int r = 0; r < model.RowCount(); ++r)
        pngRows += model.CellText(r, colType) == types.typeName(types.indexOf("x.png"));
    QCOMPARE(pngRows, 4);
}

void TestFoundFileModel::removeRows()
{
    FoundFileModel model;
    for (int i = 0; i < 600; ++i) {
        const QByteArray name = "r" + QByteArray::number(i);
        touch(name);
        QVERIFY(model.AddFile(folder(), facts(name, i)));
    }
    model.RemoveRows({5, 3, 4, 4, 599, -1, 1000});
    QCOMPARE(model.RowCount(), 596);
    QCOMPARE(model.Row(3).size, 6);
    QCOMPARE(model.rowCount(), 596);
    QList<int> even;
    for (int i = 0; i < 596; i += 2)
        even << i;
    model.RemoveRows(even); // the bulk path
    QCOMPARE(model.RowCount(), 298);
    QCOMPARE(model.Row(0).size, 1);
    QCOMPARE(model.Row(1).size, 6);
}

void TestFoundFileModel::selectedFilePathAndTotals()
{
    TKvFileListView view;
    QCOMPARE(SelectedFilePath(&view), QByteArray());
    view.Model()->AddSeparator();
    view.Model()->FlushPending();
    view.selectionModel()->select(view.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(SelectedFilePath(&view), QByteArray()); // a separator names no file

    QLabel bytes, files;
    FoundTotals totals;
    totals.FoundFileCount = 1234;
    totals.FoundByteTotal = 3'000'000'000; // more than a 32-bit counter holds
    UpdateFoundTotals(totals, &bytes, &files);
    QCOMPARE(bytes.text(), QStringLiteral("Bytes: 3,000,000,000"));
    QCOMPARE(files.text(), QStringLiteral("Files: 1,234"));
}

CLARIVEX_TEST_MAIN(TestFoundFileModel)
#include "tst_found_file_model.moc"
