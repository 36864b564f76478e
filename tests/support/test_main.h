#pragma once

// main() for a QtTest program: the environment is isolated before the
// application object exists, then the test object runs.

#include "support/modal_watchdog.h"
#include "support/scripted_notices.h"
#include "support/test_environment.h"

#include <QApplication>
#include <QCoreApplication>
#include <QtTest>

// Anything that blocks outside an event loop past this is ended by QtTest's
// own watchdog, which names the test function.
inline void clarivexLimitTestFunctions()
{
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "60000");
}

#define CLARIVEX_TEST_MAIN_IMPL(AppType, TestObject, ...)                                          \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        clarivex::test::TestEnvironment testEnvironment;                                           \
        clarivexLimitTestFunctions();                                                              \
        AppType app(argc, argv);                                                                   \
        __VA_ARGS__                                                                                \
        /* A message box that nobody answers would hang the run: each one is */                    \
        /* recorded and answered No or Cancel unless the test installs its own. */                 \
        clarivex::test::ScopedNotices defaultNotices;                                              \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

// For tests of widgets (offscreen platform unless QT_QPA_PLATFORM says otherwise).
// A dialog left open past the wait limit is closed and fails the test.
#define CLARIVEX_TEST_MAIN(TestObject)                                                             \
    CLARIVEX_TEST_MAIN_IMPL(QApplication, TestObject, clarivex::test::ModalWatchdog watchdog;)
// For tests that need no widgets.
#define CLARIVEX_TEST_MAIN_CORE(TestObject) CLARIVEX_TEST_MAIN_IMPL(QCoreApplication, TestObject)
