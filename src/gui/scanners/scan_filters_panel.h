#pragma once

// The advanced filters that the temporary-file and duplicate-file pages share:
// a date range, the attributes a listed file may have, a size limit in KB and
// a text the file must contain. The controls carry the page's prefix in their
// object names ("cbTFHidden", "cbDFHidden", ...).

#include <QWidget>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QRadioButton;

namespace clarivex {

struct ScanFilterSettings;

class ScanFiltersPanel : public QWidget
{
    Q_OBJECT
public:
    // `prefix` is "TF" or "DF".
    explicit ScanFiltersPanel(const QString &prefix, QWidget *parent = nullptr);

    // The filter values of `settings` (file date to text; the sound and the
    // drive marks belong to the page). A date that was not stored leaves its
    // picker as it is; an option button set to false is cleared, one set to
    // true clears its sibling.
    void loadSettings(const ScanFilterSettings &settings);
    void saveSettings(ScanFilterSettings &settings) const;

    QCheckBox *cbFileDate = nullptr;
    QDateTimeEdit *dtpBetween1 = nullptr;
    QDateTimeEdit *dtpBetween2 = nullptr;
    QCheckBox *cbHidden = nullptr;
    QCheckBox *cbReadOnly = nullptr;
    QCheckBox *cbSystem = nullptr;
    QCheckBox *cbSize = nullptr;
    QRadioButton *rbMax = nullptr;
    QRadioButton *rbMin = nullptr;
    QLineEdit *txtSize = nullptr; // KB; "100" at every start, not stored
    QCheckBox *cbText = nullptr;
    QLineEdit *txtText = nullptr;
};

} // namespace clarivex
