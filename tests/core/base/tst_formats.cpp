#include "core/base/formats.h"
#include "support/test_main.h"

using namespace clarivex;

class TestFormats : public QObject
{
    Q_OBJECT
private slots:
    void dateTimeValues_data();
    void dateTimeValues();
    void valuesRoundTrip();
    void textForms();
    void groupedNumbers();
};

void TestFormats::dateTimeValues_data()
{
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<double>("value");
    QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
    QTest::newRow("noon next day") << QDateTime(QDate(1899, 12, 31), QTime(12, 0)) << 1.5;
    QTest::newRow("before epoch keeps the time forward")
        << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -1.25;
    QTest::newRow("2000-01-01 18:00") << QDateTime(QDate(2000, 1, 1), QTime(18, 0)) << 36526.75;
}

void TestFormats::dateTimeValues()
{
    QFETCH(QDateTime, dateTime);
    QFETCH(double, value);
    QCOMPARE(dateTimeToValue(dateTime), value);
    QCOMPARE(valueToDateTime(value), dateTime);
}

void TestFormats::valuesRoundTrip()
{
    // A second before midnight must not round into the next day, and back.
    const QDateTime late(QDate(2026, 12, 7), QTime(23, 59, 59));
    QCOMPARE(valueToDateTime(dateTimeToValue(late)), late);
    QVERIFY(!valueToDateTime(std::nan("")).isValid());
    QVERIFY(!valueToDateTime(1e300).isValid());
}

void TestFormats::textForms()
{
    const QDateTime dt(QDate(2026, 3, 4), QTime(5, 6, 7));
    QCOMPARE(formatDateTime(dt), QStringLiteral("04-03-2026 05:06:07"));
    QCOMPARE(formatLongTime(QTime(17, 0, 1)), QStringLiteral("17:00:01"));
    QCOMPARE(parseDateTime(QStringLiteral("04-03-2026 05:06:07")), dt);
    QCOMPARE(parseDateTime(QStringLiteral("04-03-2026")),
             QDateTime(QDate(2026, 3, 4), QTime(0, 0)));
    QVERIFY(!parseDateTime(QStringLiteral("2026-03-04")));
    QVERIFY(!parseDateTime(QStringLiteral("31-02-2026")));
    QVERIFY(!parseDateTime(QStringLiteral("04-03-2026 25:00:00")));
}

void TestFormats::groupedNumbers()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(formatGrouped(1234567), QStringLiteral("1,234,567"));
    QCOMPARE(formatGrouped(-1000), QStringLiteral("-1,000"));
    QCOMPARE(formatGrouped(999), QStringLiteral("999"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(formatGrouped(1234567), QStringLiteral("1.234.567"));
    QLocale::setDefault(QLocale::c());
}

CLARIVEX_TEST_MAIN_CORE(TestFormats)
#include "tst_formats.moc"
