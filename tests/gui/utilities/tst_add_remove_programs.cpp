#include "core/shell/custom_registry.h"
#include "core/utilities/uninstall_entries.h"
#include "gui/utilities/add_remove_programs_page.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace clarivex;
using test::ScopedNotices;

namespace {

void putEntry(const QString &key, const std::optional<QString> &title,
              const std::optional<QString> &command = std::nullopt)
{
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    QVERIFY(registry.OpenPath(kUninstallKey + key, true));
    if (title) registry.WriteText(QStringLiteral("DisplayName"), *title);
    if (command) registry.WriteText(QStringLiteral("UninstallString"), *command);
}

QString valueOf(const QString &key, const QString &name)
{
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    if (!registry.OpenPath(kUninstallKey + key, false)) return QStringLiteral("<no key>");
    return registry.ReadText(name);
}

bool keyExists(const QString &key)
{
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    return registry.KeyExists(kUninstallKey + key);
}

QStringList rows(const TAddRemoveProgramsPage &page)
{
    QStringList titles;
    for (int i = 0; i < page.lvAdd_RemovePrograms->count(); ++i)
        titles << page.lvAdd_RemovePrograms->item(i)->text();
    return titles;
}

void select(TAddRemoveProgramsPage &page, int row)
{
    page.lvAdd_RemovePrograms->setCurrentRow(row);
}

void verifyBrowsing(const TAddRemoveProgramsPage &page)
{
    QVERIFY(!page.editing());
    QVERIFY(page.lvAdd_RemovePrograms->isEnabled());
    QVERIFY(page.btnAdd_RemoveNew->isEnabled() && page.btnAdd_RemoveDelete->isEnabled() &&
            page.btnAdd_RemoveEdit->isEnabled());
    QVERIFY(!page.txtAdd_RemoveTitle->isEnabled() && !page.txtAdd_RemoveCommand->isEnabled());
    QVERIFY(!page.btnAdd_RemoveOK->isEnabled() && !page.btnAdd_RemoveCancel->isEnabled());
    QVERIFY(page.txtAdd_RemoveTitle->text().isEmpty() &&
            page.txtAdd_RemoveCommand->text().isEmpty());
    QVERIFY(page.lblRegEntry->text().isEmpty());
}

void clearUninstallKey()
{
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    (void)registry.DropKey(QStringLiteral("SOFTWARE"));
}

} // namespace

class TestAddRemovePrograms : public QObject
{
    Q_OBJECT
private slots:
    void init() { clearUninstallKey(); }
    void listsEntriesWithATitleByKeyName();
    void missingOrEmptyKeyGivesAnEmptyList();
    void editWritesTheRowsOwnEntry();
    void okAsksAndMayBeDeclined();
    void cancelWritesNothing();
    void newCreatesAnEntryAndOverwritesNone();
    void deleteRemovesTheWholeKey();
    void entryGoneMeanwhile();
    void withoutSelectionNothingHappens();
};

void TestAddRemovePrograms::listsEntriesWithATitleByKeyName()
{
    putEntry(QStringLiteral("Zeta"), QStringLiteral("Alpha Tool"), QStringLiteral("rm -r /opt/a"));
    putEntry(QStringLiteral("beta"), QStringLiteral("Beta = Two"), QStringLiteral("b=c"));
    putEntry(QStringLiteral("Alpha"), QStringLiteral("Zed"));
    putEntry(QStringLiteral("NoTitle"), std::nullopt, QStringLiteral("orphan"));
    putEntry(QStringLiteral("EmptyTitle"), QString(), QStringLiteral("orphan"));
    {
        TRegistry registry;
        registry.SetRoot(RegistryHive::LocalMachine);
        QVERIFY(registry.OpenPath(kUninstallKey + QStringLiteral("Numbered"), true));
        registry.WriteNumber(QStringLiteral("DisplayName"), 7); // not text: not listed
        QVERIFY(registry.OpenPath(QLatin1Char('\\') + kUninstallKey + QStringLiteral("OddCommand"),
                                  true));
        registry.WriteText(QStringLiteral("DisplayName"), QStringLiteral("Odd"));
        registry.WriteNumber(QStringLiteral("UninstallString"), 1); // reads as empty
    }
    const QList<UninstallEntry> entries = readUninstallEntries();
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries[0].key, QStringLiteral("Alpha"));
    QCOMPARE(entries[1].key, QStringLiteral("beta"));
    QCOMPARE(entries[1].command, QStringLiteral("b=c"));
    QCOMPARE(entries[2].key, QStringLiteral("OddCommand"));
    QVERIFY(entries[2].command.isEmpty());
    QCOMPARE(entries[3].key, QStringLiteral("Zeta"));

    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    QCOMPARE(rows(page), QStringList({QStringLiteral("Zed"), QStringLiteral("Beta = Two"),
                                      QStringLiteral("Odd"), QStringLiteral("Alpha Tool")}));
    verifyBrowsing(page);
}

void TestAddRemovePrograms::missingOrEmptyKeyGivesAnEmptyList()
{
    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    QCOMPARE(page.lvAdd_RemovePrograms->count(), 0);
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    QVERIFY(registry.OpenPath(kUninstallKey, true));
    page.LoadUninstallList();
    QCOMPARE(page.lvAdd_RemovePrograms->count(), 0);
}

void TestAddRemovePrograms::editWritesTheRowsOwnEntry()
{
    // Two entries share a title: each row still edits its own key.
    putEntry(QStringLiteral("first"), QStringLiteral("Same"), QStringLiteral("one"));
    putEntry(QStringLiteral("second"), QStringLiteral("Same"), QStringLiteral("two"));
    ScopedNotices notices;
    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    select(page, 1);
    page.btnAdd_RemoveEditClick();
    QVERIFY(page.editing());
    QCOMPARE(page.txtAdd_RemoveTitle->text(), QStringLiteral("Same"));
    QCOMPARE(page.txtAdd_RemoveCommand->text(), QStringLiteral("two"));
    QCOMPARE(page.lblRegEntry->text(), QStringLiteral("Registry Entry: second"));
    QVERIFY(!page.lvAdd_RemovePrograms->isEnabled() && !page.btnAdd_RemoveNew->isEnabled());
    QVERIFY(page.txtAdd_RemoveTitle->isEnabled() && page.btnAdd_RemoveOK->isEnabled());

    page.txtAdd_RemoveTitle->setText(QStringLiteral("Second = renamed"));
    page.txtAdd_RemoveCommand->setText(QStringLiteral("/usr/bin/uninstall --all"));
    notices->queueConfirm(true);
    page.btnAdd_RemoveOKClick();
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests()[0].text,
             QStringLiteral("Are you sure you want to modify the selected item ?"));
    QCOMPARE(valueOf(QStringLiteral("second"), QStringLiteral("DisplayName")),
             QStringLiteral("Second = renamed"));
    QCOMPARE(valueOf(QStringLiteral("second"), QStringLiteral("UninstallString")),
             QStringLiteral("/usr/bin/uninstall --all"));
    QCOMPARE(valueOf(QStringLiteral("first"), QStringLiteral("UninstallString")),
             QStringLiteral("one"));
    QCOMPARE(rows(page), QStringList({QStringLiteral("Same"), QStringLiteral("Second = renamed")}));
    verifyBrowsing(page);
}

void TestAddRemovePrograms::okAsksAndMayBeDeclined()
{
    putEntry(QStringLiteral("app"), QStringLiteral("App"), QStringLiteral("cmd"));
    ScopedNotices notices;
    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    select(page, 0);
    page.btnAdd_RemoveEditClick();
    page.txtAdd_RemoveTitle->clear();
    page.btnAdd_RemoveOKClick(); // an empty title: no question, still editing
    QCOMPARE(notices->requests().size(), 0);
    QVERIFY(page.editing());
    page.txtAdd_RemoveTitle->setText(QStringLiteral("Changed"));
    notices->queueConfirm(false);
    page.btnAdd_RemoveOKClick();
    QCOMPARE(notices->requests().size(), 1);
    QVERIFY(page.editing());
    QCOMPARE(page.txtAdd_RemoveTitle->text(), QStringLiteral("Changed"));
    QCOMPARE(valueOf(QStringLiteral("app"), QStringLiteral("DisplayName")), QStringLiteral("App"));
}

void TestAddRemovePrograms::cancelWritesNothing()
{
    putEntry(QStringLiteral("app"), QStringLiteral("App"), QStringLiteral("cmd"));
    ScopedNotices notices;
    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    select(page, 0);
    page.btnAdd_RemoveEditClick();
    page.txtAdd_RemoveTitle->setText(QStringLiteral("Other"));
    page.btnAdd_RemoveCancelClick();
    verifyBrowsing(page);
    QCOMPARE(notices->requests().size(), 0);
    QCOMPARE(valueOf(QStringLiteral("app"), QStringLiteral("DisplayName")), QStringLiteral("App"));
}

void TestAddRemovePrograms::newCreatesAnEntryAndOverwritesNone()
{
    putEntry(QStringLiteral("app"), QStringLiteral("App"), QStringLiteral("cmd"));
    putEntry(QStringLiteral("Tool"), QStringLiteral("Tool"), QStringLiteral("old"));
    ScopedNotices notices;
    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    select(page, 0); // a selected row is not the target of a new entry
    page.btnAdd_RemoveNewClick();
    QVERIFY(page.editing());
    QVERIFY(page.txtAdd_RemoveTitle->text().isEmpty() && page.lblRegEntry->text().isEmpty());
    page.txtAdd_RemoveTitle->setText(QStringLiteral("Tool"));
    page.txtAdd_RemoveCommand->setText(QStringLiteral("new"));
    notices->queueConfirm(true);
    page.btnAdd_RemoveOKClick();
    QCOMPARE(valueOf(QStringLiteral("app"), QStringLiteral("DisplayName")), QStringLiteral("App"));
    QCOMPARE(valueOf(QStringLiteral("Tool"), QStringLiteral("UninstallString")),
             QStringLiteral("old"));
    QCOMPARE(valueOf(QStringLiteral("Tool (2)"), QStringLiteral("UninstallString")),
             QStringLiteral("new"));
    QCOMPARE(rows(page).size(), 3);
    verifyBrowsing(page);

    // A title with the key separator still makes one key below the list.
    QCOMPARE(createUninstallEntry(QStringLiteral("a\\b"), QString()), QStringLiteral("a_b"));
    QVERIFY(!keyExists(QStringLiteral("a")));
    // Writing never reaches the list's own key.
    QVERIFY(!writeUninstallEntry(QString(), QStringLiteral("x"), QStringLiteral("y")));
    TRegistry registry;
    registry.SetRoot(RegistryHive::LocalMachine);
    QVERIFY(registry.OpenPath(kUninstallKey, false));
    QVERIFY(!registry.HasValue(QStringLiteral("DisplayName")));
}

void TestAddRemovePrograms::deleteRemovesTheWholeKey()
{
    putEntry(QStringLiteral("app"), QStringLiteral("App"), QStringLiteral("cmd"));
    putEntry(QStringLiteral("app\\Nested"), QStringLiteral("Inner"));
    putEntry(QStringLiteral("keep"), QStringLiteral("Keep"));
    ScopedNotices notices;
    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    select(page, 0);
    notices->queueConfirm(false);
    page.btnAdd_RemoveDeleteClick();
    QVERIFY(keyExists(QStringLiteral("app")));
    notices->queueConfirm(true);
    page.btnAdd_RemoveDeleteClick();
    QCOMPARE(notices->requests().size(), 2);
    QCOMPARE(notices->requests()[1].text,
             QStringLiteral("Are you sure you want to delete the selected item ?\n\n"
                            "You may not be able to uninstall the application later."));
    QVERIFY(!keyExists(QStringLiteral("app")));
    QVERIFY(!keyExists(QStringLiteral("app\\Nested")));
    QVERIFY(keyExists(QStringLiteral("keep")));
    QCOMPARE(rows(page), QStringList({QStringLiteral("Keep")}));
}

void TestAddRemovePrograms::entryGoneMeanwhile()
{
    putEntry(QStringLiteral("gone"), QStringLiteral("Gone"), QStringLiteral("cmd"));
    putEntry(QStringLiteral("other"), QStringLiteral("Other"));
    ScopedNotices notices;
    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    select(page, 0);
    QVERIFY(deleteUninstallEntry(QStringLiteral("gone"))); // another program removed it

    notices->queueConfirm(true);
    page.btnAdd_RemoveDeleteClick();
    QCOMPARE(notices->requests().size(), 2);
    QCOMPARE(notices->requests()[1].text,
             QStringLiteral("Failed to delete \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                            "\\Uninstall\\gone\""));
    QCOMPARE(rows(page), QStringList({QStringLiteral("Other")})); // read anew all the same

    putEntry(QStringLiteral("gone"), QStringLiteral("Gone"), QStringLiteral("cmd"));
    page.LoadUninstallList();
    select(page, 0);
    page.btnAdd_RemoveEditClick();
    QVERIFY(deleteUninstallEntry(QStringLiteral("gone")));
    notices->queueConfirm(true);
    page.btnAdd_RemoveOKClick();
    QCOMPARE(notices->requests().last().text,
             QStringLiteral("Failed to open \"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                            "\\Uninstall\\gone\""));
    QVERIFY(!keyExists(QStringLiteral("gone"))); // not created again
    verifyBrowsing(page);
}

void TestAddRemovePrograms::withoutSelectionNothingHappens()
{
    putEntry(QStringLiteral("app"), QStringLiteral("App"));
    ScopedNotices notices;
    TAddRemoveProgramsPage page;
    page.LoadUninstallList();
    page.lvAdd_RemovePrograms->clearSelection();
    page.lvAdd_RemovePrograms->setCurrentRow(-1);
    page.btnAdd_RemoveEditClick();
    page.btnAdd_RemoveDeleteClick();
    QCOMPARE(notices->requests().size(), 0);
    verifyBrowsing(page);
    QVERIFY(keyExists(QStringLiteral("app")));
}

CLARIVEX_TEST_MAIN(TestAddRemovePrograms)
#include "tst_add_remove_programs.moc"
