#include "gui/shell/logs_page.h"

#include "gui/toolkit/wrap_check_box.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace clarivex {

namespace {

// A row that compares by the list's sort column: both columns as text,
// without regard to case (letters A to Z folded).
class LogRow : public QTreeWidgetItem
{
public:
    explicit LogRow(const LogEntry &entry)
        : QTreeWidgetItem(QStringList{entry.dateTime, entry.event})
    {
    }

    bool operator<(const QTreeWidgetItem &other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return foldedCompare(text(column), other.text(column)) < 0;
    }

private:
    static int foldedCompare(const QString &a, const QString &b)
    {
        const qsizetype n = std::min(a.size(), b.size());
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t x = fold(a.at(i).unicode());
            const char16_t y = fold(b.at(i).unicode());
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    static char16_t fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
};

} // namespace

TLogsPage::TLogsPage(const QString &logFilePath, QWidget *parent)
    : QWidget(parent), m_log(logFilePath)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *top = new QHBoxLayout;
    cbLogEvents = new ui::WrapCheckBox(QStringLiteral("Log Events"), this);
    cbLogEvents->setObjectName(QStringLiteral("cbLogEvents"));
    cbLogEvents->setChecked(true);
    btnClearLogs = new QPushButton(QStringLiteral("Clear Logs"), this);
    btnClearLogs->setObjectName(QStringLiteral("btnClearLogs"));
    top->addWidget(cbLogEvents, 1, Qt::AlignVCenter);
    top->addWidget(btnClearLogs);
    layout->addLayout(top);

    ListViewLogs = new QTreeWidget(this);
    ListViewLogs->setObjectName(QStringLiteral("ListViewLogs"));
    ListViewLogs->setColumnCount(2);
    ListViewLogs->setHeaderLabels({QStringLiteral("Date & Time"), QStringLiteral("Event")});
    ListViewLogs->setColumnWidth(0, 140);
    ListViewLogs->setColumnWidth(1, 180);
    ListViewLogs->setRootIsDecorated(false);
    ListViewLogs->setUniformRowHeights(true);
    ListViewLogs->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListViewLogs->setSelectionMode(QAbstractItemView::SingleSelection);
    ListViewLogs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListViewLogs->setMouseTracking(true); // hot tracking of the row under the mouse
    ListViewLogs->setAttribute(Qt::WA_Hover);
    ListViewLogs->header()->setStretchLastSection(true);
    ListViewLogs->header()->setSectionsClickable(true);
    ListViewLogs->header()->setSortIndicatorShown(false);
    layout->addWidget(ListViewLogs, 1);

    connect(btnClearLogs, &QPushButton::clicked, this, &TLogsPage::btnClearLogsClick);
    connect(ListViewLogs->header(), &QHeaderView::sectionClicked, this, &TLogsPage::columnClicked);
}

void TLogsPage::loadSettings(const GeneralOptions &options)
{
    cbLogEvents->setChecked(options.LogEvents);
}

void TLogsPage::saveSettings(GeneralOptions &options) const
{
    options.LogEvents = cbLogEvents->isChecked();
}

void TLogsPage::loadLog()
{
    const QList<LogEntry> entries = m_log.load();
    QList<QTreeWidgetItem *> items;
    items.reserve(entries.size());
    for (const LogEntry &entry : entries)
        items.append(new LogRow(entry));
    ListViewLogs->clear();
    ListViewLogs->addTopLevelItems(items);
}

void TLogsPage::WriteLogEvent(const QString &text)
{
    m_log.WriteLogEvent(text, cbLogEvents->isChecked(),
                        [this](const LogEntry &entry) { addRow(entry); });
}

void TLogsPage::addRow(const LogEntry &entry)
{
    // New rows go to the end, also after a sort: the list sorts only on a click.
    ListViewLogs->addTopLevelItem(new LogRow(entry));
}

void TLogsPage::btnClearLogsClick()
{
    ListViewLogs->clear();
    (void)m_log.clear(); // a file that will not go stays; the next event appends to it
}

QList<LogEntry> TLogsPage::rows() const
{
    QList<LogEntry> result;
    result.reserve(ListViewLogs->topLevelItemCount());
    for (int i = 0; i < ListViewLogs->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = ListViewLogs->topLevelItem(i);
        result.append({item->text(0), item->text(1)});
    }
    return result;
}

void TLogsPage::columnClicked(int column)
{
    if (column == m_sortColumn) {
        m_ascending = !m_ascending;
    } else {
        m_sortColumn = column;
        m_ascending = true;
    }
    ListViewLogs->sortItems(column, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    ListViewLogs->header()->setSortIndicatorShown(true);
    ListViewLogs->header()->setSortIndicator(column, m_ascending ? Qt::AscendingOrder
                                                                 : Qt::DescendingOrder);
}

} // namespace clarivex
