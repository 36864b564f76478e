#pragma once

// The drive list: one row per mounted volume, checked (with check boxes) or
// selected (without) by the user. Scans ask it for the chosen volumes' roots.

#include "core/platform/volumes.h"

#include <QTreeWidget>

namespace clarivex {

class TDiskListView : public QTreeWidget
{
    Q_OBJECT
    Q_PROPERTY(bool SelectLocalDrives MEMBER SelectLocalDrives)
public:
    explicit TDiskListView(QWidget *parent = nullptr);

    // Pre-select every fixed volume when filling.
    bool SelectLocalDrives = true;

    void SetCheckBoxes(bool on);
    [[nodiscard]] bool CheckBoxes() const { return m_checkBoxes; }
    // The header caption ("Select drives" unless the owner sets another).
    void SetColumnCaption(const QString &caption);

    // Rebuilds the rows from the volumes present now.
    void FillDrives();
    // The roots of the chosen rows, in list order.
    [[nodiscard]] QList<QByteArray> GetSelectedDrives() const;
    // The volume root a row stands for (empty for a row without one).
    [[nodiscard]] QByteArray RootOf(int row) const;
    [[nodiscard]] bool IsChosen(int row) const;
    void SetChecked(int row, bool checked);

    // The drive marks of the rows (drive_marks.h): 0xFF chosen, 0xFE not.
    [[nodiscard]] QByteArray DriveMarks() const;
    // Row i is checked exactly when byte i is 0xFF; empty marks (a first
    // start) check the first row, the home folder, alone.
    void ApplyDriveMarks(const QByteArray &marks);

signals:
    // Every change of a row, check-box toggles and selection included.
    void changed();

private:
    bool m_checkBoxes = false;
};

// The root inside a caption's final parentheses ("Data (/mnt/data)" -> "/mnt/data"),
// empty when the caption does not end in one.
[[nodiscard]] QString DriveRootOfCaption(const QString &caption);

// "Selected drive: " or "Selected drives: ", a carriage return, then each root
// followed by a blank; "No Drives Selected" for none.
[[nodiscard]] QString SelectedDrivesSummary(const QList<QByteArray> &roots);

} // namespace clarivex
