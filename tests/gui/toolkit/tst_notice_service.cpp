#include "gui/toolkit/notice_service.h"
#include "support/dialog_driver.h"
#include "support/modal_watchdog.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

using namespace clarivex;
using clarivex::test::ScopedNotices;
using clarivex::test::ScriptedNotices;
using clarivex::test::whenOpen;

class TestNoticeService : public QObject
{
    Q_OBJECT
private slots:
    void questionAnswers_data();
    void questionAnswers();
    void informationShowsItsText();
    void enterKeepsFilesThatWouldGoForGood_data();
    void enterKeepsFilesThatWouldGoForGood();
    void fileDialogWithoutFolderStartsAtHome();
    void fileDialogGivesTheChosenFile();
    void cancelledDialogsGiveNothing();
    void fileNameTypedAfterTheBoxHasFocus();
    void unansweredDialogIsClosedAndFailsTheTest();
    void scriptedServiceRecordsAndAnswers();
    void scriptedServiceIsRemovedWithItsScope();
};

void TestNoticeService::questionAnswers_data()
{
    QTest::addColumn<int>("press");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("No") << int(QMessageBox::No) << false;
    QTest::newRow("closed") << int(QMessageBox::Cancel) << false;
}

void TestNoticeService::questionAnswers()
{
    QFETCH(int, press);
    QFETCH(bool, yes);
    QString seen;
    whenOpen<QMessageBox>("the message box", [&](QMessageBox *box) {
        seen = box->windowTitle() + '|' + box->text();
        if (press == QMessageBox::Cancel)
            box->reject(); // the close box or Escape
        else
            box->button(QMessageBox::StandardButton(press))->click();
    });
    ui::QtNoticeService service;
    QCOMPARE(
        service.confirm(nullptr, "Clarivex 2000", "Are you sure you want to clean all the files ?"),
        yes);
    QCOMPARE(seen, QStringLiteral("Clarivex 2000|Are you sure you want to clean all the files ?"));
}

void TestNoticeService::enterKeepsFilesThatWouldGoForGood_data()
{
    QTest::addColumn<bool>("forGood");
    QTest::addColumn<int>("defaultButton");
    QTest::newRow("a question that can be undone") << false << int(QMessageBox::Yes);
    QTest::newRow("a deletion for good") << true << int(QMessageBox::No);
}

// Enter answers a question with its default button.
void TestNoticeService::enterKeepsFilesThatWouldGoForGood()
{
    QFETCH(bool, forGood);
    QFETCH(int, defaultButton);
    int seen = QMessageBox::NoButton;
    whenOpen<QMessageBox>("the question", [&](QMessageBox *box) {
        seen = box->standardButton(box->defaultButton());
        QTest::keyClick(box, Qt::Key_Return);
    });
    ui::QtNoticeService service;
    const QString text = "Are you sure you want to permanently delete these 2 items?";
    const bool yes = forGood ? service.confirmForGood(nullptr, "Clarivex 2000", text)
                             : service.confirm(nullptr, "Clarivex 2000", text);
    QCOMPARE(seen, defaultButton);
    QCOMPARE(yes, defaultButton == QMessageBox::Yes);
}

// A save dialog asked for without a folder opens in the home folder, not in
// the folder the program was started from.
void TestNoticeService::fileDialogWithoutFolderStartsAtHome()
{
    QTemporaryDir elsewhere;
    const QString start = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QString folder;
    whenOpen<QFileDialog>("the save dialog", [&](QFileDialog *dialog) {
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
    ui::FileDialogRequest request;
    request.caption = "Save List As";
    request.mustExist = false;
    QVERIFY(ui::QtNoticeService().saveFileName(nullptr, request).isEmpty());
    QVERIFY(QDir::setCurrent(start));
    QCOMPARE(folder, QDir::homePath());
}

void TestNoticeService::informationShowsItsText()
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    whenOpen<QMessageBox>("the message box", [&](QMessageBox *box) {
        icon = box->icon();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    ui::QtNoticeService().information(
        nullptr, "Clarivex 2000 Scheduler",
        "Failed to open Clarivex 2000 Scheduler. Please contact the author.");
    QCOMPARE(icon, QMessageBox::Information);
    QCOMPARE(text,
             QStringLiteral("Failed to open Clarivex 2000 Scheduler. Please contact the author."));
}

void TestNoticeService::fileDialogGivesTheChosenFile()
{
    QTemporaryDir dir;
    const QString wave = dir.filePath("Notify.wav");
    QFile(wave).open(QIODevice::WriteOnly);
    QStringList filters;
    whenOpen<QFileDialog>("the file dialog", [&](QFileDialog *dialog) {
        filters = dialog->nameFilters();
        // Typed as a user would. selectFile() leaves the name box alone once
        // the box has the focus, which a loaded machine gives it before this
        // runs; accept() then has nothing to choose and the dialog stays open.
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(QFileInfo(wave).fileName());
        static_cast<QDialog *>(dialog)->accept();
    });
    ui::FileDialogRequest request;
    request.directory = dir.path();
    request.filter = "WAV Files (*.wav)";
    request.defaultSuffix = "wav";
    QCOMPARE(ui::QtNoticeService().openFileName(nullptr, request), wave);
    QCOMPARE(filters, QStringList{"WAV Files (*.wav)"});

    QVERIFY(QDir(dir.path()).mkdir("Backups"));
    whenOpen<QFileDialog>("the file dialog", [&](QFileDialog *dialog) {
        // The folder view fills in the background, so choosing by name could
        // race it; the folder the dialog stands in is its answer as well.
        dialog->setDirectory(dir.filePath("Backups"));
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(ui::QtNoticeService().existingFolder(nullptr, "Select folder:", dir.path()),
             dir.filePath("Backups"));
}

void TestNoticeService::cancelledDialogsGiveNothing()
{
    whenOpen<QFileDialog>("the file dialog", [](QFileDialog *dialog) { dialog->reject(); });
    QVERIFY(ui::QtNoticeService().openFileName(nullptr, {}).isEmpty());
    whenOpen<QFileDialog>("the file dialog", [](QFileDialog *dialog) { dialog->reject(); });
    QVERIFY(ui::QtNoticeService().existingFolder(nullptr, "Select folder:", QString()).isEmpty());
}

void TestNoticeService::fileNameTypedAfterTheBoxHasFocus()
{
    // The order a loaded machine gives: the name box has the focus before the
    // test acts.
    QTemporaryDir dir;
    const QString file = dir.filePath("chosen.txt");
    QFile(file).open(QIODevice::WriteOnly);
    whenOpen<QFileDialog>("the file dialog", [&](QFileDialog *dialog) {
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        dialog->activateWindow();
        name->setFocus();
        QApplication::processEvents();
        name->setText("chosen.txt");
        static_cast<QDialog *>(dialog)->accept();
    });
    ui::FileDialogRequest request;
    request.directory = dir.path();
    QCOMPARE(ui::QtNoticeService().openFileName(nullptr, request), file);
}

void TestNoticeService::unansweredDialogIsClosedAndFailsTheTest()
{
    qputenv("CLARIVEX_TEST_WAIT_MS", "300");
    QMessageBox box(QMessageBox::Question, "Clarivex 2000", "Nobody answers this.",
                    QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(clarivex::test::ModalWatchdog::describe(&box),
             QStringLiteral("the QMessageBox \"Clarivex 2000\" saying \"Nobody answers this.\" "
                            "to close"));
    QElapsedTimer clock;
    clock.start();
    QEXPECT_FAIL("", "the watchdog closes the box and fails the test", Continue);
    box.exec();
    qunsetenv("CLARIVEX_TEST_WAIT_MS");
    QVERIFY2(clock.elapsed() < 5000, "the box was closed long after the limit");
    QVERIFY(!box.isVisible());
}

void TestNoticeService::scriptedServiceRecordsAndAnswers()
{
    ScopedNotices notices;
    notices->queueConfirm(true);
    notices->queuePath("/tmp/a.wav");
    QStringList seenWhileOpen;
    notices->setOnRequest([&](const ScriptedNotices::Request &r) { seenWhileOpen << r.text; });

    QVERIFY(ui::notices().confirm(nullptr, "C", "Sure?"));
    QCOMPARE(ui::notices().openFileName(nullptr, {"Open", "", "WAV Files (*.wav)", "wav", true}),
             "/tmp/a.wav");
    QCOMPARE(notices->unanswered(), 0);
    QVERIFY(!ui::notices().confirm(nullptr, "C", "Again?")); // nothing queued: No
    QVERIFY(ui::notices().existingFolder(nullptr, "Select folder:", "/").isEmpty());
    ui::notices().information(nullptr, "C", "Done.");

    QCOMPARE(notices->unanswered(), 2);
    QCOMPARE(notices->requests().size(), 5);
    QCOMPARE(notices->requests().at(1).kind, ScriptedNotices::Kind::OpenFile);
    QCOMPARE(notices->requests().at(1).file.defaultSuffix, "wav");
    QCOMPARE(notices->requests().at(3).caption, "Select folder:");
    QCOMPARE(seenWhileOpen, (QStringList{"Sure?", "WAV Files (*.wav)", "Again?", "", "Done."}));
}

void TestNoticeService::scriptedServiceIsRemovedWithItsScope()
{
    ui::NoticeService *before = &ui::notices(); // the test program's own default
    {
        ScopedNotices outer;
        {
            ScopedNotices inner;
            ui::notices().information(nullptr, "C", "inner");
            QCOMPARE(inner->requests().size(), 1);
        }
        ui::notices().information(nullptr, "C", "outer");
        QCOMPARE(outer->requests().size(), 1);
    }
    QCOMPARE(&ui::notices(), before);
    // With nothing installed, the real dialogs serve.
    auto previous = ui::installNoticeService(nullptr);
    QVERIFY(dynamic_cast<ui::QtNoticeService *>(&ui::notices()));
    ui::installNoticeService(std::move(previous));
}

CLARIVEX_TEST_MAIN(TestNoticeService)
#include "tst_notice_service.moc"
