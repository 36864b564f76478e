#include "core/utilities/version_info.h"
#include "gui/shell/splash_screen.h"
#include "support/test_main.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>

using namespace clarivex;

class TestSplashScreen : public QObject
{
    Q_OBJECT
private slots:
    void versionTable();
    void shownCentredAtOnce();
    void picture();
};

void TestSplashScreen::versionTable()
{
    const VersionInfo &program = programVersionInfo();
    QCOMPARE(program.langCharset(), QStringLiteral("040904E4"));
    QCOMPARE(programFileVersion(), QStringLiteral("3.5.0.10"));
    QCOMPARE(program.value("ProductVersion"), std::optional<QString>("3.5.0.0"));
    QCOMPARE(program.value("fileversion"), std::nullopt); // keys are exact
    QCOMPARE(schedulerVersionInfo().value("FileVersion"), std::optional<QString>("1.0.0.14"));
    VersionInfo other;
    other.language = 0x0407;
    other.codePage = 0x04b0;
    QCOMPARE(other.langCharset(), QStringLiteral("040704B0"));
}

void TestSplashScreen::shownCentredAtOnce()
{
    TClarivexSplashScreen splash;
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    splash.showNow();
    QVERIFY(splash.isVisible()); // no event loop needed
    QCOMPARE(splash.size(), QSize(431, 96));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(splash.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(splash.geometry().center().y() - screen.center().y()) <= 1);
    QCOMPARE(splash.lblVersion->text(), QStringLiteral("3.5"));
    QCOMPARE(splash.lblBuild->text(), QStringLiteral("Build 3.5.0.10"));
}

void TestSplashScreen::picture()
{
    TClarivexSplashScreen splash;
    const QImage image = splash.grab().toImage();
    const int panelLeft = 431 - 82;
    // The panel in its colour along its edges, white beside it, the banner left.
    for (const QPoint at : {QPoint(panelLeft, 1), QPoint(430, 94), QPoint(panelLeft + 2, 94)})
        QCOMPARE(QColor(image.pixel(at)), QColor(16, 99, 74));
    QCOMPARE(QColor(image.pixel(panelLeft - 1, 1)).lightness() > 200, true);
    QCOMPARE(QColor(image.pixel(0, 0)), QColor(Qt::white));
    int drawn = 0; // the banner is a picture, not a blank area
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < panelLeft; ++x)
            drawn += QColor(image.pixel(x, y)).lightness() < 160;
    QVERIFY2(drawn > 1000, qPrintable(QString::number(drawn)));

    // Both texts white, large over small, and inside the panel.
    QVERIFY(splash.lblVersion->font().pixelSize() > 2 * splash.lblBuild->font().pixelSize());
    for (const QLabel *label : {splash.lblVersion, splash.lblBuild}) {
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        const int width = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(width <= 82, qPrintable(label->text()));
        const QRect inSplash(label->mapTo(&splash, QPoint(0, 0)), label->size());
        QVERIFY(QRect(panelLeft, 0, 82, 96).contains(inSplash));
    }
}

CLARIVEX_TEST_MAIN(TestSplashScreen)
#include "tst_splash_screen.moc"
