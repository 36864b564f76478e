#include "core/platform/notification_sound.h"
#include "gui/shell/options_page.h"
#include "support/test_main.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

using namespace clarivex;

namespace {
struct Recorder : platform::NotificationSound
{
    QStringList *log;
    explicit Recorder(QStringList *target) : log(target) {}
    void playFile(const QString &path) override { *log << "file:" + path; }
    void playInformation() override { *log << "information"; }
};
} // namespace

class TestOptionsPage : public QObject
{
    Q_OBJECT
private slots:
    void cleanModesEnableTheirFolders_data();
    void cleanModesEnableTheirFolders();
    void loadedModeKeepsItsLowByte();
    void folderPicker();
    void backupFoldersTakeAPastedPath_data();
    void backupFoldersTakeAPastedPath();
    void soundRequests_data();
    void soundRequests();
};

void TestOptionsPage::backupFoldersTakeAPastedPath_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("folder"); // $H: the home folder
    QTest::newRow("from a terminal") << "/srv/Backups\n"
                                     << "/srv/Backups";
    QTest::newRow("quoted by a shell") << "'/srv/My Backups'"
                                       << "/srv/My Backups";
    QTest::newRow("a file manager's address") << "file:///srv/My%20Backups"
                                              << "/srv/My Backups";
    QTest::newRow("below the home folder") << "  ~/Backups \r\n"
                                           << "$H/Backups";
    QTest::newRow("a plain path stays") << "/srv/Back ups/"
                                        << "/srv/Back ups/";
}

// Pasted with the keyboard, the path a clean will use is the folder meant.
void TestOptionsPage::backupFoldersTakeAPastedPath()
{
    QFETCH(QString, pasted);
    QFETCH(QString, folder);
    folder.replace("$H", QDir::homePath());
    TOptionsPage page;
    page.rbZipFiles->click();
    page.rbMoveFilesToFolder->click();
    page.show();
    for (QLineEdit *field : {page.txtMoveFolderPath, page.txtZipFileName}) {
        field->setEnabled(true);
        field->clear();
        QGuiApplication::clipboard()->setText(pasted);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field->text(), folder);
        emit field->editingFinished();
        QCOMPARE(field->text(), folder);
    }
}

void TestOptionsPage::cleanModesEnableTheirFolders_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("moveEnabled");
    QTest::addColumn<bool>("zipEnabled");
    QTest::newRow("recycle bin") << 0 << false << false;
    QTest::newRow("delete") << 1 << false << false;
    QTest::newRow("move to folder") << 2 << true << false;
    QTest::newRow("zip") << 3 << false << true;
}

void TestOptionsPage::cleanModesEnableTheirFolders()
{
    QFETCH(int, mode);
    QFETCH(bool, moveEnabled);
    QFETCH(bool, zipEnabled);
    TOptionsPage page;
    QRadioButton *buttons[] = {page.rbMoveFilesToRecycleBin, page.rbDeleteFiles,
                               page.rbMoveFilesToFolder, page.rbZipFiles};
    page.rbZipFiles->click(); // start from another state
    buttons[mode]->click();
    QCOMPARE(int(page.DeleteType), mode);
    QCOMPARE(page.txtMoveFolderPath->isEnabled(), moveEnabled);
    QCOMPARE(page.sbSearchDir->isEnabled(), moveEnabled);
    QCOMPARE(page.txtZipFileName->isEnabled(), zipEnabled);
    QCOMPARE(page.sbSearchDir2->isEnabled(), zipEnabled);
    int checked = 0;
    for (QRadioButton *b : buttons)
        checked += b->isChecked();
    QCOMPARE(checked, 1);
}

void TestOptionsPage::loadedModeKeepsItsLowByte()
{
    TOptionsPage page;
    page.setDeleteType(0x102); // only the low byte counts
    QCOMPARE(int(page.DeleteType), 2);
    QVERIFY(page.rbMoveFilesToFolder->isChecked());
    QVERIFY(page.txtMoveFolderPath->isEnabled());
    page.setDeleteType(7); // not a mode: the Recycle Bin, shown and used
    QVERIFY(page.rbMoveFilesToRecycleBin->isChecked());
    QCOMPARE(int(page.DeleteType), 0);
    QVERIFY(!page.txtMoveFolderPath->isEnabled());
}

void TestOptionsPage::folderPicker()
{
    TOptionsPage page;
    page.rbMoveFilesToFolder->click();
    QStringList notices;
    std::optional<QUrl> answer;
    page.pickFolder = [&](const QString &title) {
        notices << "asked:" + title;
        return answer;
    };
    page.showNotice = [&](const QString &text) { notices << text; };
    page.txtMoveFolderPath->setText("/before");
    page.sbSearchDir->click(); // cancelled
    QCOMPARE(page.txtMoveFolderPath->text(), QStringLiteral("/before"));
    answer = QUrl("trash:///");
    page.sbSearchDir->click();
    QCOMPARE(page.txtMoveFolderPath->text(), QStringLiteral("/before"));
    answer = QUrl::fromLocalFile("/mnt/backups");
    page.sbSearchDir->click();
    QCOMPARE(page.txtMoveFolderPath->text(), QStringLiteral("/mnt/backups"));
    QCOMPARE(notices, (QStringList{"asked:Select folder:", "asked:Select folder:",
                                   "Cannot add this type of directory to the list.",
                                   "asked:Select folder:"}));
}

void TestOptionsPage::soundRequests_data()
{
    // The WAV option plays the file when it is there, and otherwise the
    // theme's sound: the default name "Notify.wav" is not shipped.
    QTest::addColumn<bool>("wavFile");
    QTest::addColumn<QString>("name"); // "@" stands for a WAV file that exists
    QTest::addColumn<QString>("played");
    QTest::newRow("theme sound") << false << "@"
                                 << "information";
    QTest::newRow("existing file") << true << "@"
                                   << "file:@";
    QTest::newRow("default name, not there") << true << "Notify.wav"
                                             << "information";
    QTest::newRow("missing absolute path") << true << "/sounds/done.wav"
                                           << "information";
    QTest::newRow("empty name") << true << ""
                                << "information";
    QTest::newRow("a folder is no sound") << true << "/"
                                          << "information";
}

void TestOptionsPage::soundRequests()
{
    QFETCH(bool, wavFile);
    QFETCH(QString, name);
    QFETCH(QString, played);
    QTemporaryDir dir;
    const QString wave = dir.filePath("chime.wav");
    QFile file(wave);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("RIFF") == 4);
    file.close();
    name.replace('@', wave);
    played.replace('@', wave);

    QStringList log;
    platform::NotificationSound::setInstance(std::make_unique<Recorder>(&log));
    TOptionsPage page;
    page.txtWAVFileName->setText(name);
    (wavFile ? page.rbWAVFile : page.rbDefaultWAV)->click();
    QCOMPARE(page.txtWAVFileName->isEnabled(), wavFile);
    page.sbPlaySound->click();
    platform::NotificationSound::setInstance(nullptr);
    QCOMPARE(log, QStringList{played});
}

CLARIVEX_TEST_MAIN(TestOptionsPage)
#include "tst_options_page.moc"
