#include "gui/toolkit/minimize_path.h"
#include "support/test_main.h"

#include <QFontMetrics>

using namespace clarivex;

class TestMinimizePath : public QObject
{
    Q_OBJECT
private slots:
    void shortensFromTheFront();
    void fittingPathIsUnchanged();
};

void TestMinimizePath::shortensFromTheFront()
{
    const QFontMetrics metrics(QApplication::font());
    const QString path = QStringLiteral("/media/stick/photos/holiday/2026/day-one/");
    const auto at = [&](const QString &text) {
        return ui::MinimizeFolderPath(path, metrics, metrics.horizontalAdvance(text));
    };
    QCOMPARE(at(QStringLiteral("/.../photos/holiday/2026/day-one/")),
             QStringLiteral("/.../photos/holiday/2026/day-one/"));
    QCOMPARE(at(QStringLiteral("/.../day-one/")), QStringLiteral("/.../day-one/"));
    QCOMPARE(at(QStringLiteral(".../day-one/")), QStringLiteral(".../day-one/"));
    QCOMPARE(at(QStringLiteral("day-one/")), QStringLiteral("day-one/"));
    // Narrower still: whatever is left is cut, and it always fits.
    for (int width : {40, 10, 0}) {
        const QString text = ui::MinimizeFolderPath(path, metrics, width);
        QVERIFY2(metrics.horizontalAdvance(text) <= width || text.isEmpty(), qPrintable(text));
    }
}

void TestMinimizePath::fittingPathIsUnchanged()
{
    const QFontMetrics metrics(QApplication::font());
    const QString path = QStringLiteral("/tmp/a/");
    QCOMPARE(ui::MinimizeFolderPath(path, metrics, 1000), path);
    QCOMPARE(ui::MinimizeFolderPath(QStringLiteral("/"), metrics, 1000), QStringLiteral("/"));
}

CLARIVEX_TEST_MAIN(TestMinimizePath)
#include "tst_minimize_path.moc"
