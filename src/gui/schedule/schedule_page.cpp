#include "gui/schedule/schedule_page.h"

#include "core/base/formats.h"
#include "gui/schedule/scheduler_state_panel.h"
#include "gui/toolkit/notice_service.h"
#include "gui/toolkit/up_down.h"
#include "gui/toolkit/wrap_check_box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <optional>

namespace clarivex {

namespace {

template <typename T> T *named(const char *name, const char *caption, QWidget *parent)
{
    auto *widget = new T(QString::fromLatin1(caption), parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel *text(const char *caption, QWidget *parent)
{
    return new QLabel(QString::fromLatin1(caption), parent);
}

QLineEdit *numberEdit(const char *name, const char *initial, QWidget *parent)
{
    auto *edit = new QLineEdit(QString::fromLatin1(initial), parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(2);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00")) + 8);
    return edit;
}

QTimeEdit *timePicker(const char *name, QWidget *parent)
{
    // A picker starts at the time of day it was made, to the second.
    const QTime now = QTime::currentTime();
    auto *picker = new QTimeEdit(QTime(now.hour(), now.minute(), now.second()), parent);
    picker->setObjectName(QString::fromLatin1(name));
    picker->setDisplayFormat(QStringLiteral("hh:mm:ss"));
    // Typed, or stepped with the arrow keys and the wheel: the page has no
    // room for spin buttons on every line.
    picker->setButtonSymbols(QAbstractSpinBox::NoButtons);
    picker->setMinimumWidth(picker->sizeHint().width());
    return picker;
}

// The field's text as a whole number, the way a conversion reads it: blanks
// around it are allowed, anything else is no number.
std::optional<int> wholeNumber(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

} // namespace

TSchedulePage::TSchedulePage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    m_tabs = new QTabWidget(this);
    // A page shown smaller than its controls scrolls instead of squeezing them.
    auto *scroll = new QScrollArea(m_tabs);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(buildScheduleTab());
    m_tabs->addTab(scroll, QStringLiteral("Schedule"));
    m_moreTab = buildMoreTab();
    m_tabs->addTab(m_moreTab, QStringLiteral("More"));
    layout->addWidget(m_tabs);
    fillWeekdays();
    // The built-in state: scheduling off, so the scans, the times and the tab
    // "More" are out of reach until it is switched on.
    pnlScheduleScans->setVisible(false);
    gbSchedule->setEnabled(false);
    m_tabs->setTabVisible(m_tabs->indexOf(m_moreTab), false);
}

QWidget *TSchedulePage::buildScheduleTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);

    auto *top = new QHBoxLayout;
    cbScheduleScans = named<QCheckBox>("cbScheduleScans", "Schedule Scans", tab);
    pnlScheduleScans = new QWidget(tab);
    pnlScheduleScans->setObjectName(QStringLiteral("pnlScheduleScans"));
    auto *scans = new QHBoxLayout(pnlScheduleScans);
    scans->setContentsMargins(0, 0, 0, 0);
    cbScheduleTF = named<QCheckBox>("cbScheduleTF", "Temporary Files", pnlScheduleScans);
    cbScheduleDirs = named<QCheckBox>("cbScheduleDirs", "Directories", pnlScheduleScans);
    scans->addWidget(cbScheduleTF);
    scans->addWidget(cbScheduleDirs);
    scans->addStretch(1); // the two stay together beside "Schedule Scans"
    // Hiding the panel must not move the check box beside it.
    QSizePolicy keep = pnlScheduleScans->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    pnlScheduleScans->setSizePolicy(keep);
    top->addWidget(cbScheduleScans);
    top->addWidget(pnlScheduleScans, 1);
    layout->addLayout(top);

    gbSchedule = new QGroupBox(QStringLiteral("Run"), tab);
    gbSchedule->setObjectName(QStringLiteral("gbSchedule"));
    auto *run = new QVBoxLayout(gbSchedule);
    run->setContentsMargins(4, 2, 4, 3);
    run->setSpacing(2);
    run->addWidget(buildEveryFrame(gbSchedule));

    // One line per kind, each as long as it needs: the page is narrow.
    auto *rows = new QVBoxLayout;
    rows->setSpacing(2);
    rbHourly = named<QRadioButton>("rbHourly", "Hourly: Start at", gbSchedule);
    txtHourly = numberEdit("txtHourly", "0", gbSchedule);
    udHourly = new ui::UpDown(txtHourly, 0, 59, gbSchedule);
    auto *hourly = new QHBoxLayout;
    hourly->setSpacing(2);
    hourly->addWidget(txtHourly);
    hourly->addWidget(udHourly);
    hourly->addSpacing(4);
    hourly->addWidget(text("minutes after the hour", gbSchedule));
    hourly->addStretch(1);
    hourly->insertWidget(0, rbHourly);
    rows->addLayout(hourly);

    rbDaily = named<QRadioButton>("rbDaily", "Daily at:", gbSchedule);
    dtpDaily = timePicker("dtpDaily", gbSchedule);
    auto *daily = new QHBoxLayout;
    daily->addWidget(dtpDaily);
    daily->addStretch(1);
    daily->insertWidget(0, rbDaily);
    rows->addLayout(daily);

    rbWeekly = named<QRadioButton>("rbWeekly", "Weekly", gbSchedule);
    dtpWeekly = timePicker("dtpWeekly", gbSchedule);
    cbWeekly = new QComboBox(gbSchedule);
    cbWeekly->setObjectName(QStringLiteral("cbWeekly"));
    auto *weekly = new QHBoxLayout;
    weekly->addWidget(dtpWeekly);
    weekly->addWidget(text("every", gbSchedule));
    weekly->addWidget(cbWeekly);
    weekly->addStretch(1); // the weekday box keeps the width of its longest name
    weekly->insertWidget(0, rbWeekly);
    rows->addLayout(weekly);

    rbMonthly = named<QRadioButton>("rbMonthly", "Monthly", gbSchedule);
    dtpMonthly = timePicker("dtpMonthly", gbSchedule);
    txtMonthly_Day = numberEdit("txtMonthly_Day", "1", gbSchedule);
    udMonthly_Day = new ui::UpDown(txtMonthly_Day, 1, 31, gbSchedule);
    auto *monthly = new QHBoxLayout;
    monthly->setSpacing(2);
    monthly->addWidget(rbMonthly);
    monthly->addWidget(dtpMonthly);
    monthly->addWidget(text("on the", gbSchedule));
    auto *day = new QHBoxLayout;
    day->setSpacing(1);
    day->addWidget(txtMonthly_Day);
    day->addWidget(udMonthly_Day);
    monthly->addLayout(day);
    monthly->addWidget(text("day of the month", gbSchedule));
    monthly->addStretch(1);
    rows->addLayout(monthly);
    run->addLayout(rows);
    layout->addWidget(gbSchedule);
    schedulerPanel = new SchedulerStatePanel(tab);
    schedulerPanel->scansScheduled = [this] { return cbScheduleScans->isChecked(); };
    layout->addWidget(schedulerPanel);
    layout->addStretch(1);

    auto *kinds = new QButtonGroup(this);
    for (int kind = 0; kind <= 4; ++kind) {
        kinds->addButton(kindButton(kind), kind);
        connect(kindButton(kind), &QRadioButton::clicked, this, &TSchedulePage::rbEveryClick);
    }
    rbEvery->setChecked(true);

    connect(cbScheduleScans, &QCheckBox::clicked, this, &TSchedulePage::cbScheduleScansClick);
    connect(cbScheduleScans, &QCheckBox::toggled, schedulerPanel, &SchedulerStatePanel::refresh);
    connect(TrackBar95, &QSlider::valueChanged, this, &TSchedulePage::TrackBar95Change);
    connect(cbWeekly, &QComboBox::activated, this, [this] {
        if (cbWeekly->currentIndex() != m_weekday) cbWeeklyChange();
    });
    txtHourly->installEventFilter(this);
    txtMonthly_Day->installEventFilter(this);
    return tab;
}

QWidget *TSchedulePage::buildEveryFrame(QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto *layout = new QGridLayout(frame);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setVerticalSpacing(0);
    rbEvery = named<QRadioButton>("rbEvery", "Every:", frame);
    lblScanInterval = named<QLabel>("lblScanInterval", "30 minutes", frame);
    QFont bold = lblScanInterval->font();
    bold.setBold(true);
    lblScanInterval->setFont(bold);
    lblNextSearch = named<QLabel>("lblNextSearch", "Next scan at: 18:00", frame);
    lblNextSearch->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblNextSearch->setWordWrap(true);
    auto *head = new QHBoxLayout;
    head->addWidget(rbEvery);
    head->addWidget(lblScanInterval);
    head->addWidget(lblNextSearch, 1);
    layout->addLayout(head, 0, 0, 1, 3);

    TrackBar95 = new QSlider(Qt::Horizontal, frame);
    TrackBar95->setObjectName(QStringLiteral("TrackBar95"));
    TrackBar95->setRange(0, 30);
    TrackBar95->setSingleStep(1);
    TrackBar95->setPageStep(1);
    TrackBar95->setTickInterval(1);
    TrackBar95->setTickPosition(QSlider::TicksBelow);
    TrackBar95->setValue(15);
    layout->addWidget(text("0 min", frame), 1, 0);
    layout->addWidget(TrackBar95, 1, 1);
    layout->addWidget(text("60 min", frame), 1, 2);
    layout->setColumnStretch(1, 1);
    return frame;
}

QWidget *TSchedulePage::buildMoreTab()
{
    auto *tab = new QWidget;
    auto *layout = new QVBoxLayout(tab);
    cbScanAtStartUp = named<ui::WrapCheckBox>("cbScanAtStartUp",
                                              "Scan for files when Clarivex 2000 starts up", tab);
    cbCleanOnClose = named<ui::WrapCheckBox>(
        "cbCleanOnClose", "Clean all found files when Clarivex 2000 closes up", tab);
    layout->addWidget(cbScanAtStartUp);
    layout->addWidget(cbCleanOnClose);
    layout->addStretch(1);
    return tab;
}

void TSchedulePage::fillWeekdays()
{
    // The user's long weekday names, Sunday first (index 0 Sunday .. 6 Saturday).
    const QLocale locale;
    cbWeekly->clear();
    cbWeekly->addItem(locale.dayName(Qt::Sunday, QLocale::LongFormat));
    for (int day = Qt::Monday; day <= Qt::Saturday; ++day)
        cbWeekly->addItem(locale.dayName(day, QLocale::LongFormat));
    cbWeekly->setCurrentIndex(-1);
    m_weekday = -1;
}

QRadioButton *TSchedulePage::kindButton(int kind) const
{
    switch (kind) {
    case 0:
        return rbEvery;
    case 1:
        return rbHourly;
    case 2:
        return rbDaily;
    case 3:
        return rbWeekly;
    case 4:
        return rbMonthly;
    default:
        return nullptr;
    }
}

int TSchedulePage::scheduleKind() const
{
    for (int kind = 0; kind <= 4; ++kind)
        if (kindButton(kind)->isChecked()) return kind;
    return -1;
}

void TSchedulePage::showNextScan(const QString &timeText)
{
    lblNextSearch->setText(QStringLiteral("Next scan at: ") + timeText);
}

void TSchedulePage::showNextRun(const NextRun &next, const QDateTime &now)
{
    if (next.valid())
        showNextScan(describeNextRun(next.due, now));
    else
        lblNextSearch->setText(QStringLiteral("No scan is planned: ") + next.problem);
    lblNextSearch->setToolTip(lblNextSearch->text());
}

ScheduleValues TSchedulePage::scheduleValues() const
{
    ScheduleValues v;
    v.Run = scheduleKind();
    v.TrackBarPosition = TrackBar95->value();
    v.Hourly = txtHourly->text();
    v.Daily = formatLongTime(dtpDaily->time());
    v.Weekly = formatLongTime(dtpWeekly->time());
    v.cbWeekly_ItemIndex = cbWeekly->currentIndex();
    v.Monthly = formatLongTime(dtpMonthly->time());
    v.Monthly_Day = txtMonthly_Day->text();
    return v;
}

void TSchedulePage::cbScheduleScansClick()
{
    const bool on = cbScheduleScans->isChecked();
    pnlScheduleScans->setVisible(on);
    gbSchedule->setEnabled(on);
    m_tabs->setTabVisible(m_tabs->indexOf(m_moreTab), on);
    emit nextRunNeeded();
}

void TSchedulePage::TrackBar95Change()
{
    lblScanInterval->setText(QString::number(2 * TrackBar95->value()) + QStringLiteral(" minutes"));
    emit nextRunNeeded();
}

void TSchedulePage::rbEveryClick()
{
    emit nextRunNeeded();
}

void TSchedulePage::cbWeeklyChange()
{
    m_weekday = cbWeekly->currentIndex();
    emit nextRunNeeded();
}

bool TSchedulePage::txtHourlyExit()
{
    // Minute 0 is the field's own default and a minute the spin control
    // offers, so it is accepted; the message keeps its historical wording.
    if (!checkRange(txtHourly, 0, 59, QStringLiteral("Value must be between 1 and 59")))
        return false;
    emit nextRunNeeded();
    return true;
}

bool TSchedulePage::txtMonthly_DayExit()
{
    if (!checkRange(txtMonthly_Day, 1, 31, QStringLiteral("Value must be between 1 and 31")))
        return false;
    emit nextRunNeeded();
    return true;
}

bool TSchedulePage::checkRange(QLineEdit *field, int minimum, int maximum, const QString &message)
{
    const std::optional<int> value = wholeNumber(field->text());
    const bool accepted = value && *value >= minimum && *value <= maximum;
    if (accepted) return true;
    m_checking = true; // the notice takes the focus; that is no second exit
    if (!value) {
        const QString error =
            QStringLiteral("'%1' is not a valid integer value").arg(field->text());
        if (showError)
            showError(error);
        else
            ui::notices().information(this, QStringLiteral("Clarivex 2000"), error,
                                      ui::NoticeIcon::Error);
    } else {
        ui::notices().information(this, QStringLiteral("Clarivex 2000"), message);
    }
    field->setFocus(Qt::OtherFocusReason);
    m_checking = false;
    return false;
}

bool TSchedulePage::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && !m_checking &&
        (watched == txtHourly || watched == txtMonthly_Day)) {
        // Only a move to another control of the window is leaving the field;
        // switching windows or opening a menu is not.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            // Checked once the focus has settled on the next control, so that
            // the notice and the focus coming back do not run inside the move.
            const bool hourly = watched == txtHourly;
            QMetaObject::invokeMethod(
                this,
                [this, hourly] {
                    if (hourly)
                        txtHourlyExit();
                    else
                        txtMonthly_DayExit();
                },
                Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TSchedulePage::loadSettings(const ScheduleSettings &s)
{
    cbScheduleScans->setChecked(s.ScheduleScans);
    cbScheduleScansClick();
    cbScheduleTF->setChecked(s.ScheduleTemporaryFiles);
    cbScheduleDirs->setChecked(s.ScheduleDirectories);
    if (QRadioButton *button = kindButton(s.Run)) {
        button->setChecked(true);
        rbEveryClick();
    }
    {
        const QSignalBlocker quiet(TrackBar95);
        TrackBar95->setValue(s.TrackBarPosition);
    }
    TrackBar95Change();

    txtHourly->setText(s.Hourly);
    if (s.Daily.isValid()) dtpDaily->setTime(s.Daily);
    if (s.Weekly.isValid()) dtpWeekly->setTime(s.Weekly);
    const int weekday = s.cbWeekly_ItemIndex;
    cbWeekly->setCurrentIndex(weekday >= 0 && weekday < cbWeekly->count() ? weekday : -1);
    m_weekday = cbWeekly->currentIndex();
    if (s.Monthly.isValid()) dtpMonthly->setTime(s.Monthly);
    txtMonthly_Day->setText(s.Monthly_Day);

    cbScanAtStartUp->setChecked(s.ScanAtStartUp);
    cbCleanOnClose->setChecked(s.CleanOnClose);
}

void TSchedulePage::saveSettings(ScheduleSettings &s) const
{
    s.ScheduleScans = cbScheduleScans->isChecked();
    s.ScheduleTemporaryFiles = cbScheduleTF->isChecked();
    s.ScheduleDirectories = cbScheduleDirs->isChecked();
    const int kind = scheduleKind();
    if (kind >= 0) s.Run = kind; // with none checked nothing is stored
    s.TrackBarPosition = TrackBar95->value();
    s.Hourly = txtHourly->text();
    s.Daily = dtpDaily->time();
    s.Weekly = dtpWeekly->time();
    s.cbWeekly_ItemIndex = cbWeekly->currentIndex();
    s.Monthly = dtpMonthly->time();
    s.Monthly_Day = txtMonthly_Day->text();
    s.ScanAtStartUp = cbScanAtStartUp->isChecked();
    s.CleanOnClose = cbCleanOnClose->isChecked();
}

} // namespace clarivex
