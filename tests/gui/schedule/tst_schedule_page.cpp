#include "core/shell/custom_registry.h"
#include "core/shell/settings_catalogue.h"
#include "gui/schedule/schedule_page.h"
#include "gui/toolkit/up_down.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolButton>

using namespace clarivex;

namespace {

bool moreTabVisible(const TSchedulePage &page)
{
    return page.tabs()->isTabVisible(1);
}

ScheduleSettings sample()
{
    ScheduleSettings s;
    s.ScheduleScans = true;
    s.ScheduleTemporaryFiles = false;
    s.ScheduleDirectories = true;
    s.Run = 3;
    s.TrackBarPosition = 4;
    s.Hourly = "45";
    s.Daily = QTime(6, 30, 0);
    s.Weekly = QTime(18, 0, 0);
    s.cbWeekly_ItemIndex = 5;
    s.Monthly = QTime(23, 59, 59);
    s.Monthly_Day = "28";
    s.ScanAtStartUp = true;
    s.CleanOnClose = true;
    return s;
}

} // namespace

class TestSchedulePage : public QObject
{
    Q_OBJECT
private slots:
    void captions();
    void initialState();
    void scheduleScansSwitchesTheRest();
    void slider_data();
    void slider();
    void everyRadioButtonRecomputes();
    void pickersAndRepeatedWeekdayDoNotRecompute();
    void valueChecks_data();
    void valueChecks();
    void leavingARejectedFieldKeepsTheFocus();
    void spinControls_data();
    void spinControls();
    void loadRunsTheHandlers();
    void loadKeepsWhatTheSettingsLeaveOpen();
    void roundTrip();
    void roundTripThroughTheStore();
};

void TestSchedulePage::captions()
{
    TSchedulePage page;
    const QList<QPair<QAbstractButton *, QString>> buttons{
        {page.cbScheduleScans, "Schedule Scans"},
        {page.cbScheduleTF, "Temporary Files"},
        {page.cbScheduleDirs, "Directories"},
        {page.rbEvery, "Every:"},
        {page.rbHourly, "Hourly: Start at"},
        {page.rbDaily, "Daily at:"},
        {page.rbWeekly, "Weekly"},
        {page.rbMonthly, "Monthly"},
        {page.cbScanAtStartUp, "Scan for files when Clarivex 2000 starts up"},
        {page.cbCleanOnClose, "Clean all found files when Clarivex 2000 closes up"}};
    for (const auto &[button, caption] : buttons)
        QCOMPARE(button->text(), caption);
    QCOMPARE(page.gbSchedule->title(), QStringLiteral("Run"));
    QCOMPARE(page.tabs()->tabText(0), QStringLiteral("Schedule"));
    QCOMPARE(page.tabs()->tabText(1), QStringLiteral("More"));
    QStringList texts;
    for (const QLabel *label : page.findChildren<QLabel *>())
        texts << label->text();
    for (const char *fixed :
         {"0 min", "60 min", "minutes after the hour", "every", "on the", "day of the month"})
        QVERIFY2(texts.contains(QString::fromLatin1(fixed)), fixed);
    QVERIFY(page.lblScanInterval->font().bold());
    QVERIFY(page.lblNextSearch->alignment() & Qt::AlignRight);
}

void TestSchedulePage::initialState()
{
    TSchedulePage page;
    QVERIFY(!page.cbScheduleScans->isChecked());
    QVERIFY(page.pnlScheduleScans->isHidden());
    QVERIFY(!page.gbSchedule->isEnabled());
    QVERIFY(!moreTabVisible(page));
    QVERIFY(page.rbEvery->isChecked());
    QCOMPARE(page.scheduleKind(), 0);
    QCOMPARE(page.TrackBar95->minimum(), 0);
    QCOMPARE(page.TrackBar95->maximum(), 30);
    QCOMPARE(page.TrackBar95->value(), 15);
    QCOMPARE(page.lblScanInterval->text(), QStringLiteral("30 minutes"));
    // Until the first computation replaces it.
    QCOMPARE(page.lblNextSearch->text(), QStringLiteral("Next scan at: 18:00"));
    QCOMPARE(page.txtHourly->text(), QStringLiteral("0"));
    QCOMPARE(page.txtHourly->maxLength(), 2);
    QCOMPARE(page.udHourly->minimum(), 0);
    QCOMPARE(page.udHourly->maximum(), 59);
    QCOMPARE(page.txtMonthly_Day->text(), QStringLiteral("1"));
    QCOMPARE(page.txtMonthly_Day->maxLength(), 2);
    QCOMPARE(page.udMonthly_Day->minimum(), 1);
    QCOMPARE(page.udMonthly_Day->maximum(), 31);

    // The user's long weekday names, Sunday first; none chosen until loaded.
    const QLocale locale;
    QStringList days;
    for (int day : {7, 1, 2, 3, 4, 5, 6})
        days << locale.dayName(day, QLocale::LongFormat);
    QStringList shown;
    for (int i = 0; i < page.cbWeekly->count(); ++i)
        shown << page.cbWeekly->itemText(i);
    QCOMPARE(shown, days);
    QCOMPARE(page.cbWeekly->currentIndex(), -1);

    // The pickers start at the time they were made.
    const int drift = page.dtpDaily->time().secsTo(QTime::currentTime());
    QVERIFY2(drift >= 0 && drift < 5, qPrintable(QString::number(drift)));
}

void TestSchedulePage::scheduleScansSwitchesTheRest()
{
    TSchedulePage page;
    QSignalSpy recompute(&page, &TSchedulePage::nextRunNeeded);
    page.cbScheduleScans->click();
    QVERIFY(!page.pnlScheduleScans->isHidden());
    QVERIFY(page.gbSchedule->isEnabled());
    QVERIFY(moreTabVisible(page));
    QCOMPARE(recompute.size(), 1);
    page.cbScheduleTF->setChecked(true);
    page.rbDaily->click();
    page.cbScheduleScans->click();
    QVERIFY(page.pnlScheduleScans->isHidden());
    QVERIFY(!page.gbSchedule->isEnabled());
    QVERIFY(!moreTabVisible(page));
    QCOMPARE(recompute.size(), 3);
    // Switched off, the controls keep their values.
    QVERIFY(page.cbScheduleTF->isChecked());
    QCOMPARE(page.scheduleKind(), 2);
}

void TestSchedulePage::slider_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("label");
    QTest::newRow("left end") << 0 << "0 minutes";
    QTest::newRow("one step") << 1 << "2 minutes";
    QTest::newRow("right end") << 30 << "60 minutes";
}

void TestSchedulePage::slider()
{
    QFETCH(int, position);
    QFETCH(QString, label);
    TSchedulePage page;
    QSignalSpy recompute(&page, &TSchedulePage::nextRunNeeded);
    page.TrackBar95->setValue(position);
    QCOMPARE(page.lblScanInterval->text(), label);
    QCOMPARE(recompute.size(), 1);
}

void TestSchedulePage::everyRadioButtonRecomputes()
{
    TSchedulePage page;
    page.cbScheduleScans->click();
    QSignalSpy recompute(&page, &TSchedulePage::nextRunNeeded);
    const QList<QRadioButton *> kinds{page.rbHourly, page.rbDaily, page.rbWeekly, page.rbMonthly,
                                      page.rbEvery};
    for (QRadioButton *button : kinds) {
        button->click();
        int checked = 0;
        for (QRadioButton *other : kinds)
            checked += other->isChecked();
        QCOMPARE(checked, 1);
    }
    QCOMPARE(recompute.size(), kinds.size());
    QCOMPARE(page.scheduleKind(), 0);
    page.showNextScan("18:00:00");
    QCOMPARE(page.lblNextSearch->text(), QStringLiteral("Next scan at: 18:00:00"));
}

void TestSchedulePage::pickersAndRepeatedWeekdayDoNotRecompute()
{
    TSchedulePage page;
    QSignalSpy recompute(&page, &TSchedulePage::nextRunNeeded);
    page.dtpDaily->setTime(QTime(1, 2, 3));
    page.dtpWeekly->setTime(QTime(4, 5, 6));
    page.udHourly->upButton()->click();
    QCOMPARE(recompute.size(), 0);
    page.cbWeekly->setCurrentIndex(2);
    emit page.cbWeekly->activated(2); // the user picks Tuesday
    QCOMPARE(recompute.size(), 1);
    emit page.cbWeekly->activated(2); // and Tuesday again
    QCOMPARE(recompute.size(), 1);
}

void TestSchedulePage::valueChecks_data()
{
    QTest::addColumn<bool>("monthly");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("notice"); // the message box, if any
    QTest::addColumn<QString>("error");  // the conversion error, if any
    const QString day = "Value must be between 1 and 31";
    const QString minute = "Value must be between 1 and 59";
    QTest::newRow("day 1") << true << "1" << true << ""
                           << "";
    QTest::newRow("day 31") << true << "31" << true << ""
                            << "";
    QTest::newRow("day with blank") << true << " 9" << true << ""
                                    << "";
    QTest::newRow("day 0") << true << "0" << false << day << "";
    QTest::newRow("day 32") << true << "32" << false << day << "";
    QTest::newRow("day -1") << true << "-1" << false << day << "";
    QTest::newRow("day empty") << true << "" << false << ""
                               << "'' is not a valid integer value";
    QTest::newRow("day letters") << true << "x1" << false << ""
                                 << "'x1' is not a valid integer value";
    QTest::newRow("minute 0, the default") << false << "0" << true << ""
                                           << "";
    QTest::newRow("minute 59") << false << "59" << true << ""
                               << "";
    QTest::newRow("minute 60") << false << "60" << false << minute << "";
    QTest::newRow("minute letters") << false << "ab" << false << ""
                                    << "'ab' is not a valid integer value";
}

void TestSchedulePage::valueChecks()
{
    QFETCH(bool, monthly);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(QString, notice);
    QFETCH(QString, error);
    test::ScopedNotices notices;
    TSchedulePage page;
    QStringList errors;
    page.showError = [&](const QString &message) { errors << message; };
    QSignalSpy recompute(&page, &TSchedulePage::nextRunNeeded);
    QLineEdit *field = monthly ? page.txtMonthly_Day : page.txtHourly;
    field->setText(text);
    const bool result = monthly ? page.txtMonthly_DayExit() : page.txtHourlyExit();
    QCOMPARE(result, accepted);
    QCOMPARE(recompute.size(), accepted ? 1 : 0);
    QCOMPARE(notices->requests().size(), notice.isEmpty() ? 0 : 1);
    if (!notice.isEmpty()) QCOMPARE(notices->requests().first().text, notice);
    QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{error});
}

void TestSchedulePage::leavingARejectedFieldKeepsTheFocus()
{
    test::ScopedNotices notices;
    TSchedulePage page;
    page.cbScheduleScans->click();
    page.resize(500, 400);
    page.show();
    page.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QSignalSpy recompute(&page, &TSchedulePage::nextRunNeeded);

    page.txtMonthly_Day->setFocus();
    QTRY_VERIFY(page.txtMonthly_Day->hasFocus());
    page.txtMonthly_Day->setText("32");
    page.txtHourly->setFocus(Qt::TabFocusReason); // the user moves on
    QTRY_COMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests().first().text, QStringLiteral("Value must be between 1 and 31"));
    QTRY_VERIFY(page.txtMonthly_Day->hasFocus());
    QCOMPARE(recompute.size(), 0);

    page.txtMonthly_Day->setText("12");
    page.txtHourly->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(recompute.size(), 1);
    QVERIFY(page.txtHourly->hasFocus());
    QCOMPARE(notices->requests().size(), 1);
}

void TestSchedulePage::spinControls_data()
{
    QTest::addColumn<bool>("monthly");
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("after");
    QTest::newRow("day up") << true << "30" << true << "31";
    QTest::newRow("day stops at 31") << true << "31" << true << "31";
    QTest::newRow("day stops at 1") << true << "1" << false << "1";
    QTest::newRow("day out of range steps back") << true << "45" << false << "31";
    QTest::newRow("day no number") << true << "x" << true << "1";
    QTest::newRow("minute down to 0") << false << "1" << false << "0";
    QTest::newRow("minute stops at 0") << false << "0" << false << "0";
    QTest::newRow("minute stops at 59") << false << "59" << true << "59";
}

void TestSchedulePage::spinControls()
{
    QFETCH(bool, monthly);
    QFETCH(QString, before);
    QFETCH(bool, up);
    QFETCH(QString, after);
    TSchedulePage page;
    page.cbScheduleScans->click(); // the spin buttons work while scheduling is on
    QLineEdit *field = monthly ? page.txtMonthly_Day : page.txtHourly;
    ui::UpDown *spin = monthly ? page.udMonthly_Day : page.udHourly;
    field->setText(before);
    (up ? spin->upButton() : spin->downButton())->click();
    QCOMPARE(field->text(), after);
}

void TestSchedulePage::loadRunsTheHandlers()
{
    TSchedulePage page;
    QSignalSpy recompute(&page, &TSchedulePage::nextRunNeeded);
    page.loadSettings(sample());
    QVERIFY(!page.pnlScheduleScans->isHidden());
    QVERIFY(page.gbSchedule->isEnabled());
    QVERIFY(moreTabVisible(page));
    QVERIFY(page.rbWeekly->isChecked());
    QCOMPARE(page.lblScanInterval->text(), QStringLiteral("8 minutes"));
    // The switch, the kind and the slider each recompute once.
    QCOMPARE(recompute.size(), 3);

    ScheduleSettings off = sample();
    off.ScheduleScans = false;
    page.loadSettings(off);
    QVERIFY(page.pnlScheduleScans->isHidden());
    QVERIFY(!page.gbSchedule->isEnabled());
    QVERIFY(!moreTabVisible(page));
}

void TestSchedulePage::loadKeepsWhatTheSettingsLeaveOpen()
{
    TSchedulePage page;
    page.rbMonthly->setChecked(true);
    const QTime picked(7, 8, 9);
    page.dtpDaily->setTime(picked);
    ScheduleSettings s = sample();
    s.Run = 9;                // no kind: the choice stays
    s.Daily = QTime();        // not loaded: the picker keeps its time
    s.cbWeekly_ItemIndex = 7; // no weekday of the list
    page.loadSettings(s);
    QVERIFY(page.rbMonthly->isChecked());
    QCOMPARE(page.dtpDaily->time(), picked);
    QCOMPARE(page.cbWeekly->currentIndex(), -1);
    ScheduleSettings saved;
    page.saveSettings(saved);
    QCOMPARE(saved.Run, 4);
    QCOMPARE(saved.Daily, picked);
}

void TestSchedulePage::roundTrip()
{
    TSchedulePage page;
    page.loadSettings(sample());
    ScheduleSettings saved;
    page.saveSettings(saved);
    QCOMPARE(saved, sample());
}

void TestSchedulePage::roundTripThroughTheStore()
{
    // A first start: the catalogue's defaults go into the page and come back
    // out unchanged, and what the page saves loads again as the same values.
    SettingsContext context;
    context.executablePath = QStringLiteral("/opt/clarivex/clarivex");
    context.screenSize = QSize(1024, 768);
    context.now = QDateTime(QDate(2026, 12, 7), QTime(14, 30, 15, 600)); // a Monday
    SettingsCatalogue first;
    LoadAllSettings(first, context);
    TSchedulePage page;
    page.loadSettings(first.schedule);
    QCOMPARE(page.cbWeekly->currentIndex(), 1);
    QCOMPARE(page.dtpMonthly->time(), QTime(14, 30, 15));
    SettingsCatalogue out = first;
    page.saveSettings(out.schedule);
    QCOMPARE(out.schedule, first.schedule);

    page.loadSettings(sample());
    page.saveSettings(out.schedule);
    SaveAllSettings(out, context);
    SettingsCatalogue again;
    LoadAllSettings(again, context);
    QCOMPARE(again.schedule, sample());
}

CLARIVEX_TEST_MAIN(TestSchedulePage)
#include "tst_schedule_page.moc"
