#include "core/cleaning/list_print.h"

#include "core/base/formats.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace clarivex::cleaning {

namespace {

// Where each column starts, in device units from the left indent, and the
// width (window pixels) its text is shortened to; 0 keeps the text whole.
struct PrintColumn
{
    int column;
    int x;
    int fitWidth;
};
constexpr PrintColumn kColumns[] = {
    {colName, 0, 100},    {colFolder, 300, 160},  {colSize, 1000, 0},
    {colType, 1200, 100}, {colModified, 1675, 0}, {colAttributes, 2165, 0},
};

} // namespace

QString FitTextWithEllipsis(const QString &text, const QFontMetrics &metrics, int width)
{
    if (text.isEmpty() || metrics.horizontalAdvance(text) <= width) return text;
    const int average = metrics.averageCharWidth();
    if (average <= 0 || 3 * average >= width) return QStringLiteral(".");
    const QString dots = QStringLiteral("...");
    qsizetype k = width / average - 1;
    const auto wide = [&](qsizetype length) {
        return metrics.horizontalAdvance(text.left(length) + dots);
    };
    if (wide(k) > width) {
        while (k >= 2 && wide(k) >= width)
            --k;
    } else {
        while (k < text.size() && wide(k + 1) <= width)
            ++k;
    }
    return text.left(k) + dots;
}

QList<PrintPage> paginateRows(int rowCount, int linesPerPage)
{
    // A page too short for the header still takes one row, so printing ends.
    const int perPage = std::max(linesPerPage - 2, 1);
    QList<PrintPage> pages;
    for (int first = 0; first < rowCount; first += perPage)
        pages.append({first, std::min(perPage, rowCount - first)});
    return pages;
}

FoundListPrint::FoundListPrint(const FoundFileModel &model, Fit fit)
    : m_model(model), m_fit(std::move(fit))
{
}

QFont FoundListPrint::printerFont()
{
    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

int FoundListPrint::lineHeight(QPaintDevice &device)
{
    return std::max(QFontMetrics(printerFont(), &device).height(), 1);
}

int FoundListPrint::linesPerPage(QPaintDevice &device)
{
    return device.height() / lineHeight(device);
}

int FoundListPrint::leftIndent(const QPagedPaintDevice &device)
{
    const QPageLayout layout = device.pageLayout();
    const int resolution = device.logicalDpiX();
    const QRect paper = layout.fullRectPixels(resolution);
    const QRect printable = layout.paintRectPixels(resolution);
    const int left = printable.left() - paper.left();
    const int right = paper.width() - printable.width() - left;
    return left < right ? right - left : 0;
}

QString FoundListPrint::headerText(int page, const QDateTime &now)
{
    return QStringLiteral("Page %1: @ %2").arg(page).arg(formatDateTime(now)).toLower();
}

bool FoundListPrint::print(QPagedPaintDevice &device, QString &error) const
{
    const QList<PrintPage> pages = paginateRows(m_model.RowCount(), linesPerPage(device));
    if (pages.isEmpty()) return true;
    const int h = lineHeight(device);
    const int indent = leftIndent(device);
    QPainter painter;
    if (!painter.begin(&device)) {
        error = QStringLiteral("The printer cannot be used.");
        return false;
    }
    painter.setFont(printerFont());
    const int ascent = painter.fontMetrics().ascent();
    // Texts are placed by their top left corner, as a printer canvas does.
    const auto text = [&](int x, int y, const QString &s) { painter.drawText(x, y + ascent, s); };
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0 && !device.newPage()) {
            error = QStringLiteral("The printer takes no further page.");
            painter.end();
            return false;
        }
        text(indent, 0, headerText(int(p) + 1, clock()));
        int y = 2 * h;
        for (int row = pages[p].first; row < pages[p].first + pages[p].count; ++row, y += h) {
            if (m_model.IsSeparator(row)) {
                text(indent, y, QStringLiteral(" "));
                continue;
            }
            for (const PrintColumn &column : kColumns) {
                const QString cell = m_model.CellText(row, column.column);
                text(indent + column.x, y,
                     column.fitWidth && m_fit ? m_fit(cell, column.fitWidth) : cell);
            }
        }
    }
    return painter.end();
}

} // namespace clarivex::cleaning
