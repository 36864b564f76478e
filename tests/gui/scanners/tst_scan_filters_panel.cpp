#include "core/base/settings_types.h"
#include "gui/scanners/scan_filters_panel.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QRadioButton>

using namespace clarivex;

class TestScanFiltersPanel : public QObject
{
    Q_OBJECT
private slots:
    void namesCarryThePrefix_data();
    void namesCarryThePrefix();
    void initialStates();
    void optionButtonsLoadAsClicks_data();
    void optionButtonsLoadAsClicks();
    void roundTrip();
    void unstoredDatesKeepThePickers();
};

void TestScanFiltersPanel::namesCarryThePrefix_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::newRow("temporary files") << "TF";
    QTest::newRow("duplicate files") << "DF";
}

void TestScanFiltersPanel::namesCarryThePrefix()
{
    QFETCH(QString, prefix);
    ScanFiltersPanel panel(prefix);
    const QList<QPair<QWidget *, QString>> expected = {
        {panel.cbFileDate, "cb%1FileDate"},
        {panel.dtpBetween1, "dtp%1Between1"},
        {panel.dtpBetween2, "dtp%1Between2"},
        {panel.cbHidden, "cb%1Hidden"},
        {panel.cbReadOnly, "cb%1ReadOnly"},
        {panel.cbSystem, "cb%1System"},
        {panel.cbSize, "cb%1Size"},
        {panel.rbMax, "rb%1Max"},
        {panel.rbMin, "rb%1Min"},
        {panel.txtSize, "txt%1Size"},
        {panel.cbText, "cb%1Text"},
        {panel.txtText, "txt%1Text"},
    };
    for (const auto &[widget, pattern] : expected) {
        QCOMPARE(widget->objectName(), pattern.arg(prefix));
        QCOMPARE(panel.findChild<QWidget *>(pattern.arg(prefix)), widget);
    }
}

void TestScanFiltersPanel::initialStates()
{
    ScanFiltersPanel panel("TF");
    QCOMPARE(panel.cbFileDate->text(), QStringLiteral("File Date between:"));
    QCOMPARE(panel.cbHidden->text(), QStringLiteral("Hidden"));
    QCOMPARE(panel.cbReadOnly->text(), QStringLiteral("Read Only"));
    QCOMPARE(panel.cbSystem->text(), QStringLiteral("System"));
    QCOMPARE(panel.cbSize->text(), QStringLiteral("Size :"));
    QCOMPARE(panel.rbMax->text(), QStringLiteral("Max"));
    QCOMPARE(panel.rbMin->text(), QStringLiteral("Min"));
    QCOMPARE(panel.cbText->text(), QStringLiteral("Text :"));
    QVERIFY(!panel.cbFileDate->isChecked() && !panel.cbSize->isChecked() &&
            !panel.cbText->isChecked());
    QVERIFY(panel.cbHidden->isChecked() && panel.cbReadOnly->isChecked() &&
            panel.cbSystem->isChecked());
    QVERIFY(!panel.rbMax->isChecked() && !panel.rbMin->isChecked());
    QCOMPARE(panel.txtSize->text(), QStringLiteral("100"));
    QVERIFY(panel.txtText->text().isEmpty());
    // A first start stores neither size option: the defaults keep both clear.
    ScanFilterSettings saved;
    panel.saveSettings(saved);
    QVERIFY(!saved.Max && !saved.Min);
}

void TestScanFiltersPanel::optionButtonsLoadAsClicks_data()
{
    QTest::addColumn<QString>("before"); // "Max", "Min" or "" (neither)
    QTest::addColumn<bool>("max");
    QTest::addColumn<bool>("min");
    QTest::addColumn<QString>("after");
    QTest::newRow("max") << "" << true << false << "Max";
    QTest::newRow("min replaces max") << "Max" << false << true << "Min";
    QTest::newRow("both stored: the later wins") << "" << true << true << "Min";
    QTest::newRow("neither clears max") << "Max" << false << false << "";
    QTest::newRow("neither clears min") << "Min" << false << false << "";
}

void TestScanFiltersPanel::optionButtonsLoadAsClicks()
{
    QFETCH(QString, before);
    QFETCH(bool, max);
    QFETCH(bool, min);
    QFETCH(QString, after);
    ScanFiltersPanel panel("DF");
    if (before == "Max") panel.rbMax->click();
    if (before == "Min") panel.rbMin->click();
    ScanFilterSettings settings;
    settings.Max = max;
    settings.Min = min;
    panel.loadSettings(settings);
    QCOMPARE(panel.rbMax->isChecked(), after == "Max");
    QCOMPARE(panel.rbMin->isChecked(), after == "Min");
    // Still exclusive after being cleared.
    panel.rbMax->click();
    panel.rbMin->click();
    QVERIFY(!panel.rbMax->isChecked() && panel.rbMin->isChecked());
}

void TestScanFiltersPanel::roundTrip()
{
    ScanFilterSettings stored;
    stored.FileDate = true;
    stored.Between1 = QDateTime(QDate(1999, 12, 31), QTime(8, 30));
    stored.Between2 = QDateTime(QDate(2001, 2, 3), QTime(23, 59, 59));
    stored.Hidden = false;
    stored.ReadOnly = true;
    stored.System = false;
    stored.Size = true;
    stored.Max = true;
    stored.ScanForText = true;
    stored.TextToScanFor = QStringLiteral("password=");
    ScanFiltersPanel panel("TF");
    panel.loadSettings(stored);
    ScanFilterSettings saved;
    saved.PlaySound = stored.PlaySound; // the page's, not the panel's
    panel.saveSettings(saved);
    QCOMPARE(saved, stored);
    QCOMPARE(panel.txtSize->text(), QStringLiteral("100")); // not stored
}

void TestScanFiltersPanel::unstoredDatesKeepThePickers()
{
    ScanFiltersPanel panel("TF");
    const QDateTime chosen(QDate(2020, 5, 6), QTime(7, 8, 9));
    panel.dtpBetween1->setDateTime(chosen);
    ScanFilterSettings stored;
    stored.Between2 = QDateTime(QDate(2021, 1, 1), QTime(0, 0));
    panel.loadSettings(stored);
    QCOMPARE(panel.dtpBetween1->dateTime(), chosen);
    QCOMPARE(panel.dtpBetween2->dateTime(), *stored.Between2);
}

CLARIVEX_TEST_MAIN(TestScanFiltersPanel)
#include "tst_scan_filters_panel.moc"
