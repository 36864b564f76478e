#pragma once

// Which rows of a found-file list a clean takes. One set of rules for every
// way a clean starts (the buttons, the Delete key, the list's menu, the
// automatic clean after a scan, a scheduled run, clarivex-cli), read from the
// rows' own origin:
//
//   - no clean takes the last copy of a duplicate set still on the list:
//     when every copy would go, one stays (the master when it was chosen);
//   - a clean of all rows and an automatic clean never take a set's master;
//     a master goes only when the user selected it by hand and then agreed
//     to a question (`masters`), and only while another copy of its set stays;
//   - no clean takes a file of a reference folder (the model's reference
//     rows), whatever the scope, the selection or an answer to a question;
//   - an automatic clean takes only the rows its own scan found in its own
//     run, so rows that were on the list before the run began stay.
//
// A set is known by its files (device and inode as the scan saw them): a row
// of another scan that lists a file of a set is that copy of the set.

#include "core/search/row_origin.h"

#include <QList>
#include <QString>

namespace clarivex {
class FoundFileModel;
}

namespace clarivex::cleaning {

enum class CleanScope : quint8 {
    All,       // every row on the list: Clean All, the clean when the window closes
    Selected,  // the rows the user selected: Clean Selected, the Delete key, Delete File
    Automatic, // the rows one scan found in one run, after that scan (window, schedule, CLI)
};

struct CleanChoice
{
    CleanScope scope = CleanScope::All;
    QList<int> selected;                     // Selected: the rows, in any order
    ScanOrigin scan = ScanOrigin::TempFiles; // Automatic: whose rows
    RunIndex run = 0;

    [[nodiscard]] static CleanChoice all() { return {}; }
    [[nodiscard]] static CleanChoice selectedRows(QList<int> rows)
    {
        return {CleanScope::Selected, std::move(rows), ScanOrigin::TempFiles, 0};
    }
    [[nodiscard]] static CleanChoice automatic(ScanOrigin scan, RunIndex run)
    {
        return {CleanScope::Automatic, {}, scan, run};
    }
};

// A master the user selected by hand: cleaned only when the question is
// answered Yes. `copiesLeft` copies of its set stay on the list (-1: the
// same master listed by a second row, which goes or stays with the first).
struct MasterChoice
{
    int row = -1;
    int copiesLeft = 0;
};

struct CleanSelection
{
    QList<int> rows;             // to clean, in list order; includes `masters`
    QList<MasterChoice> masters; // hand-selected masters: ask first
    QList<int> keptLastCopy;     // chosen, but the last copy of their set
    QList<int> keptMasters;      // chosen by a clean of all or an automatic clean
    QList<int> keptReferences;   // chosen, but in a reference folder
    [[nodiscard]] bool isEmpty() const { return rows.isEmpty(); }
    // The question about the masters was answered No: they stay.
    void dropMasters();
};

[[nodiscard]] CleanSelection selectRowsToClean(const FoundFileModel &model,
                                               const CleanChoice &choice);

// The question for the hand-selected masters (empty when there are none):
// it names the set's first copy and how many copies remain.
[[nodiscard]] QString masterQuestion(const FoundFileModel &model, const CleanSelection &selection);

} // namespace clarivex::cleaning
