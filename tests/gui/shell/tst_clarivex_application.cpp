#include "gui/shell/clarivex_application.h"
#include "support/test_environment.h"

#include <QPushButton>
#include <QtTest>

#include <stdexcept>

using namespace clarivex;

// An error thrown by a handler ends that handler only: it reaches the error
// handler and the program goes on handling events.
class TestClarivexApplication : public QObject
{
    Q_OBJECT
private slots:
    void uncaughtErrorsReachTheHandler()
    {
        auto *app = static_cast<ClarivexApplication *>(QCoreApplication::instance());
        QStringList shown;
        app->errorHandler = [&](const QString &message) { shown << message; };
        QPushButton button;
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&] {
            if (++clicks == 1) throw std::runtime_error("Invalid data type for 'StartInTray'");
        });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(shown, QStringList{"Invalid data type for 'StartInTray'"});
        QTest::mouseClick(&button, Qt::LeftButton); // still alive
        QCOMPARE(clicks, 2);
        QCOMPARE(shown.size(), 1);
    }
};

int main(int argc, char **argv)
{
    clarivex::test::TestEnvironment environment;
    ClarivexApplication app(argc, argv);
    TestClarivexApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clarivex_application.moc"
