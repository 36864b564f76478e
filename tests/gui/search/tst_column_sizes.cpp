#include "core/search/column_sizes.h"
#include "core/shell/custom_registry.h"
#include "gui/search/kv_file_list_view.h"
#include "support/test_main.h"

#include <QHeaderView>

using namespace clarivex;

namespace {
const QString kKey = QStringLiteral("\\Software\\Marlowtek\\Clarivex 2000\\Settings\\");
}

class TestColumnSizes : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void format();
    void savedAndLoadedThroughTheStore();
    void onlyWhenAsked();
    void listViewAppliesWidths();
    void loadedWhenShownSavedWhenDestroyed();
};

void TestColumnSizes::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("widths");
    QTest::newRow("all") << "100,140,70" << 3 << QList<int>{100, 140, 70};
    QTest::newRow("too few numbers") << "100,140" << 4 << QList<int>{100, 140, -2, -2};
    QTest::newRow("trailing comma") << "100," << 3 << QList<int>{100, 0, -2};
    QTest::newRow("bad number gives 0") << "100,x,-2" << 3 << QList<int>{100, 0, -2};
    QTest::newRow("more numbers than columns") << "1,2,3,4" << 2 << QList<int>{1, 2};
    QTest::newRow("only a comma") << "," << 2 << QList<int>{0, 0};
}

void TestColumnSizes::parse()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QList<int>, widths);
    const auto parsed = parseColumnSizes(text, count);
    QVERIFY(parsed);
    QCOMPARE(*parsed, widths);
    QVERIFY(!parseColumnSizes(QString(), 3)); // empty: keep the widths as designed
}

void TestColumnSizes::format()
{
    QCOMPARE(formatColumnSizes({100, 140, 70, 70, 112, 50, -2, -2, -2, -2, -2}),
             QStringLiteral("100,140,70,70,112,50,-2,-2,-2,-2,-2"));
    QCOMPARE(formatColumnSizes({}), QString());
}

void TestColumnSizes::savedAndLoadedThroughTheStore()
{
    TFLSaveSettings settings;
    settings.AutoSave = true;
    settings.RegistryKey = kKey;
    settings.SaveColumns(3, {10, 20, 30});
    TRegIniFile registry(kKey);
    QCOMPARE(registry.ReadText(QStringLiteral("Columns"), QStringLiteral("Sizes"), QString()),
             QStringLiteral("10,20,30"));
    QList<int> widths;
    QVERIFY(settings.LoadColumns(5, widths));
    QCOMPARE(widths, (QList<int>{10, 20, 30, -2, -2}));
}

void TestColumnSizes::onlyWhenAsked()
{
    const QString key = kKey + QStringLiteral("Other\\");
    TFLSaveSettings settings;
    settings.RegistryKey = key;
    settings.SaveColumns(2, {1, 2}); // AutoSave is off by default
    QList<int> widths{7};
    settings.AutoSave = true;
    QVERIFY(!settings.LoadColumns(2, widths)); // nothing was written
    settings.SaveColumnSizes = false;
    settings.SaveColumns(2, {1, 2});
    settings.SaveColumnSizes = true;
    QVERIFY(!settings.LoadColumns(2, widths));
    settings.SaveColumns(0, {});
    QVERIFY(!settings.LoadColumns(2, widths));
    QCOMPARE(widths, QList<int>{7});
}

void TestColumnSizes::listViewAppliesWidths()
{
    TKvFileListView list;
    // The built-in widths, or the caption's (or a date's) width where that is more.
    const QList<int> builtIn{100, 140, 70, 70, 112, 50};
    for (int c = 0; c < builtIn.size(); ++c)
        QCOMPARE(list.ColumnWidths()[c], std::max(builtIn[c], list.FittedWidth(c)));
    QVERIFY(list.FittedWidth(colCreation) >
            list.fontMetrics().horizontalAdvance(QStringLiteral("07-12-2026 15:04:32")));
    QCOMPARE(list.ColumnWidths()[colCreation], list.FittedWidth(colCreation));
    QCOMPARE(list.FittedWidth(colFileVersion), list.header()->sectionSizeHint(colFileVersion));

    list.SaveSettings.AutoSave = true;
    list.SaveSettings.RegistryKey = kKey + QStringLiteral("List\\");
    TRegIniFile(list.SaveSettings.RegistryKey)
        .WriteText(QStringLiteral("Columns"), QStringLiteral("Sizes"), QStringLiteral("55,66"));
    list.LoadColumnSizes();
    QCOMPARE(list.ColumnWidths()[0], 55);
    QCOMPARE(list.ColumnWidths()[1], 66);
    QCOMPARE(list.ColumnWidths()[2], list.FittedWidth(2)); // -2: fit the header
    list.SaveColumnSizes();
    QList<int> stored;
    QVERIFY(list.SaveSettings.LoadColumns(kFoundFileColumnCount, stored));
    QCOMPARE(stored, list.ColumnWidths());
}

void TestColumnSizes::loadedWhenShownSavedWhenDestroyed()
{
    const QString key = kKey + QStringLiteral("Shown\\");
    TRegIniFile(key).WriteText(QStringLiteral("Columns"), QStringLiteral("Sizes"),
                               QStringLiteral("81,82,83"));
    auto list = std::make_unique<TKvFileListView>();
    list->SaveSettings.AutoSave = true;
    list->SaveSettings.RegistryKey = key;
    QCOMPARE(list->ColumnWidths()[0], 100);
    list->show();
    QCOMPARE(list->ColumnWidths()[0], 81);
    list->header()->resizeSection(0, 90);
    list.reset();
    const QString stored =
        TRegIniFile(key).ReadText(QStringLiteral("Columns"), QStringLiteral("Sizes"), QString());
    QVERIFY2(stored.startsWith(QStringLiteral("90,82,83,")), qPrintable(stored));
}

CLARIVEX_TEST_MAIN(TestColumnSizes)
#include "tst_column_sizes.moc"
