#pragma once

// The summary under a drive list: "Selected drive: " and the checked roots.
// Lines break only between roots, never inside a path: a root that does not
// fit on the line gets a line of its own (and its tip shows each root whole).
// text() is the summary as SelectedDrivesSummary() makes it.

#include <QByteArray>
#include <QLabel>
#include <QList>

namespace clarivex {

class DrivesSummaryLabel : public QLabel
{
    Q_OBJECT
public:
    explicit DrivesSummaryLabel(QWidget *parent = nullptr);

    void showDrives(const QList<QByteArray> &roots);
    // The summary text (what is shown, without the line-break markup).
    [[nodiscard]] QString text() const { return m_summary; }

private:
    QString m_summary;
};

} // namespace clarivex
