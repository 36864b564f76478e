#pragma once

// The summary under a drive list: "Selected drive: " and the checked roots.
// Each root has a line of its own and never breaks: one wider than the label
// is shortened in the middle, and the label's tip shows every root whole.
// text() is the summary as SelectedDrivesSummary() makes it.

#include <QByteArray>
#include <QLabel>
#include <QList>
#include <QStringList>

namespace clarivex {

class DrivesSummaryLabel : public QLabel
{
    Q_OBJECT
public:
    explicit DrivesSummaryLabel(QWidget *parent = nullptr);

    void showDrives(const QList<QByteArray> &roots);
    // The summary text (what is shown, without the line-break markup).
    [[nodiscard]] QString text() const { return m_summary; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void render();
    QString m_summary;
    QStringList m_roots;
};

} // namespace clarivex
