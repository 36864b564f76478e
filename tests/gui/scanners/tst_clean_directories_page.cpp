#include "core/base/settings_types.h"
#include "core/shell/custom_registry.h"
#include "gui/scanners/app_rules_tab.h"
#include "gui/scanners/clean_directories_page.h"
#include "gui/scanners/dead_links_page.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

using namespace clarivex;
using test::ScopedNotices;
using test::ScriptedNotices;
using test::waitLimitMs;

class TestCleanDirectoriesPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void initialStates();
    void loadFillsTheFoldersFromTheSystem();
    void openButtons_data();
    void openButtons();
    void addAndRemoveDirectories();
    void roundTrip();
    void applicationRules();
    void deadLinksShowsFavorites();
};

// The page reads the installed rules beside the programs; a test program
// lies elsewhere, so the built rules are given to it as the user's own.
void TestCleanDirectoriesPage::initTestCase()
{
    const QDir built(QFileInfo(QStringLiteral(CLARIVEX_CLI_PATH)).absolutePath() +
                     QStringLiteral("/rules"));
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/clarivex/rules");
    QVERIFY(QDir().mkpath(user));
    const QStringList files = built.entryList({QStringLiteral("*.rules")}, QDir::Files);
    QVERIFY(!files.isEmpty());
    for (const QString &name : files)
        QVERIFY(QFile::copy(built.filePath(name), user + QLatin1Char('/') + name));
}

void TestCleanDirectoriesPage::initialStates()
{
    TCleanDirectoriesPage page;
    auto *tabs = page.findChild<QTabWidget *>();
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Directories"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("More"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Applications"));
    const QList<QPair<QCheckBox *, QString>> boxes = {
        {page.cbTemporaryDir, "Temporary Directory"},
        {page.cbDocsFolder, "Documents Recent Folder"},
        {page.cbIECacheDir, "MS Internet Explorer Cache Directory"},
        {page.cbNetscapeCacheDir, "Netscape 4.x Cache Directory"},
        {page.cbDirsAutoClean, "Automatically clean files when scanning is completed"},
    };
    for (const auto &[box, caption] : boxes) {
        QCOMPARE(box->text(), caption);
        QVERIFY(!box->isChecked());
    }
    for (QLineEdit *edit :
         {page.txtTempDir, page.txtDocsDir, page.txtIECacheDir, page.txtNetscapeCacheDir})
        QVERIFY(edit->isReadOnly());
    const QList<QPair<QToolButton *, int>> buttons = {
        {page.sbBrowseTempDir, 10},
        {page.sbBrowseDocsDir, 11},
        {page.sbBrowseIECacheDir, 12},
        {page.sbBrowseNetscapeCacheDir, 13},
    };
    for (const auto &[button, tag] : buttons) {
        QCOMPARE(button->text(), QStringLiteral("..."));
        QCOMPARE(button->toolTip(), QStringLiteral("Browse Folder"));
        QCOMPARE(button->property("tag").toInt(), tag);
    }
    QCOMPARE(page.sbAddDirectory->text(), QStringLiteral("&Add"));
    QCOMPARE(page.sbRemoveDirectory->text(), QStringLiteral("&Remove"));
    QCOMPARE(page.clbDirectories->count(), 0);
}

void TestCleanDirectoriesPage::loadFillsTheFoldersFromTheSystem()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QVERIFY(QDir().mkpath(cache + "/google-chrome"));
    TRegistry registry;
    QVERIFY(registry.OpenPath(
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true));
    registry.WriteText("RECENT", "/srv/recent");
    TCleanDirectoriesPage page;
    QVERIFY(page.txtTempDir->text().isEmpty()); // only loading fills them
    page.loadSettings(DirectorySettings{});
    QCOMPARE(page.txtTempDir->text(), qEnvironmentVariable("TMPDIR") + '/');
    QCOMPARE(page.txtDocsDir->text(), QStringLiteral("/srv/recent"));
    QCOMPARE(page.txtIECacheDir->text(), cache + "/google-chrome");
    QCOMPARE(page.txtNetscapeCacheDir->text(), QString()); // no browser profile
    QVERIFY(registry.DropValue("RECENT"));
    QVERIFY(QDir(cache + "/google-chrome").removeRecursively());
    page.loadSettings(DirectorySettings{}); // computed afresh every time
    QCOMPARE(page.txtDocsDir->text(),
             QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                 "/RecentDocuments");
    QCOMPARE(page.txtIECacheDir->text(), QString());
}

void TestCleanDirectoriesPage::openButtons_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("opens");
    QTest::newRow("temporary, opened") << 0 << true;
    QTest::newRow("temporary, no file manager") << 0 << false;
    QTest::newRow("recent, no file manager") << 1 << false;
    QTest::newRow("netscape cache, opened") << 3 << true;
}

void TestCleanDirectoriesPage::openButtons()
{
    QFETCH(int, index);
    QFETCH(bool, opens);
    ScopedNotices notices;
    TCleanDirectoriesPage page;
    QStringList asked;
    page.openFolder = [&](const QString &folder) {
        asked << folder;
        return opens;
    };
    QToolButton *buttons[] = {page.sbBrowseTempDir, page.sbBrowseDocsDir, page.sbBrowseIECacheDir,
                              page.sbBrowseNetscapeCacheDir};
    buttons[index]->click();
    QCOMPARE(asked, QStringList{TCleanDirectoriesPage::folderOfTag(10 + index)});
    if (opens) {
        QVERIFY(notices->requests().isEmpty());
    } else {
        QCOMPARE(notices->requests().size(), 1);
        QCOMPARE(notices->requests()[0].kind, ScriptedNotices::Kind::Information);
        QCOMPARE(notices->requests()[0].text,
                 QStringLiteral("You do not have Explorer installed."));
    }
}

void TestCleanDirectoriesPage::addAndRemoveDirectories()
{
    QTemporaryDir folder;
    ScopedNotices notices;
    TCleanDirectoriesPage page;
    notices->queuePath(QString());                  // cancelled
    notices->queuePath("trash:///");                // no folder on disk
    notices->queuePath(folder.path() + "/missing"); // gone meanwhile
    notices->queuePath(folder.path());
    notices->queuePath("/");
    for (int i = 0; i < 5; ++i)
        page.sbAddDirectory->click();
    QCOMPARE(notices->unanswered(), 0);
    const auto &requests = notices->requests();
    QCOMPARE(requests.size(), 7);
    QCOMPARE(requests[0].kind, ScriptedNotices::Kind::Folder);
    QCOMPARE(requests[0].caption, QStringLiteral("Select folder:"));
    for (int i : {2, 4}) {
        QCOMPARE(requests[i].kind, ScriptedNotices::Kind::Information);
        QCOMPARE(requests[i].text,
                 QStringLiteral("Cannot add this type of directory to the list."));
    }
    DirectorySettings saved;
    page.saveSettings(saved);
    QCOMPARE(saved.Directories,
             (QList<CheckEntry>{{folder.path(), true}, {QStringLiteral("/"), true}}));

    page.clbDirectories->setCurrentRow(-1);
    page.sbRemoveDirectory->click(); // no current entry: nothing
    QCOMPARE(page.clbDirectories->count(), 2);
    page.clbDirectories->setCurrentRow(0);
    page.sbRemoveDirectory->click();
    page.saveSettings(saved);
    QCOMPARE(saved.Directories, (QList<CheckEntry>{{QStringLiteral("/"), true}}));
}

void TestCleanDirectoriesPage::roundTrip()
{
    DirectorySettings stored;
    stored.TemporaryDir = true;
    stored.IECacheDir = true;
    stored.AutoClean = true;
    stored.Directories = {{"/var/cache/apt/archives", true}, {"/home/me/Downloads", false}};
    stored.AppRules = {QStringLiteral("thumbnails"), QStringLiteral("firefox-cache")};
    TCleanDirectoriesPage page;
    page.loadSettings(stored);
    DirectorySettings saved;
    page.saveSettings(saved);
    std::sort(saved.AppRules.begin(), saved.AppRules.end());
    std::sort(stored.AppRules.begin(), stored.AppRules.end());
    QCOMPARE(saved, stored);
    stored = DirectorySettings{};
    stored.DocsFolder = true;
    stored.NetscapeCacheDir = true;
    page.loadSettings(stored); // loading again replaces the list
    page.saveSettings(saved);
    QCOMPARE(saved, stored);
}

// The tab lists every rule under its application and measures them off the
// user-interface thread.
void TestCleanDirectoriesPage::applicationRules()
{
    const QString thumbs = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                           QStringLiteral("/thumbnails/normal");
    QVERIFY(QDir().mkpath(thumbs));
    QFile old(thumbs + QStringLiteral("/a.png"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(2048, 'p'));
    QVERIFY(old.flush());
    old.setFileTime(QDateTime::currentDateTime().addDays(-40), QFileDevice::FileModificationTime);
    old.close();
    TCleanDirectoriesPage page;
    page.loadSettings(DirectorySettings{});
    ui::AppRulesTab *tab = page.appRules;
    QVERIFY(tab->rules().size() >= 15);
    QVERIFY(page.appRules->checkedIds().isEmpty());
    QSignalSpy measured(tab, &ui::AppRulesTab::measured);
    tab->measure();
    QVERIFY(measured.wait(waitLimitMs()));
    QTreeWidgetItem *thumbnails = nullptr;
    for (int i = 0; i < tab->tvRules->topLevelItemCount(); ++i) {
        QTreeWidgetItem *application = tab->tvRules->topLevelItem(i);
        for (int j = 0; j < application->childCount(); ++j) {
            if (application->child(j)->data(0, Qt::UserRole) == QStringLiteral("thumbnails"))
                thumbnails = application->child(j);
        }
    }
    QVERIFY(thumbnails);
    QCOMPARE(thumbnails->parent()->text(0), QStringLiteral("Thumbnails"));
    QCOMPARE(thumbnails->text(1), QStringLiteral("safe"));
    QCOMPARE(thumbnails->text(2), QStringLiteral("2 KB"));
    thumbnails->setCheckState(0, Qt::Checked);
    DirectorySettings saved;
    page.saveSettings(saved);
    QCOMPARE(saved.AppRules, QStringList{QStringLiteral("thumbnails")});
}

void TestCleanDirectoriesPage::deadLinksShowsFavorites()
{
    TRegistry registry;
    QVERIFY(registry.OpenPath(
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true));
    registry.WriteText("FAVORITES", "/srv/favorites");
    TDeadLinksPage page;
    QVERIFY(page.txtDeadLinksPath->isReadOnly());
    page.fillFolder();
    QCOMPARE(page.txtDeadLinksPath->text(), QStringLiteral("/srv/favorites"));
    QVERIFY(registry.DropValue("FAVORITES"));
    page.fillFolder();
    QCOMPARE(page.txtDeadLinksPath->text(), QString()); // no browser profile
}

CLARIVEX_TEST_MAIN(TestCleanDirectoriesPage)
#include "tst_clean_directories_page.moc"
