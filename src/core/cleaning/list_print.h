#pragma once

// The printed list of found files. Every page starts with the header line
// "page N: @ <date time>" and a blank line, then one line per row in a
// monospace 8 pt font: the name, folder, size, type, modified date and
// attributes at fixed positions in the device's own units. Names, folders and
// types are shortened to a width measured with the window's font, so the
// paper shows what the list shows.

#include "core/search/found_file_model.h"

#include <QDateTime>
#include <QFont>
#include <QList>
#include <QString>

#include <functional>

class QFontMetrics;
class QPagedPaintDevice;
class QPaintDevice;

namespace clarivex::cleaning {

// The text shortened to `width` pixels with "..." at its end; "." alone when
// not even three average characters fit.
[[nodiscard]] QString FitTextWithEllipsis(const QString &text, const QFontMetrics &metrics,
                                          int width);

// The rows of each page: [first, first + count). Every page holds up to
// linesPerPage - 2 rows (the header and a blank line come first), at least one.
struct PrintPage
{
    int first = 0;
    int count = 0;
};
[[nodiscard]] QList<PrintPage> paginateRows(int rowCount, int linesPerPage);

// The column positions are device units laid out for a printer of 300 dots
// per inch: at that resolution 8 pt text fits between them. The window sets
// its printer to it before printing.
inline constexpr int kListPrintResolution = 300;

class FoundListPrint
{
public:
    // Shortens a cell's text to a width in the window's pixels.
    using Fit = std::function<QString(const QString &text, int width)>;

    FoundListPrint(const FoundFileModel &model, Fit fit);

    [[nodiscard]] static QFont printerFont();
    [[nodiscard]] static int lineHeight(QPaintDevice &device);
    [[nodiscard]] static int linesPerPage(QPaintDevice &device);
    // Moves the text right by what the printable area sits off centre.
    [[nodiscard]] static int leftIndent(const QPagedPaintDevice &device);
    [[nodiscard]] static QString headerText(int page, const QDateTime &now);

    // Prints every row, a page after the other; false with `error` when the
    // device cannot be painted on or takes no further page. An empty list
    // prints nothing.
    [[nodiscard]] bool print(QPagedPaintDevice &device, QString &error) const;

    // When each page is stamped; the current time by default.
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTime(); };

private:
    const FoundFileModel &m_model;
    Fit m_fit;
};

} // namespace clarivex::cleaning
