#include "gui/toolkit/colour_combo_box.h"
#include "gui/toolkit/colour_names.h"
#include "support/test_main.h"

using namespace clarivex::ui;

class TestColourNames : public QObject
{
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
    void comboKeepsUnnamedColours();
};

void TestColourNames::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("blue") << "clBlue" << QColor(0, 0, 255) << "clBlue";
    QTest::newRow("any case") << "CLSILVER" << QColor(192, 192, 192) << "clSilver";
    QTest::newRow("hex is blue-green-red") << "$000080FF" << QColor(255, 128, 0) << "$000080FF";
    QTest::newRow("hex of a named colour") << "$00800080" << QColor(128, 0, 128) << "clPurple";
}

void TestColourNames::texts()
{
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    QFETCH(QString, canonical);
    QCOMPARE(colourFromText(text), std::optional<QColor>(colour));
    QCOMPARE(colourToText(colour), canonical);
    QVERIFY(!colourFromText("clNoSuch"));
    QVERIFY(!colourFromText("$xyz"));
    QVERIFY(!colourFromText(""));
}

void TestColourNames::comboKeepsUnnamedColours()
{
    ColourComboBox box;
    box.setColourText("clTeal");
    QCOMPARE(box.colourText(), QStringLiteral("clTeal"));
    box.setColourText("$00123456");
    QCOMPARE(box.colourText(), QStringLiteral("$00123456"));
    QCOMPARE(box.colour(), QColor(0x56, 0x34, 0x12));
    box.setColourText("garbage");
    QCOMPARE(box.colourText(), QStringLiteral("clBlack"));
}

CLARIVEX_TEST_MAIN(TestColourNames)
#include "tst_colour_names.moc"
