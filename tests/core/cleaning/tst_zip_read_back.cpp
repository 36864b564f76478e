// The read-back check of a written archive from its bytes on disk: damage in
// any part an entry is read from fails that entry (and only that one), an
// intact archive passes whole, Zip64 directories included; and the in-order
// run reports every entry, the damaged one as failed.

#include "core/cleaning/cleaning_fixture.h"
#include "core/cleaning/zip_read_back.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"

#include <QFile>
#include <QTest>

#include <zlib.h>

using namespace clarivex;
using namespace clarivex::cleaning;
using namespace clarivex::test;

namespace {

struct Written
{
    QByteArray name;
    QByteArray content;
    int method = ZIP_CM_DEFLATE;
};

QList<Written> sampleEntries()
{
    QByteArray text;
    for (int i = 0; i < 400; ++i)
        text += "line " + QByteArray::number(i * 7919 % 1000) + " of a temporary file\n";
    return {{"tmp/a.txt", text, ZIP_CM_DEFLATE},
            {"tmp/b.txt", text.left(5000), ZIP_CM_STORE},
            {"tmp/c.txt", text.mid(100), ZIP_CM_DEFLATE},
            {"tmp/empty.tmp", {}, ZIP_CM_DEFLATE}};
}

bool writeArchive(const QByteArray &path, const QList<Written> &entries)
{
    int code = 0;
    zip_t *writer = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!writer) return false;
    for (const Written &entry : entries) {
        zip_source_t *source = zip_source_buffer(writer, entry.content.constData(),
                                                 zip_uint64_t(entry.content.size()), 0);
        const zip_int64_t index =
            zip_file_add(writer, entry.name.constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0 ||
            zip_set_file_compression(writer, zip_uint64_t(index), entry.method, 0) != 0) {
            zip_discard(writer);
            return false;
        }
    }
    return zip_close(writer) == 0;
}

quint32 crcOf(const QByteArray &bytes)
{
    return quint32(
        ::crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

int le16(const QByteArray &bytes, qsizetype at)
{
    return uchar(bytes[at]) | uchar(bytes[at + 1]) << 8;
}

// Where each entry's local header starts (libzip writes them in a row, sizes filled in).
QList<qsizetype> localHeaders(const QByteArray &bytes, qsizetype count)
{
    QList<qsizetype> at;
    qsizetype offset = 0;
    for (qsizetype i = 0; i < count; ++i) {
        at << offset;
        const qsizetype compressed = qsizetype(uchar(bytes[offset + 18])) |
                                     qsizetype(uchar(bytes[offset + 19])) << 8 |
                                     qsizetype(uchar(bytes[offset + 20])) << 16;
        offset += 30 + le16(bytes, offset + 26) + le16(bytes, offset + 28) + compressed;
    }
    return at;
}

} // namespace

class TestZipReadBack : public QObject
{
    Q_OBJECT
private slots:
    void damageFailsItsEntryOnly_data();
    void damageFailsItsEntryOnly();
    void zip64DirectoryIsRead();
    void runReportsEveryEntryInOrder_data();
    void runReportsEveryEntryInOrder();
};

void TestZipReadBack::damageFailsItsEntryOnly_data()
{
    // A damage: where (-1: the archive's end), what, and the entry it hits.
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("hit"); // -1: none, 99: the whole archive
    QTest::newRow("intact") << "none" << -1;
    QTest::newRow("deflated data, a byte changed") << "data 0" << 0;
    QTest::newRow("stored data, a byte changed") << "data 1" << 1;
    QTest::newRow("local header signature") << "signature 2" << 2;
    QTest::newRow("local header name") << "name 2" << 2;
    QTest::newRow("local header method") << "method 0" << 0;
    QTest::newRow("an entry not named as expected") << "expect 1" << 1;
    QTest::newRow("a comment after the directory") << "comment" << -1;
    QTest::newRow("the end record cut off") << "truncate" << 99;
    QTest::newRow("not an archive") << "garbage" << 99;
}

void TestZipReadBack::damageFailsItsEntryOnly()
{
    QFETCH(QString, damage);
    QFETCH(int, hit);
    FinderTree tree;
    const QByteArray archive = tree.path("a.zip");
    const QList<Written> written = sampleEntries();
    QVERIFY(writeArchive(archive, written));
    QByteArray bytes = readBytes(archive);
    const QList<qsizetype> local = localHeaders(bytes, written.size());
    const QStringList parts = damage.split(QLatin1Char(' '));
    const int target = parts.size() > 1 ? parts[1].toInt() : 0;
    const qsizetype header = local[target];
    const qsizetype data = header + 30 + le16(bytes, header + 26) + le16(bytes, header + 28);
    QList<QByteArray> expectedNames;
    for (const Written &entry : written)
        expectedNames << entry.name;
    if (parts[0] == QLatin1String("data")) bytes[data + 40] = char(bytes[data + 40] ^ 0x20);
    if (parts[0] == QLatin1String("signature")) bytes[header] = 'Q';
    if (parts[0] == QLatin1String("name")) bytes[header + 30] = 'X';
    if (parts[0] == QLatin1String("method")) bytes[header + 8] = 0;
    if (parts[0] == QLatin1String("expect")) expectedNames[target] = "tmp/other.txt";
    if (parts[0] == QLatin1String("comment")) {
        const qsizetype end = bytes.lastIndexOf(QByteArray("PK\x05\x06", 4));
        bytes[end + 20] = 7;
        bytes += "comment";
    }
    if (parts[0] == QLatin1String("truncate")) bytes.chop(1);
    if (parts[0] == QLatin1String("garbage")) bytes = QByteArray(4000, 'g');
    QFile file(QFile::decodeName(archive));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    ArchiveReadBack reader(archive);
    QCOMPARE(reader.openError() != 0, hit == 99);
    for (qsizetype i = 0; i < written.size(); ++i) {
        quint32 crc = 0;
        qint64 size = -1;
        const bool good = reader.check(zip_int64_t(i), expectedNames[i], crc, size);
        QCOMPARE(good, hit != 99 && hit != i);
        if (good) {
            QCOMPARE(size, written[i].content.size());
            QCOMPARE(crc, crcOf(written[i].content));
        }
    }
    quint32 crc = 0;
    qint64 size = 0;
    QVERIFY(!reader.check(zip_int64_t(written.size()), "tmp/a.txt", crc, size)); // no such entry
}

// More entries than the classic end record counts: the Zip64 end record is read.
void TestZipReadBack::zip64DirectoryIsRead()
{
    FinderTree tree;
    const QByteArray archive = tree.path("many.zip");
    QList<Written> written;
    constexpr int kCount = 0x10000 + 10;
    for (int i = 0; i < kCount; ++i)
        written.append({"e" + QByteArray::number(i), i % 1000 == 0 ? "entry " : "", ZIP_CM_STORE});
    QVERIFY(writeArchive(archive, written));
    const QByteArray bytes = readBytes(archive);
    QVERIFY(bytes.contains(QByteArray("PK\x06\x06", 4))); // libzip wrote Zip64
    ArchiveReadBack reader(archive);
    QCOMPARE(reader.openError(), 0);
    QCOMPARE(reader.count(), qsizetype(kCount));
    for (int i : {0, 1000, 0xffff, 0x10000, kCount - 1}) {
        quint32 crc = 0;
        qint64 size = -1;
        QVERIFY(reader.check(i, written[i].name, crc, size));
        QCOMPARE(size, written[i].content.size());
    }
}

void TestZipReadBack::runReportsEveryEntryInOrder_data()
{
    QTest::addColumn<bool>("thread");
    QTest::newRow("on a thread of its own") << true;
    QTest::newRow("one core: as asked") << false;
}

void TestZipReadBack::runReportsEveryEntryInOrder()
{
    QFETCH(bool, thread);
    FinderTree tree;
    const QByteArray archive = tree.path("a.zip");
    const QList<Written> written = sampleEntries();
    QVERIFY(writeArchive(archive, written));
    std::vector<ReadBackRun::Expected> expected;
    for (qsizetype i = 0; i < written.size(); ++i)
        expected.push_back({zip_int64_t(i), written[i].name, crcOf(written[i].content),
                            written[i].content.size()});
    expected[2].crc ^= 1;            // the source read differently from what was written
    expected[3].size = 1;            // and one of another size
    expected.push_back(expected[0]); // the same entry asked twice is fine
    ReadBackRun run(archive, expected, thread);
    QCOMPARE(run.openError(), 0);
    QList<bool> passed;
    for (qsizetype k = 0; k < qsizetype(expected.size()); ++k)
        passed << run.passed(k);
    QCOMPARE(passed, QList<bool>({true, true, false, false, true}));

    ReadBackRun missing(tree.path("none.zip"), expected, thread);
    QVERIFY(missing.openError() != 0);
    QVERIFY(!missing.passed(0));
}

CLARIVEX_TEST_MAIN_CORE(TestZipReadBack)
#include "tst_zip_read_back.moc"
