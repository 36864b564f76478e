#pragma once

// The "Schedule Options" page. Tab "Schedule": the switch that turns
// scheduling on, the scans a scheduled run performs, and when it runs (every
// N minutes, hourly, daily, weekly or monthly). Tab "More": the scan at
// start-up and the clean when the program closes. The controls are the live
// schedule settings; the next-run computation reads them.
//
// Every change that can move the next run emits nextRunNeeded(): the window
// connects it to its next-run computation. A value the page rejects (a minute
// or a day of the month out of range, a text that is no number) emits
// nothing and keeps the focus in its field.

#include "core/base/settings_types.h"
#include "core/schedule/schedule_arithmetic.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTimeEdit;

namespace clarivex {

class SchedulerStatePanel;

namespace ui {
class UpDown;
}

class TSchedulePage : public QWidget
{
    Q_OBJECT
public:
    explicit TSchedulePage(QWidget *parent = nullptr);

    // Loading sets each control as a click would and runs the page's handlers:
    // cbScheduleScansClick after "ScheduleScans", rbEveryClick for the kind,
    // TrackBar95Change after the slider. A null time keeps its picker's value;
    // a kind outside 0 to 4 keeps the kind chosen now.
    void loadSettings(const ScheduleSettings &settings);
    void saveSettings(ScheduleSettings &settings) const;

    // 0 Every .. 4 Monthly: the checked radio button, -1 when none is.
    int scheduleKind() const;
    // Shows the result of a computation of kind Every: "Next scan at: " + time text.
    void showNextScan(const QString &timeText);
    // Shows a computation's result in words: "Next scan at: 18:00:00 tomorrow",
    // or why no scan is planned.
    void showNextRun(const NextRun &next, const QDateTime &now);
    // The values the next-run computation reads: the checked kind (-1 when
    // none is), the slider, the two fields' texts, the pickers' times as
    // time texts and the weekday.
    ScheduleValues scheduleValues() const;
    QTabWidget *tabs() const { return m_tabs; }

    // Shows a conversion error; set by the window to its error display. Without
    // it the error goes to the notice service.
    std::function<void(const QString &message)> showError;

    void cbScheduleScansClick();
    void TrackBar95Change();
    void rbEveryClick();
    void cbWeeklyChange();
    // The value checks on leaving the two number fields; true when accepted.
    bool txtHourlyExit();
    bool txtMonthly_DayExit();

    QCheckBox *cbScheduleScans = nullptr;
    QWidget *pnlScheduleScans = nullptr;
    QCheckBox *cbScheduleTF = nullptr;
    QCheckBox *cbScheduleDirs = nullptr;
    QGroupBox *gbSchedule = nullptr;
    QRadioButton *rbEvery = nullptr;
    QSlider *TrackBar95 = nullptr;
    QLabel *lblScanInterval = nullptr;
    QLabel *lblNextSearch = nullptr;
    QRadioButton *rbHourly = nullptr;
    QLineEdit *txtHourly = nullptr;
    ui::UpDown *udHourly = nullptr;
    QRadioButton *rbDaily = nullptr;
    QTimeEdit *dtpDaily = nullptr;
    QRadioButton *rbWeekly = nullptr;
    QTimeEdit *dtpWeekly = nullptr;
    QComboBox *cbWeekly = nullptr;
    QRadioButton *rbMonthly = nullptr;
    QTimeEdit *dtpMonthly = nullptr;
    QLineEdit *txtMonthly_Day = nullptr;
    ui::UpDown *udMonthly_Day = nullptr;
    QCheckBox *cbScanAtStartUp = nullptr;
    QCheckBox *cbCleanOnClose = nullptr;
    // Whether a Scheduler runs, with Start and Stop.
    SchedulerStatePanel *schedulerPanel = nullptr;

signals:
    void nextRunNeeded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildScheduleTab();
    QWidget *buildMoreTab();
    QWidget *buildEveryFrame(QWidget *parent);
    void fillWeekdays();
    bool checkRange(QLineEdit *field, int minimum, int maximum, const QString &message);
    QRadioButton *kindButton(int kind) const;

    QTabWidget *m_tabs = nullptr;
    QWidget *m_moreTab = nullptr;
    int m_weekday = -1; // the weekday chosen last, to tell a change from a repeat
    bool m_checking = false;
};

} // namespace clarivex
