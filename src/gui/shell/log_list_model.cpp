#include "gui/shell/log_list_model.h"

#include <algorithm>
#include <numeric>

namespace clarivex {

namespace {
// Compares the bytes with the letters a to z folded to A to Z.
int foldedCompare(QByteArrayView a, QByteArrayView b)
{
    const auto fold = [](char c) { return uchar(c >= 'a' && c <= 'z' ? c - 32 : c); };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const uchar x = fold(a[i]);
        const uchar y = fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
} // namespace

LogListModel::LogListModel(QObject *parent) : QAbstractTableModel(parent) {}

void LogListModel::setLines(LogLines lines)
{
    beginResetModel();
    m_lines = std::move(lines);
    m_order.resize(size_t(m_lines.size()));
    m_order.shrink_to_fit();
    std::iota(m_order.begin(), m_order.end(), 0u);
    endResetModel();
}

void LogListModel::append(const LogEntry &entry)
{
    const int row = int(m_order.size());
    beginInsertRows({}, row, row);
    m_lines.append(entry);
    m_order.push_back(quint32(m_lines.size() - 1));
    endInsertRows();
}

void LogListModel::clearRows()
{
    setLines(LogLines());
}

LogEntry LogListModel::entryAt(int row) const
{
    return m_lines.entry(m_order[size_t(row)]);
}

int LogListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int LogListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant LogListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || size_t(index.row()) >= m_order.size())
        return {};
    const LogEntry entry = entryAt(index.row());
    return index.column() == 0 ? entry.dateTime : entry.event;
}

QVariant LogListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QStringLiteral("Date & Time") : QStringLiteral("Event");
}

void LogListModel::sort(int column, Qt::SortOrder order)
{
    emit layoutAboutToBeChanged();
    const bool ascending = order == Qt::AscendingOrder;
    std::stable_sort(m_order.begin(), m_order.end(), [&](quint32 a, quint32 b) {
        const int c = foldedCompare(m_lines.column(a, column), m_lines.column(b, column));
        return ascending ? c < 0 : c > 0;
    });
    emit layoutChanged();
}

} // namespace clarivex
