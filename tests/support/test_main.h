#pragma once

// main() for a QtTest program: the environment is isolated before the
// application object exists, then the test object runs.

#include "support/scripted_notices.h"
#include "support/test_environment.h"

#include <QApplication>
#include <QCoreApplication>
#include <QtTest>

#define CLARIVEX_TEST_MAIN_IMPL(AppType, TestObject)                                               \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        clarivex::test::TestEnvironment testEnvironment;                                           \
        AppType app(argc, argv);                                                                   \
        /* A message box that nobody answers would hang the run: each one is */                   \
        /* recorded and answered No or Cancel unless the test installs its own. */                \
        clarivex::test::ScopedNotices defaultNotices;                                              \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

// For tests of widgets (offscreen platform unless QT_QPA_PLATFORM says otherwise).
#define CLARIVEX_TEST_MAIN(TestObject) CLARIVEX_TEST_MAIN_IMPL(QApplication, TestObject)
// For tests that need no widgets.
#define CLARIVEX_TEST_MAIN_CORE(TestObject) CLARIVEX_TEST_MAIN_IMPL(QCoreApplication, TestObject)
