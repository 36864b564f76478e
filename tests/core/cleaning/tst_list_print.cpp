// The printed list: how texts are shortened, how rows fall on pages, and a
// real print to PDF read back with pdftotext.

#include "core/cleaning/list_print.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace clarivex;
using namespace clarivex::cleaning;

namespace {

QFont monospace()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(10);
    return font;
}

// The PDF's text, one entry a page.
QStringList pdfPages(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!test::finishes(process, "pdftotext")) return {};
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

QStringList nonEmptyLines(const QString &page)
{
    QStringList lines;
    for (const QString &line : page.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty()) lines << line.trimmed();
    return lines;
}

} // namespace

class TestListPrint : public QObject
{
    Q_OBJECT
private slots:
    void fitTextWithEllipsis_data();
    void fitTextWithEllipsis();
    void fitTextGrowsToTheLongestPrefixThatFits();
    void paginate_data();
    void paginate();
    void leftIndentCentresThePrintableArea();
    void hundredRowsOnTwoPages();

private:
    QTemporaryDir m_dir;
};

void TestListPrint::fitTextWithEllipsis_data()
{
    // Widths in characters of a monospace font.
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("chars");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << 2.0 << QString();
    QTest::newRow("fits exactly") << "abc" << 3.0 << "abc";
    QTest::newRow("whole text at its width") << "abcdefghij" << 10.0 << "abcdefghij";
    QTest::newRow("three characters are too many") << "abcdefghij" << 3.0 << ".";
    QTest::newRow("one character left") << "abcdefghij" << 3.5 << "a...";
    QTest::newRow("dots must be narrower") << "abcdefghij" << 7.0 << "abc...";
    QTest::newRow("half a character spare") << "abcdefghij" << 7.5 << "abcd...";
    QTest::newRow("one short of the whole") << "abcdefghij" << 9.5 << "abcdef...";
    QTest::newRow("non-ASCII") << QString::fromUtf8("äöüßäöüßäöüß") << 7.5
                               << QString::fromUtf8("äöüß...");
}

void TestListPrint::fitTextWithEllipsis()
{
    QFETCH(QString, text);
    QFETCH(double, chars);
    QFETCH(QString, expected);
    const QFontMetrics metrics(monospace());
    const int c = metrics.horizontalAdvance(QLatin1Char('a'));
    QVERIFY(c > 0);
    QCOMPARE(metrics.averageCharWidth(), c); // the cases assume a monospace font
    QCOMPARE(FitTextWithEllipsis(text, metrics, int(chars * c)), expected);
}

void TestListPrint::fitTextGrowsToTheLongestPrefixThatFits()
{
    // Narrow letters in a proportional font: the first guess is too short.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QString text(80, QLatin1Char('i'));
    const int width = 100;
    const QString fitted = FitTextWithEllipsis(text, metrics, width);
    QVERIFY2(fitted.endsWith(QStringLiteral("...")), qPrintable(fitted));
    const qsizetype kept = fitted.size() - 3;
    QVERIFY(kept > width / metrics.averageCharWidth());
    QVERIFY(metrics.horizontalAdvance(fitted) <= width);
    QVERIFY(metrics.horizontalAdvance(text.left(kept + 1) + QStringLiteral("...")) > width);
}

void TestListPrint::paginate_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<int>>("firsts");
    QTest::addColumn<QList<int>>("counts");
    QTest::newRow("100 rows, 52 lines") << 100 << 52 << QList<int>{0, 50} << QList<int>{50, 50};
    QTest::newRow("exactly one page") << 50 << 52 << QList<int>{0} << QList<int>{50};
    // One row past a full page still gets printed.
    QTest::newRow("one row over") << 51 << 52 << QList<int>{0, 50} << QList<int>{50, 1};
    QTest::newRow("single row") << 1 << 52 << QList<int>{0} << QList<int>{1};
    QTest::newRow("empty list") << 0 << 52 << QList<int>{} << QList<int>{};
    // A page with no room below the header still moves on.
    QTest::newRow("tiny page") << 3 << 2 << QList<int>{0, 1, 2} << QList<int>{1, 1, 1};
}

void TestListPrint::paginate()
{
    QFETCH(int, rows);
    QFETCH(int, lines);
    QFETCH(QList<int>, firsts);
    QFETCH(QList<int>, counts);
    const QList<PrintPage> pages = paginateRows(rows, lines);
    QList<int> gotFirsts, gotCounts;
    for (const PrintPage &page : pages) {
        gotFirsts << page.first;
        gotCounts << page.count;
    }
    QCOMPARE(gotFirsts, firsts);
    QCOMPARE(gotCounts, counts);
}

void TestListPrint::leftIndentCentresThePrintableArea()
{
    QPdfWriter writer(m_dir.filePath(QStringLiteral("indent.pdf")));
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(10, 10, 30, 10), QPageLayout::Millimeter));
    // 20 mm more on the right than on the left, at 600 dpi.
    QVERIFY(qAbs(FoundListPrint::leftIndent(writer) - qRound(20 / 25.4 * 600)) <= 6);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(30, 10, 10, 10), QPageLayout::Millimeter));
    QCOMPARE(FoundListPrint::leftIndent(writer), 0);
}

void TestListPrint::hundredRowsOnTwoPages()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QVERIFY(m_dir.isValid());
    FoundFileModel model;
    for (int i = 1; i <= 100; ++i) {
        const QString path =
            m_dir.filePath(QStringLiteral("row%1.txt").arg(i, 3, 10, QLatin1Char('0')));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(i, 'x'));
        file.close();
        qint64 size = 0;
        QVERIFY(model.AddFile(QFile::encodeName(path), size));
    }
    model.FlushPending();

    const QString pdf = m_dir.filePath(QStringLiteral("list.pdf"));
    QPdfWriter writer(pdf);
    // The resolution the window prints at: the columns then fit 8 pt text.
    writer.setResolution(kListPrintResolution);
    const int h = FoundListPrint::lineHeight(writer);
    // A page 52.5 lines high, without margins.
    const double heightPoints = (52 * h + h / 2) * 72.0 / kListPrintResolution;
    writer.setPageLayout(QPageLayout(QPageSize(QSizeF(612, heightPoints), QPageSize::Point),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QCOMPARE(FoundListPrint::linesPerPage(writer), 52);

    const QFontMetrics window(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    FoundListPrint print(model, [&](const QString &text, int width) {
        return FitTextWithEllipsis(text, window, width);
    });
    const QDateTime stamp(QDate(2026, 3, 4), QTime(5, 6, 7));
    print.clock = [stamp] { return stamp; };
    QString error;
    QVERIFY2(print.print(writer, error), qPrintable(error));

    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 2);
    for (int p = 0; p < 2; ++p) {
        const QStringList lines = nonEmptyLines(pages[p]);
        QCOMPARE(lines.size(), 51);
        QCOMPARE(lines.first(), QStringLiteral("page %1: @ 04-03-2026 05:06:07").arg(p + 1));
        for (int i = 0; i < 50; ++i) {
            const int row = p * 50 + i + 1;
            QVERIFY2(lines[i + 1].startsWith(
                         QStringLiteral("row%1.txt").arg(row, 3, 10, QLatin1Char('0'))),
                     qPrintable(lines[i + 1]));
            QVERIFY2(
                lines[i + 1].contains(QLatin1Char(' ') + QString::number(row) + QLatin1Char(' ')),
                qPrintable(lines[i + 1]));
        }
    }
    // The blank line between the header and the rows.
    QVERIFY(pages[0].split(QLatin1Char('\n')).value(1).trimmed().isEmpty());
}

CLARIVEX_TEST_MAIN(TestListPrint)
#include "tst_list_print.moc"
