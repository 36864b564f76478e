#include "core/platform/pe_version.h"
#include "support/pe_builder.h"
#include "support/test_main.h"

#include <QTemporaryDir>

#include <sys/stat.h>

using namespace clarivex;
using namespace clarivex::platform;
using namespace clarivex::test;

class TestPeVersion : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void extensions_data();
    void extensions();
    void readsVersionStrings();
    void versionLookups_data();
    void versionLookups();
    void everyTruncationIsSafe();
    void lyingFiles_data();
    void lyingFiles();
    void notRegularFiles();

private:
    QByteArray write(const QByteArray &name, const QByteArray &content)
    {
        const QByteArray path = QFile::encodeName(m_dir.path()) + '/' + name;
        QFile file(QFile::decodeName(path));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write the test file");
        return path;
    }
    QTemporaryDir m_dir;
};

void TestPeVersion::extensions_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("pe");
    for (const char *name : {"a.exe", "B.DLL", "x.sys", "y.Ocx", "z.drv", "c.cpl", "s.scr"})
        QTest::newRow(name) << QByteArray(name) << true;
    for (const char *name : {"a.txt", "exe", "a.exe.bak", "a.exe_", ".dll.x", ""})
        QTest::newRow(name) << QByteArray(name) << false;
}

void TestPeVersion::extensions()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, pe);
    QCOMPARE(hasPeExtension(name), pe);
}

void TestPeVersion::readsVersionStrings()
{
    const QByteArray with = write("with.dll", peFile(versionBlock("1.2.3.4", "5.6")));
    QCOMPARE(readPeVersionStrings(with), (PeVersionStrings{"1.2.3.4", "5.6"}));
    const QByteArray without = write("without.exe", peFile({}));
    QCOMPARE(readPeVersionStrings(without), PeVersionStrings{});
    QVERIFY(readPeVersionBlock(without).isEmpty());
    QCOMPARE(readPeVersionStrings(m_dir.filePath("missing.exe").toUtf8()), PeVersionStrings{});
}

void TestPeVersion::versionLookups_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("fileVersion");
    QTest::addColumn<QString>("productVersion");
    QTest::newRow("both") << versionBlock("10.0.1", "10.0") << "10.0.1"
                          << "10.0";
    QTest::newRow("table name in upper case") << versionBlock("1", "2", "040904B0") << "1"
                                              << "2";
    QTest::newRow("only product") << versionBlock(QString(), "7") << ""
                                  << "7";
    // The translation names a table the file does not have: nothing, as the system's query.
    QTest::newRow("translation names another table")
        << versionBlock("1", "2", "040904b0", 0x0407, 0x04e4) << ""
        << "";
    QTest::newRow("not a version block") << QByteArray(64, 'x') << ""
                                         << "";
    QTest::newRow("empty") << QByteArray() << ""
                           << "";
    QByteArray zeroLength = versionBlock("1", "2");
    putLe16(zeroLength, 0, 0);
    QTest::newRow("zero length") << zeroLength << ""
                                 << "";
    QByteArray longer = versionBlock("1", "2");
    putLe16(longer, 0, 0xFFFF); // claims more than there is
    QTest::newRow("length beyond the block") << longer << "1"
                                             << "2";
}

void TestPeVersion::versionLookups()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, fileVersion);
    QFETCH(QString, productVersion);
    const PeVersionStrings strings = parseVersionBlock(block);
    QCOMPARE(strings.fileVersion, fileVersion);
    QCOMPARE(strings.productVersion, productVersion);
}

void TestPeVersion::everyTruncationIsSafe()
{
    const QByteArray full = peFile(versionBlock("3.1.4", "2.7"));
    const PeVersionStrings expected{"3.1.4", "2.7"};
    for (qsizetype length = 0; length < full.size(); ++length) {
        const QByteArray path = write("cut.exe", full.left(length));
        const PeVersionStrings got = readPeVersionStrings(path);
        // A cut file either lacks the strings or still holds all of them.
        if (got != PeVersionStrings{} && got != expected)
            QFAIL(qPrintable(QStringLiteral("garbage at length %1").arg(length)));
    }
    // Cut inside the version block: its data entry promises more than the file has.
    const QByteArray cut = write("cut.exe", full.left(kPeVersionBlock + 20));
    QCOMPARE(readPeVersionStrings(cut), PeVersionStrings{});
}

void TestPeVersion::lyingFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray good = peFile(versionBlock("1.0", "1.0"));
    auto patched = [&](qsizetype at, quint32 value, bool wide = true) {
        QByteArray copy = good;
        if (wide)
            putLe32(copy, at, value);
        else
            putLe16(copy, at, quint16(value));
        return copy;
    };
    QTest::newRow("header offset past the end") << patched(kPeNtOffsetField, 0x7FFFFFF0);
    QTest::newRow("header offset wraps") << patched(kPeNtOffsetField, 0xFFFFFFFF);
    QTest::newRow("65535 sections") << patched(kPeSectionCount, 0xFFFF, false);
    QTest::newRow("no sections") << patched(kPeSectionCount, 0, false);
    QTest::newRow("section data past the end") << patched(kPeSectionRawOffset, 0xFFFFFF00);
    QTest::newRow("resource size of 4 GiB") << patched(kPeDataEntrySize, 0xFFFFFFFF);
    // The name directory points back at the root: a loop must not be followed forever.
    QTest::newRow("directory loop") << patched(0x200 + 0x18 + 20, 0x80000000u);
    QTest::newRow("not MZ") << QByteArray("ZM") + good.mid(2);
    QTest::newRow("text file") << QByteArray("just text, no program\n");
}

void TestPeVersion::lyingFiles()
{
    QFETCH(QByteArray, content);
    const QByteArray path = write("liar.exe", content);
    QCOMPARE(readPeVersionStrings(path), PeVersionStrings{});
}

void TestPeVersion::notRegularFiles()
{
    QCOMPARE(readPeVersionStrings(QFile::encodeName(m_dir.path())), PeVersionStrings{});
    const QByteArray fifo = QFile::encodeName(m_dir.filePath("pipe.exe"));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    QCOMPARE(readPeVersionStrings(fifo), PeVersionStrings{}); // returns, does not block
}

CLARIVEX_TEST_MAIN_CORE(TestPeVersion)
#include "tst_pe_version.moc"
