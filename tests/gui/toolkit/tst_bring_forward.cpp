#include "gui/toolkit/bring_forward.h"
#include "support/test_main.h"

#include <QWidget>

using namespace clarivex;

class TestBringForward : public QObject
{
    Q_OBJECT
private slots:
    void restoresShowsAndKeepsMaximised_data();
    void restoresShowsAndKeepsMaximised();
};

void TestBringForward::restoresShowsAndKeepsMaximised_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<int>("after");
    QTest::newRow("minimised") << int(Qt::WindowMinimized) << false << int(Qt::WindowNoState);
    QTest::newRow("minimised from maximised")
        << int(Qt::WindowMinimized | Qt::WindowMaximized) << false << int(Qt::WindowMaximized);
    QTest::newRow("hidden in the tray") << int(Qt::WindowNoState) << true << int(Qt::WindowNoState);
    QTest::newRow("already shown") << int(Qt::WindowNoState) << false << int(Qt::WindowNoState);
}

void TestBringForward::restoresShowsAndKeepsMaximised()
{
    QFETCH(int, before);
    QFETCH(bool, hidden);
    QFETCH(int, after);
    QWidget window;
    window.show();
    window.setWindowState(Qt::WindowStates(before));
    if (hidden) window.hide();
    ui::bringForward(&window);
    QVERIFY(window.isVisible());
    QCOMPARE(int(window.windowState() & ~Qt::WindowActive), after);
}

CLARIVEX_TEST_MAIN(TestBringForward)
#include "tst_bring_forward.moc"
