#include "core/utilities/system_tools.h"
#include "gui/utilities/system_tools_page.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>

using namespace clarivex;
using test::ScopedNotices;

namespace {

// PATH points at a folder of the test's own for as long as the object lives.
class PathFolder
{
public:
    PathFolder() : m_saved(qgetenv("PATH")) { qputenv("PATH", m_dir.path().toLocal8Bit()); }
    ~PathFolder() { qputenv("PATH", m_saved); }
    QString path() const { return m_dir.path(); }

    // A program that leaves a marker file with its name when it runs.
    void program(const QString &name, bool executable = true)
    {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Only shell built-ins: PATH holds nothing but this folder.
        file.write("#!/bin/sh\necho started > \"${0%/*}/ran-${0##*/}\"\n");
        file.close();
        if (executable) QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
    }
    bool ran(const QString &name) const { return QFile::exists(m_dir.filePath("ran-" + name)); }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved;
};

} // namespace

class TestSystemTools : public QObject
{
    Q_OBJECT
private slots:
    void buttonsAndCaptions();
    void messagesByTagAndFamily();
    void missingProgramsAreReported();
    void installedProgramIsStarted();
};

void TestSystemTools::buttonsAndCaptions()
{
    TSystemToolsPage page;
    QCOMPARE(page.btnDiskDefragmenter->text(), QStringLiteral("Disk Defragmenter"));
    QCOMPARE(page.btnScanDisk->text(), QStringLiteral("ScanDisk"));
    QCOMPARE(page.btnRegistryEditor->text(), QStringLiteral("Registry  Editor"));
    QCOMPARE(page.btnDiskDefragmenter->property("tag").toInt(), 10);
    QCOMPARE(page.btnScanDisk->property("tag").toInt(), 11);
    QCOMPARE(page.btnRegistryEditor->property("tag").toInt(), 12);
}

void TestSystemTools::messagesByTagAndFamily()
{
    QCOMPARE(failureMessageForTag(10, true),
             QStringLiteral("Disk Defragmenter is not available for Windows NT/2000."));
    QCOMPARE(failureMessageForTag(10, false),
             QStringLiteral("You do not have Disk Defragmenter installed."));
    QCOMPARE(failureMessageForTag(11, true),
             QStringLiteral("ScanDisk is not available for Windows NT/2000."));
    QCOMPARE(failureMessageForTag(12, true), failureMessageForTag(12, false));
    QVERIFY(failureMessageForTag(9, false).isEmpty());
    QVERIFY(programPathForTag(13).isEmpty());
    QVERIFY(!RunProgram(QString()));
    QVERIFY(!RunProgram(QStringLiteral("/no/such/program")));
}

void TestSystemTools::missingProgramsAreReported()
{
    PathFolder path;
    path.program(QStringLiteral("dconf-editor"), false); // present but not executable
    ScopedNotices notices;
    TSystemToolsPage page;
    page.btnDiskDefragmenter->click();
    page.btnScanDisk->click();
    page.btnRegistryEditor->click();
    QCOMPARE(notices->requests().size(), 3);
    QCOMPARE(notices->requests()[0].text,
             QStringLiteral("You do not have Disk Defragmenter installed."));
    QCOMPARE(notices->requests()[1].text, QStringLiteral("You do not have ScanDisk installed."));
    QCOMPARE(notices->requests()[2].text,
             QStringLiteral("You do not have Registry Editor installed."));
    QCOMPARE(notices->requests()[0].kind, test::ScriptedNotices::Kind::Information);
    QVERIFY(!path.ran(QStringLiteral("dconf-editor")));
}

void TestSystemTools::installedProgramIsStarted()
{
    PathFolder path;
    path.program(QStringLiteral("gparted"));
    path.program(QStringLiteral("dconf-editor"));
    ScopedNotices notices;
    TSystemToolsPage page;
    page.btnScanDisk->click();
    page.btnRegistryEditor->click();
    QCOMPARE(notices->requests().size(), 0);
    QTRY_VERIFY(path.ran(QStringLiteral("gparted")));
    QTRY_VERIFY(path.ran(QStringLiteral("dconf-editor")));
    // The first candidate found wins.
    path.program(QStringLiteral("gnome-disks"));
    QCOMPARE(QFileInfo(programPathForTag(10)).fileName(), QStringLiteral("gnome-disks"));
}

CLARIVEX_TEST_MAIN(TestSystemTools)
#include "tst_system_tools.moc"
