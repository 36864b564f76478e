#include "core/utilities/version_label_text.h"
#include "support/pe_builder.h"
#include "support/test_main.h"

#include <QTemporaryDir>

using namespace clarivex;
using namespace clarivex::test;

namespace {

// The sources a row can name, all built in code.
VersionQuery source(const QString &name)
{
    if (name == "program") return VersionQuery::ofProgram();
    if (name == "none") return {};
    VersionInfo table;
    table.strings = {{"FileVersion", "9.8.7.6"}, {"Comments", ""}};
    if (name == "flags 0x3F") table.fileFlags = 0x3F;
    if (name == "flags 0x4A") table.fileFlags = 0x4A; // bit 6 has no name
    if (name.startsWith("flags")) return VersionQuery::ofTable(table);
    if (name == "table") return VersionQuery::ofTable(table);
    // Version blocks as a program file stores them.
    if (name == "pe") return VersionQuery::ofBlock(versionBlock("1.2.3.4", "5.6"));
    if (name == "pe flags 0x21") {
        QByteArray block = versionBlock("1.2.3.4", "5.6");
        // The fixed part follows the root's 6-byte header and its padded key;
        // its flags are its eighth field.
        putLe32(block, 40 + 28, 0x21);
        return VersionQuery::ofBlock(block);
    }
    if (name == "pe not a version block")
        return VersionQuery::ofBlock(encodeNode({"VS_VERSION", {}, 0, 1, {}}));
    // Neither a fixed part nor a translation list.
    if (name == "pe bare")
        return VersionQuery::ofBlock(encodeNode({"VS_VERSION_INFO", {}, 0, 0, {}}));
    qFatal("no such source");
}

} // namespace

class TestVersionLabelText : public QObject
{
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
    void programFileWithoutVersionResource();
};

void TestVersionLabelText::texts_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("resource");
    QTest::addColumn<QString>("langCharset");
    QTest::addColumn<bool>("showPrefix");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("langCharsetAfter");

    const QString first = "-1";
    QTest::newRow("file version") << "program" << int(vrFileVersion) << first << true
                                  << "File Version: 3.5.0.10"
                                  << "040904E4";
    QTest::newRow("product version")
        << "program" << int(vrProductVersion) << first << true << "Product Version: 3.5.0.0"
        << "040904E4";
    QTest::newRow("description")
        << "program" << int(vrFileDescription) << first << true
        << "File Description: Thoroughly clean error-producing files from your system"
        << "040904E4";
    QTest::newRow("company") << "program" << int(vrCompanyName) << first << true
                             << "Company Name: Marlowtek"
                             << "040904E4";
    QTest::newRow("without prefix")
        << "program" << int(vrProductName) << first << false << "Clarivex 2000"
        << "040904E4";
    QTest::newRow("key not in the table") << "program" << int(vrOriginalFilename) << first << true
                                          << "Original Filename: < Error retrieving version info >"
                                          << "040904E4";
    QTest::newRow("no version information")
        << "none" << int(vrFileVersion) << first << false << "< No Data Available >" << first;
    QTest::newRow("other table") << "program" << int(vrFileVersion) << "04070000" << false
                                 << "< Error retrieving version info >"
                                 << "04070000";
    QTest::newRow("table name in lower case")
        << "program" << int(vrFileVersion) << "040904e4" << false << "3.5.0.10"
        << "040904e4";
    QTest::newRow("empty value") << "table" << int(vrComments) << first << false
                                 << "< No Version Info >"
                                 << "040904E4";
    QTest::newRow("no flags") << "program" << int(vrFlags) << first << true << "Flags: " << first;
    QTest::newRow("every flag")
        << "flags 0x3F" << int(vrFlags) << first << false
        << "Debug Build, Pre-Release Build, Patched Build, Private Build, InfoInferred, "
           "Special Build"
        << first;
    QTest::newRow("flags and an unnamed bit") << "flags 0x4A" << int(vrFlags) << first << false
                                              << "Pre-Release Build, Private Build" << first;
    QTest::newRow("program file") << "pe" << int(vrFileVersion) << first << false << "1.2.3.4"
                                  << "040904B0";
    QTest::newRow("program file, its flags")
        << "pe" << int(vrFlags) << first << false << "" << first;
    QTest::newRow("program file, flags") << "pe flags 0x21" << int(vrFlags) << first << false
                                         << "Debug Build, Special Build" << first;
    QTest::newRow("program file, damaged")
        << "pe not a version block" << int(vrFileVersion) << first << false
        << "< Error retrieving version info >" << first;
    QTest::newRow("program file, no translation")
        << "pe bare" << int(vrFileVersion) << first << false
        << "< Error retrieving translation info >" << first;
    QTest::newRow("program file, no fixed part, flags")
        << "pe bare" << int(vrFlags) << first << false << "< Error retrieving version info >"
        << first;
}

void TestVersionLabelText::texts()
{
    QFETCH(QString, from);
    QFETCH(int, resource);
    QFETCH(QString, langCharset);
    QFETCH(bool, showPrefix);
    const auto field = TVersionResource(resource);
    QString kept = langCharset;
    const QString value = versionValueText(source(from), field, versionResourceKey(field), kept);
    QTEST(versionLabelText(value, versionResourcePrefix(field), showPrefix), "text");
    QTEST(kept, "langCharsetAfter");
}

void TestVersionLabelText::programFileWithoutVersionResource()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write the test file");
        return QFile::encodeName(file.fileName());
    };
    QString langCharset = "-1";
    const auto text = [&](const QByteArray &path) {
        langCharset = "-1";
        return versionValueText(VersionQuery::ofFile(path), vrProductVersion, "ProductVersion",
                                langCharset);
    };
    QCOMPARE(text(write("plain.exe", peFile({}))), QStringLiteral("< No Data Available >"));
    QCOMPARE(text(write("text.dll", "not a program")), QStringLiteral("< No Data Available >"));
    QCOMPARE(text(QFile::encodeName(dir.filePath("missing.exe"))),
             QStringLiteral("< No Data Available >"));
    const QByteArray other = versionBlock("2.0", "2.1", "040704e4", 0x0407, 0x04e4);
    QCOMPARE(text(write("german.exe", peFile(other))), QStringLiteral("2.1"));
    QCOMPARE(langCharset, QStringLiteral("040704E4"));
}

CLARIVEX_TEST_MAIN_CORE(TestVersionLabelText)
#include "tst_version_label_text.moc"
