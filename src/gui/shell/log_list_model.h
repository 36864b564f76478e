#pragma once

// The rows of the "Logs" page over the compact lines of the event log
// (core/shell/log_lines.h): two columns, "Date & Time" and "Event", texts
// made when drawn. Rows keep the order they were added in until sort() puts
// them in order of a column (text without regard to the case of A to Z,
// ties in their previous order); rows added later go to the end.

#include "core/shell/log_lines.h"

#include <QAbstractTableModel>

#include <vector>

namespace clarivex {

class LogListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit LogListModel(QObject *parent = nullptr);

    void setLines(LogLines lines);
    void append(const LogEntry &entry);
    void clearRows();
    [[nodiscard]] LogEntry entryAt(int row) const;
    [[nodiscard]] const LogLines &lines() const { return m_lines; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    LogLines m_lines;
    std::vector<quint32> m_order; // shown row -> line
};

} // namespace clarivex
