// The update check's settings: their defaults, the build's address and the
// environment's replacement, and the switch that clarivex-cli sets.

#include "support/cli_runner.h"
#include "support/test_main.h"

#include "core/shell/custom_registry.h"
#include "core/shell/settings_catalogue.h"
#include "core/shell/update_settings.h"

using namespace clarivex;
using namespace clarivex::test;

namespace {
const QString kSection = QStringLiteral("Settings\\Update");
const QString kKey = QStringLiteral("HKCU\\Software\\Marlowtek\\Clarivex 2000\\Settings\\Update");

SettingsCatalogue loaded()
{
    SettingsCatalogue settings;
    LoadAllSettings(settings, SettingsContext::current());
    return settings;
}
} // namespace

class TestUpdateSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaults_data();
    void defaults();
    void cliSwitchesTheAutomaticCheckOff();
    void savingKeepsTheAddressUnwritten();
};

void TestUpdateSettings::init()
{
    TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
    ini.DropSection(kSection);
}

void TestUpdateSettings::cleanup()
{
    qputenv("CLARIVEX_UPDATE_URL", ""); // as the test environment set it
}

void TestUpdateSettings::defaults_data()
{
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("address");
    QTest::newRow("nothing anywhere") << QByteArray() << QString() << "";
    QTest::newRow("environment") << QByteArray("https://127.0.0.1:9/i") << QString()
                                 << "https://127.0.0.1:9/i";
    QTest::newRow("stored wins") << QByteArray("https://127.0.0.1:9/i") << "https://127.0.0.1:8/s"
                                 << "https://127.0.0.1:8/s";
}

void TestUpdateSettings::defaults()
{
    QFETCH(QByteArray, environment);
    QFETCH(QString, stored);
    qputenv("CLARIVEX_UPDATE_URL", environment);
    if (!stored.isNull()) {
        TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
        ini.WriteText(kSection, QStringLiteral("InfoURL"), stored);
    }
    const UpdateSettings update = loaded().update;
    QTEST(update.InfoURL, "address");
    QVERIFY(update.AutoCheck);
}

void TestUpdateSettings::cliSwitchesTheAutomaticCheckOff()
{
    const CliResult set = runCli(QStringList{"reg", "set", kKey, "AutoCheck", "--flag", "false"});
    QCOMPARE(set.exitCode, 0);
    QVERIFY(!loaded().update.AutoCheck);
    QCOMPARE(runCli(QStringList{"reg", "set", kKey, "AutoCheck", "--flag", "true"}).exitCode, 0);
    QVERIFY(loaded().update.AutoCheck);
}

void TestUpdateSettings::savingKeepsTheAddressUnwritten()
{
    SettingsCatalogue settings = loaded();
    settings.update.AutoCheck = false;
    settings.update.InfoURL = QStringLiteral("https://127.0.0.1:7/old");
    SaveAllSettings(settings, SettingsContext::current());
    TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
    QVERIFY(!ini.ReadFlag(kSection, QStringLiteral("AutoCheck"), true));
    QCOMPARE(ini.ReadText(kSection, QStringLiteral("InfoURL"), QStringLiteral("none")),
             QStringLiteral("none"));
}

CLARIVEX_TEST_MAIN_CORE(TestUpdateSettings)
#include "tst_update_settings.moc"
