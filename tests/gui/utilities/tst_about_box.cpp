#include "core/utilities/os_version_text.h"
#include "gui/shell/main_window.h"
#include "gui/utilities/about_box.h"
#include "gui/utilities/version_label.h"
#include "support/pe_builder.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

using namespace clarivex;
using namespace clarivex::test;

class TestAboutBox : public QObject
{
    Q_OBJECT
private slots:
    void versionLabelFollowsItsProperties();
    void versionLabelOfAProgramFile();
    void boxContents();
    void picturesAndLayout();
    void closes_data();
    void closes();
    void openedFromTheMainWindow();
};

void TestAboutBox::versionLabelFollowsItsProperties()
{
    TVersionLabel label;
    QVERIFY(!label.wordWrap());
    QCOMPARE(label.VersionResource(), vrFileVersion);
    QCOMPARE(label.text(), QStringLiteral("File Version: 3.5.0.10"));
    QCOMPARE(label.LangCharset(), QStringLiteral("040904E4")); // the first translation, kept
    const int wide = label.width();
    QCOMPARE(wide, label.sizeHint().width());

    label.setShowInfoPrefix(false);
    QCOMPARE(label.text(), QStringLiteral("3.5.0.10"));
    QVERIFY(label.width() < wide); // sized to the shorter text
    label.setLangCharset("04070000");
    QCOMPARE(label.text(), QStringLiteral("< Error retrieving version info >"));
    label.setLangCharset("-1");
    QCOMPARE(label.text(), QStringLiteral("3.5.0.10"));

    // The field sets its key and prefix; each can be changed after it.
    QVERIFY(label.setProperty("VersionResource", QVariant::fromValue(vrProductVersion)));
    QCOMPARE(label.VersionResourceKey(), QStringLiteral("ProductVersion"));
    QCOMPARE(label.InfoPrefix(), QStringLiteral("Product Version:"));
    QCOMPARE(label.text(), QStringLiteral("3.5.0.0"));
    QVERIFY(label.setProperty("ShowInfoPrefix", true));
    QCOMPARE(label.text(), QStringLiteral("Product Version: 3.5.0.0"));
    label.setInfoPrefix("Made by");
    label.setVersionResourceKey("CompanyName");
    QCOMPARE(label.text(), QStringLiteral("Made by Marlowtek"));
    label.setVersionResource(vrFlags);
    QCOMPARE(label.text(), QStringLiteral("Flags: "));
}

void TestAboutBox::versionLabelOfAProgramFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write the test file");
        return QFile::encodeName(file.fileName());
    };
    TVersionLabel label; // has taken the program's first translation
    label.setVersionSource(
        VersionQuery::ofFile(write("tool.exe", peFile(versionBlock("4.1", "4")))));
    QCOMPARE(label.text(), QStringLiteral("File Version: 4.1"));
    QCOMPARE(label.LangCharset(), QStringLiteral("040904B0"));
    label.setVersionSource(VersionQuery::ofFile(write("bare.exe", peFile({}))));
    QCOMPARE(label.text(), QStringLiteral("File Version: < No Data Available >"));
    // A language and code page set by hand stay with the next file.
    label.setLangCharset("040904E4");
    label.setVersionSource(
        VersionQuery::ofFile(write("again.exe", peFile(versionBlock("4.1", "4")))));
    QCOMPARE(label.text(), QStringLiteral("File Version: < Error retrieving version info >"));
}

void TestAboutBox::boxContents()
{
    TClarivexAboutBox box;
    QCOMPARE(box.objectName(), QStringLiteral("TClarivexAboutBox"));
    QCOMPARE(box.windowTitle(), QStringLiteral("About Clarivex 2000"));
    QVERIFY(box.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(box.size(), QSize(532, 275));
    QCOMPARE(box.lblVersion->text(), QStringLiteral("3.5"));
    QCOMPARE(box.VersionLabel->VersionResource(), vrFileVersion);
    QCOMPARE(box.VersionLabel->VersionResourceKey(), QStringLiteral("FileVersion"));
    QCOMPARE(box.VersionLabel->InfoPrefix(), QStringLiteral("Build "));
    QVERIFY(box.VersionLabel->ShowInfoPrefix());
    QCOMPARE(box.VersionLabel->text(), QStringLiteral("Build  3.5.0.10"));
    QCOMPARE(box.btnClose->text(), QStringLiteral("&Close"));

    QVERIFY(box.lblSysInfo->text().isEmpty()); // filled when shown
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box, waitLimitMs()));
    QCOMPARE(box.lblSysInfo->text(), OSVersionText());
    QVERIFY(!box.lblSysInfo->text().isEmpty());
    const QRect screen = box.screen()->geometry();
    QVERIFY(qAbs(box.frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(box.frameGeometry().center().y() - screen.center().y()) <= 1);
}

void TestAboutBox::picturesAndLayout()
{
    TClarivexAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box, waitLimitMs()));
    const QImage image = box.grab().toImage();
    const auto count = [&](const QRect &area, auto test) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += test(QColor(image.pixel(x, y)));
        return n;
    };
    const auto green = [](const QColor &c) { return c.green() > c.red() + 30; };
    const auto dark = [](const QColor &c) { return c.lightness() < 140; };
    // The panel is green, the picture on it light; the right side white with the name on it.
    const QRect panel(0, 0, TClarivexAboutBox::kPanelWidth, 275);
    QVERIFY(count(panel, green) > panel.width() * panel.height() * 3 / 4);
    QVERIFY(count(QRect(70, 50, 40, 40), [](const QColor &c) { return c.lightness() > 200; }) >
            200);
    QCOMPARE(QColor(image.pixel(520, 200)), QColor(Qt::white));
    QVERIFY(count(QRect(200, 20, 300, 90), dark) > 1000);

    // Every control lies inside the box, none over another, and its text fits.
    const QList<QWidget *> controls{box.lblVersion, box.VersionLabel, box.lblSysInfo, box.btnClose};
    for (QWidget *control : controls) {
        QVERIFY2(box.rect().contains(control->geometry()), qPrintable(control->objectName()));
        for (QWidget *other : controls)
            QVERIFY(other == control || !other->geometry().intersects(control->geometry()));
        if (auto *label = qobject_cast<QLabel *>(control)) {
            const QRect needed = label->fontMetrics().boundingRect(
                QRect(0, 0, label->width(), 1000), int(label->alignment()) | Qt::TextWordWrap,
                label->text());
            QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                     qPrintable(label->text()));
        }
    }
    // The release and the build are on the panel, light on green.
    for (QLabel *label : {box.lblVersion, static_cast<QLabel *>(box.VersionLabel)}) {
        QVERIFY(panel.contains(label->geometry()));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
    }
}

void TestAboutBox::closes_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"Close", "key A", "key Escape", "key Shift", "space on the button",
                            "Tab on the button", "Left on the button", "Alt+C", "another window"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void TestAboutBox::closes()
{
    QFETCH(QString, how);
    QPointer<TClarivexAboutBox> box = TClarivexAboutBox::showAbout(nullptr);
    QVERIFY(QTest::qWaitForWindowActive(box, waitLimitMs()));
    QWidget other;
    if (how == "Close") {
        box->btnClose->click();
    } else if (how == "key A") {
        QTest::keyClick(box, Qt::Key_A);
    } else if (how == "key Escape") {
        QTest::keyClick(box, Qt::Key_Escape);
    } else if (how == "key Shift") {
        QTest::keyPress(box, Qt::Key_Shift);
    } else if (how == "space on the button") {
        QTest::keyClick(box->btnClose, Qt::Key_Space);
    } else if (how == "Tab on the button") {
        QTest::keyClick(box->btnClose, Qt::Key_Tab);
    } else if (how == "Left on the button") {
        QTest::keyClick(box->btnClose, Qt::Key_Left);
    } else if (how == "Alt+C") {
        QTest::keyClick(box->btnClose, Qt::Key_C, Qt::AltModifier);
    } else {
        other.show();
        other.activateWindow();
    }
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), waitLimitMs()); // closed and destroyed
}

void TestAboutBox::openedFromTheMainWindow()
{
    TClarivexMainForm window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window, waitLimitMs()));
    window.ShowAbout();
    auto *box = window.findChild<TClarivexAboutBox *>();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY(box->isWindow());
    QVERIFY(QTest::qWaitForWindowActive(box, waitLimitMs()));
    QCOMPARE(box->VersionLabel->text(), QStringLiteral("Build  3.5.0.10"));
    QVERIFY(!window.btnScanNow->isEnabled());
}

CLARIVEX_TEST_MAIN(TestAboutBox)
#include "tst_about_box.moc"
