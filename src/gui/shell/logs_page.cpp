#include "gui/shell/logs_page.h"

#include "gui/shell/log_list_model.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace clarivex {

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

    ListViewLogs = new QTreeView(this);
    ListViewLogs->setObjectName(QStringLiteral("ListViewLogs"));
    m_model = new LogListModel(this);
    ListViewLogs->setModel(m_model);
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
    m_model->setLines(m_log.loadLines());
}

void TLogsPage::WriteLogEvent(const QString &text)
{
    m_log.WriteLogEvent(text, cbLogEvents->isChecked(),
                        [this](const LogEntry &entry) { addRow(entry); });
}

void TLogsPage::addRow(const LogEntry &entry)
{
    // New rows go to the end, also after a sort: the list sorts only on a click.
    m_model->append(entry);
}

void TLogsPage::btnClearLogsClick()
{
    m_model->clearRows();
    (void)m_log.clear(); // a file that will not go stays; the next event appends to it
}

QList<LogEntry> TLogsPage::rows() const
{
    QList<LogEntry> result;
    result.reserve(m_model->rowCount());
    for (int i = 0; i < m_model->rowCount(); ++i)
        result.append(m_model->entryAt(i));
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
    m_model->sort(column, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    ListViewLogs->header()->setSortIndicatorShown(true);
    ListViewLogs->header()->setSortIndicator(column, m_ascending ? Qt::AscendingOrder
                                                                 : Qt::DescendingOrder);
}

} // namespace clarivex
