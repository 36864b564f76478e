// The found-file list's popup menu on the real window: which items it offers
// when, viewing a file no application claims, the properties window, taking a
// row out of the list, printing and saving the list.

#include "core/cleaning/list_print.h"
#include "core/platform/desktop_apps.h"
#include "gui/cleaning/file_list_actions.h"
#include "gui/search/kv_file_list_view.h"
#include "gui/shell/main_window.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/eliding_label.h"
#include "support/pe_builder.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace clarivex;
using namespace clarivex::test;

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QString dataHome()
{
    return qEnvironmentVariable("XDG_DATA_HOME");
}

} // namespace

class TestFileListActions : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void popupItems_data();
    void popupItems();
    void viewWithoutAssociationOpensTheTextEditor();
    void viewInATerminalOrSayWhyNot_data();
    void viewInATerminalOrSayWhyNot();
    void explorerWithoutFileManagerSaysSo();
    void propertiesShowTheFile();
    void propertiesOfNoFileShowNothing();
    void propertiesValuesTakeTheWidth();
    void removeFromListKeepsTheTotals();
    void deleteFileStartsTheClean();
    void printGoesThroughThePrintDialog();
    void printUsesTheWindowFontToShorten();
    void saveListFromTheFileMenu();

private:
    // Adds a file with `content` under the temporary folder to the list.
    QByteArray addFile(const QString &name, const QByteArray &content = "text\n", int group = -1);
    void selectRow(int row) const;
    ui::TFileListActions &actions() const { return *m_window->listActions(); }

    QString m_editorOutput;
    QString m_terminalOutput;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TClarivexMainForm> m_window;
};

void TestFileListActions::initTestCase()
{
    // A kind of file that no application claims, and a text editor, both in
    // the temporary home; they exist before anything asks for MIME types.
    const QString mime = dataHome() + QStringLiteral("/mime");
    QVERIFY(QDir().mkpath(mime + QStringLiteral("/packages")));
    QVERIFY(
        writeFile(mime + QStringLiteral("/packages/clarivex-test.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                  "  <mime-type type=\"application/x-clarivex-sample\">\n"
                  "    <comment>Clarivex sample</comment>\n"
                  "    <glob pattern=\"*.cvxsample\"/>\n"
                  "  </mime-type>\n"
                  "  <mime-type type=\"application/x-clarivex-console\">\n"
                  "    <comment>Clarivex console document</comment>\n"
                  "    <glob pattern=\"*.cvxconsole\"/>\n"
                  "  </mime-type>\n"
                  "</mime-info>\n"));
    if (!QStandardPaths::findExecutable(QStringLiteral("update-mime-database")).isEmpty()) {
        QProcess update;
        update.start(QStringLiteral("update-mime-database"), {mime});
        QVERIFY(finishes(update, "update-mime-database"));
    }
    const QString bin = testRoot() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(bin));
    const QString editor = bin + QStringLiteral("/fake-editor");
    m_editorOutput = editor + QStringLiteral(".out");
    QVERIFY(writeFile(
        editor, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n"));
    QVERIFY(QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString apps = dataHome() + QStringLiteral("/applications");
    QVERIFY(QDir().mkpath(apps));
    QVERIFY(writeFile(apps + QStringLiteral("/fake-editor.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Fake Editor\nExec=" +
                          QFile::encodeName(editor) + " %f\nMimeType=text/plain;\n"));
    // A viewer that runs in a terminal, and a terminal that notes what it ran.
    QVERIFY(writeFile(apps + QStringLiteral("/console-viewer.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Console Viewer\nTerminal=true\n"
                      "Exec=" +
                          QFile::encodeName(editor) +
                          " %f\nMimeType=application/x-clarivex-console;\n"));
    const QString terminals = testRoot() + QStringLiteral("/terminals");
    QVERIFY(QDir().mkpath(terminals));
    m_terminalOutput = terminals + QStringLiteral("/x-terminal-emulator.out");
    QVERIFY(writeFile(
        terminals + QStringLiteral("/x-terminal-emulator"),
        "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && /bin/mv \"$0.tmp\" \"$0.out\"\n"));
    QVERIFY(QFile::setPermissions(terminals + QStringLiteral("/x-terminal-emulator"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    QVERIFY(QDir().mkpath(config));
    QVERIFY(writeFile(config + QStringLiteral("/mimeapps.list"),
                      "[Default Applications]\ntext/plain=fake-editor.desktop\n"));
}

void TestFileListActions::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_window = std::make_unique<TClarivexMainForm>();
    m_window->createWindowSteps({});
    QFile::remove(m_editorOutput);
}

void TestFileListActions::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

QByteArray TestFileListActions::addFile(const QString &name, const QByteArray &content, int group)
{
    const QString path = m_dir->filePath(name);
    if (!writeFile(path, content)) return {};
    qint64 size = 0;
    if (!m_window->FileListView->AddFile(QFile::encodeName(path), size, group)) return {};
    m_window->FileListView->Model()->FlushPending();
    return QFile::encodeName(path);
}

void TestFileListActions::selectRow(int row) const
{
    TKvFileListView *list = m_window->FileListView;
    list->clearSelection();
    if (row >= 0)
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TestFileListActions::popupItems_data()
{
    QTest::addColumn<bool>("rows");
    QTest::newRow("empty list") << false;
    QTest::newRow("one row") << true;
}

void TestFileListActions::popupItems()
{
    QFETCH(bool, rows);
    if (rows) QVERIFY(!addFile(QStringLiteral("a.txt")).isEmpty());
    ui::TFileListActions &a = actions();
    QStringList captions;
    for (QAction *action : a.ListViewPopupMenu->actions())
        if (!action->isSeparator()) captions << action->text();
    QCOMPARE(captions,
             (QStringList{"&View File", "&Delete File", "Print &List of Files", "Printer &Setup",
                          "&Remove from List without delete file(s)", "&Explorer Menu",
                          "&Properties", "Save List &As...", "Select &Duplicates"}));
    emit a.ListViewPopupMenu->aboutToShow();
    for (QAction *action :
         {a.ItemViewFile, a.ItemProperties, a.ItemDeleteFile, a.ItemPrintListofFiles})
        QVERIFY2(action->isEnabled() == rows, qPrintable(action->text()));
    for (QAction *action : {a.ItemPrinterSetup, a.ItemRemoveFromListWithoutDelete, a.ExplorerMenu1})
        QVERIFY2(action->isEnabled(), qPrintable(action->text()));
    // The items on an empty list do nothing and ask nothing.
    ScopedNotices notices;
    selectRow(-1);
    a.ItemViewFileClick();
    a.FileListViewDblClick();
    a.ItemRemoveFromListWithoutDeleteClick();
    a.ExplorerMenu1Click();
    QCOMPARE(notices->requests().size(), 0);
    QCOMPARE(m_window->FileListView->Model()->RowCount(), rows ? 1 : 0);
}

void TestFileListActions::viewWithoutAssociationOpensTheTextEditor()
{
    const QByteArray sample = addFile(QStringLiteral("notes.cvxsample"), "\x01\x02 binary\n");
    const QByteArray text = addFile(QStringLiteral("readme.txt"));
    QVERIFY(!sample.isEmpty() && !text.isEmpty());
    QCOMPARE(platform::fileMimeType(sample), QStringLiteral("application/x-clarivex-sample"));
    QVERIFY(!platform::hasAssociation(sample));
    QVERIFY(platform::hasAssociation(text)); // the editor claims plain text
    selectRow(0);
    actions().ItemViewFileClick();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_editorOutput), waitLimitMs());
    QFile out(m_editorOutput);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), sample + '\n');
}

void TestFileListActions::viewInATerminalOrSayWhyNot_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::newRow("the desktop's terminal") << true;
    QTest::newRow("no terminal set") << false;
}

// An application that needs a terminal runs in the desktop's one; without
// one the user hears which application it is and why it cannot run.
void TestFileListActions::viewInATerminalOrSayWhyNot()
{
    QFETCH(bool, terminal);
    const QByteArray file = addFile(QStringLiteral("session.cvxconsole"), "log\n");
    QVERIFY(!file.isEmpty());
    QCOMPARE(platform::fileMimeType(file), QStringLiteral("application/x-clarivex-console"));
    const QByteArray path = qgetenv("PATH");
    const QByteArray terminalVariable = qgetenv("TERMINAL");
    QTemporaryDir nothing;
    qunsetenv("TERMINAL");
    qputenv("PATH", QFile::encodeName(terminal ? testRoot() + QStringLiteral("/terminals")
                                               : nothing.path()));
    const auto restore = qScopeGuard([&] {
        qputenv("PATH", path);
        if (!terminalVariable.isNull()) qputenv("TERMINAL", terminalVariable);
    });
    QFile::remove(m_terminalOutput);
    ScopedNotices notices;
    selectRow(0);
    actions().ItemViewFileClick();
    if (terminal) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_terminalOutput), waitLimitMs());
        QFile out(m_terminalOutput);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(),
                 "-e\n" + QFile::encodeName(testRoot()) + "/bin/fake-editor\n" + file + '\n');
        QCOMPARE(notices->requests().size(), 0);
    } else {
        QCOMPARE(notices->requests().size(), 1);
        const QString text = notices->requests().first().text;
        QVERIFY2(text.contains("Console Viewer") && text.contains("terminal"), qPrintable(text));
        QVERIFY(!QFile::exists(m_editorOutput)); // started nowhere unseen
    }
}

// Explorer Menu where no file manager shows folders says so.
void TestFileListActions::explorerWithoutFileManagerSaysSo()
{
    const QByteArray file = addFile(QStringLiteral("kept.txt"));
    QVERIFY(!file.isEmpty());
    QTemporaryDir empty;
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", QFile::encodeName(empty.path()));
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_DIRS", dataDirs); });
    ScopedNotices notices;
    selectRow(0);
    actions().ExplorerMenu1->trigger();
    // Over the session bus the answer comes later, and within its timeout.
    QTRY_VERIFY_WITH_TIMEOUT(notices->requests().size() == 1, waitLimitMs());
    QVERIFY2(notices->requests().first().text.contains("no file manager"),
             qPrintable(notices->requests().first().text));
}

void TestFileListActions::propertiesShowTheFile()
{
    // A copy in duplicate set 3: the row says so itself.
    FoundFileModel *model = m_window->FileListView->Model();
    model->SetOrigin(ScanOrigin::Duplicates, model->BeginRun(RunTrigger::User));
    const QByteArray path =
        addFile(QStringLiteral("tool.exe"),
                peFile(versionBlock(QStringLiteral("1.2.3.4"), QStringLiteral("5.6"))), 3);
    QVERIFY(!path.isEmpty());
    QVERIFY(QFile::setPermissions(QFile::decodeName(path), QFile::ReadOwner | QFile::WriteOwner |
                                                               QFile::ReadGroup |
                                                               QFile::ReadOther));
    selectRow(0);
    ScopedNotices notices;
    QElapsedTimer clock;
    clock.start();
    // A double click and the menu item do the same.
    emit m_window->FileListView->doubleClicked(m_window->FileListView->model()->index(0, 0));
    qInfo("properties window ready after %lld ms", clock.elapsed());
    QCOMPARE(notices->requests().size(), 1);
    const QString summary = notices->requests().first().text;
    const QString size = QString::number(QFileInfo(QFile::decodeName(path)).size());
    for (const QString &line :
         {QStringLiteral("Name:\ttool.exe"), QStringLiteral("Folder:\t") + m_dir->path(),
          QStringLiteral("Size:\t") + size + QStringLiteral(" bytes"),
          QStringLiteral("Permissions:\t-rw-r--r-- (0644)"),
          QStringLiteral("Found in:\tDuplicate set 3"), QStringLiteral("File version:\t1.2.3.4"),
          QStringLiteral("Product version:\t5.6")})
        QVERIFY2(summary.contains(line + QLatin1Char('\n')), qPrintable(summary));
    QVERIFY2(summary.contains(QStringLiteral("Type:\t")) &&
                 summary.contains(QStringLiteral("application/")),
             qPrintable(summary));
    QVERIFY(summary.contains(QStringLiteral("Modified:\t")));
    QVERIFY(summary.contains(QStringLiteral("Owner:\t")));
    actions().ItemProperties->trigger();
    QCOMPARE(notices->requests().size(), 2);
}

// A long value is shortened in its middle to the dialog's width, never to a
// fixed stump, with the whole text in its tooltip; a short one is whole.
void TestFileListActions::propertiesValuesTakeTheWidth()
{
    const QString deep = m_dir->path() + QStringLiteral("/a rather long folder name/and another");
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(writeFile(deep + QStringLiteral("/Report Backup.BAK"), "x"));
    qint64 size = 0;
    QVERIFY(m_window->FileListView->AddFile(
        QFile::encodeName(deep + QStringLiteral("/Report Backup.BAK")), size));
    m_window->FileListView->Model()->FlushPending();
    selectRow(0);
    ScopedNotices notices;
    bool checked = false;
    notices->setOnRequest([&](const ScriptedNotices::Request &) {
        QDialog *dialog = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("FilePropertiesDialog"))
                dialog = qobject_cast<QDialog *>(top);
        QVERIFY(dialog);
        dialog->show();
        for (const int width : {420, 1400}) {
            dialog->resize(width, dialog->height());
            QCoreApplication::processEvents();
            const auto *name = dialog->findChild<ui::ElidingLabel *>(QStringLiteral("Name"));
            const auto *folder = dialog->findChild<ui::ElidingLabel *>(QStringLiteral("Folder"));
            QVERIFY(name && folder);
            QCOMPARE(name->text(), QStringLiteral("Report Backup.BAK"));
            QVERIFY2(folder->width() > width / 2, qPrintable(QString::number(folder->width())));
            QCOMPARE(folder->fullText(), deep);
            if (folder->isElided()) {
                QVERIFY(folder->text().contains(QChar(0x2026)));
                QVERIFY(folder->text().endsWith(QStringLiteral("another")));
                QCOMPARE(folder->toolTip(), deep);
            } else {
                QCOMPARE(folder->text(), deep);
            }
            QVERIFY(folder->textInteractionFlags() & Qt::TextSelectableByMouse);
        }
        dialog->hide();
        checked = true;
    });
    actions().ItemProperties->trigger();
    QVERIFY(checked);
}

void TestFileListActions::propertiesOfNoFileShowNothing()
{
    const QByteArray path = addFile(QStringLiteral("gone.txt"));
    m_window->FileListView->Model()->AddSeparator();
    m_window->FileListView->Model()->FlushPending();
    ScopedNotices notices;
    selectRow(1); // a separator between duplicate sets
    actions().FileListViewDblClick();
    QVERIFY(QFile::remove(QFile::decodeName(path)));
    selectRow(0);
    actions().FileListViewDblClick();
    actions().ItemViewFileClick();
    QCOMPARE(notices->requests().size(), 0);
}

void TestFileListActions::removeFromListKeepsTheTotals()
{
    const QByteArray first = addFile(QStringLiteral("one.txt"), "1");
    const QByteArray second = addFile(QStringLiteral("two.txt"), "22");
    QVERIFY(!addFile(QStringLiteral("three.txt"), "333").isEmpty());
    m_window->FoundFileCount = 3;
    m_window->FoundByteTotal = 6;
    m_window->UpdateFoundTotals(3, 6);
    auto *files = m_window->findChild<QLabel *>(QStringLiteral("lblFilesFound"));
    auto *bytes = m_window->findChild<QLabel *>(QStringLiteral("lblBytesFound"));
    QVERIFY(files && bytes);
    const QString filesText = files->text();
    const QString bytesText = bytes->text();

    selectRow(-1);
    actions().ItemRemoveFromListWithoutDeleteClick(); // nothing selected: nothing happens
    QCOMPARE(m_window->FileListView->Model()->RowCount(), 3);
    // Of several selected rows the first goes.
    selectRow(0);
    m_window->FileListView->selectionModel()->select(m_window->FileListView->model()->index(1, 0),
                                                     QItemSelectionModel::Select |
                                                         QItemSelectionModel::Rows);
    actions().ItemRemoveFromListWithoutDeleteClick();
    const FoundFileModel *model = m_window->FileListView->Model();
    QCOMPARE(model->RowCount(), 2);
    QCOMPARE(model->FilePath(0), second);
    QVERIFY(QFile::exists(QFile::decodeName(first)));
    QCOMPARE(files->text(), filesText);
    QCOMPARE(bytes->text(), bytesText);
    QCOMPARE(m_window->FoundFileCount, 3);
    QCOMPARE(m_window->FoundByteTotal, 6);
}

void TestFileListActions::deleteFileStartsTheClean()
{
    const QByteArray path = addFile(QStringLiteral("victim.tmp"));
    m_window->optionsPage()->cbConfirmDelete->setChecked(true);
    selectRow(0);
    ScopedNotices notices;
    notices->queueConfirm(false);
    actions().ItemDeleteFile->trigger();
    // The clean asked first; answered No, the file and its row stay.
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests().first().kind, ScriptedNotices::Kind::Confirm);
    QVERIFY(QFile::exists(QFile::decodeName(path)));
    QCOMPARE(m_window->FileListView->Model()->RowCount(), 1);
}

void TestFileListActions::printGoesThroughThePrintDialog()
{
    QVERIFY(!addFile(QStringLiteral("a.txt")).isEmpty());
    ScopedNotices notices;
    actions().ItemPrinterSetupClick();
    actions().ItemPrintListofFilesClick(); // cancelled: nothing is printed
    QCOMPARE(notices->requests().size(), 2);
    QCOMPARE(notices->requests()[0].kind, ScriptedNotices::Kind::Dialog);
    QCOMPARE(notices->requests()[1].text, QStringLiteral("Print List of Files"));
}

void TestFileListActions::printUsesTheWindowFontToShorten()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QString longName = QStringLiteral("a-rather-long-file-name-that-cannot-fit.txt");
    QVERIFY(!addFile(longName).isEmpty());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = m_dir->filePath(QStringLiteral("list.pdf"));
    printer.setOutputFileName(pdf);
    QVERIFY(actions().PrintList(printer));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(finishes(text, "pdftotext"));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(printed.trimmed().startsWith(QStringLiteral("page 1: @ ")), qPrintable(printed));
    const QFontMetrics window = m_window->fontMetrics();
    const QString expected = cleaning::FitTextWithEllipsis(longName, window, 100);
    QVERIFY(expected.endsWith(QStringLiteral("...")));
    QVERIFY2(printed.contains(expected), qPrintable(printed));
}

void TestFileListActions::saveListFromTheFileMenu()
{
    QVERIFY(!addFile(QStringLiteral("a.txt")).isEmpty());
    QVERIFY(!addFile(QStringLiteral("b.txt")).isEmpty());
    auto *save = m_window->findChild<QAction *>(QStringLiteral("MenuItemSaveListAs"));
    QVERIFY(save);
    ScopedNotices notices;
    const QString target = m_dir->filePath(QStringLiteral("saved.json"));
    notices->queuePath(target);
    save->trigger();
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray rows = QJsonDocument::fromJson(file.readAll()).array();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1].toObject().value("name").toString(), QStringLiteral("b.txt"));
    // A temporary-file list names each file's group, as clarivex-cli does.
    QVERIFY(rows[0].toObject().contains("group"));
}

CLARIVEX_TEST_MAIN(TestFileListActions)
#include "tst_file_list_actions.moc"
