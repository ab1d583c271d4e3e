// The settings store and the Boolean reading of its texts.
#include <QTest>

#include "settings/Settings.h"
#include "settings/SettingsBackend.h"
#include "base/AppError.h"

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void booleanConversion_data();
    void booleanConversion();
    void missingEntryGivesDefaultWithoutCreatingIt();
    void storeRoundTripsThroughQSettings();
};

void TestSettings::booleanConversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // 0 false, 1 true, -1 fails
    QTest::newRow("True") << "True" << 1;
    QTest::newRow("False") << "False" << 0;
    QTest::newRow("true (any case)") << "tRUE" << 1;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("-1") << "-1" << 1;
    QTest::newRow("2.5") << "2.5" << 1;
    QTest::newRow("0.0") << "0.0" << 0;
    QTest::newRow("padded number") << " 0 " << 0;
    QTest::newRow("yes") << "yes" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("Truth") << "Truth" << -1;
}

void TestSettings::booleanConversion()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    if (expected < 0) {
        try {
            Settings::CBool(text);
            QFAIL("conversion should fail");
        } catch (const AppError &e) {
            QCOMPARE(e.description(), QStringLiteral("Type mismatch"));
        }
        return;
    }
    QCOMPARE(Settings::CBool(text), expected == 1);
}

void TestSettings::missingEntryGivesDefaultWithoutCreatingIt()
{
    Platform::MemorySettingsBackend store;
    QCOMPARE(Settings::GetSetting(store, "Quillfen", "Corvantis", "Option2", 1), QStringLiteral("1"));
    QCOMPARE(Settings::GetSetting(store, "Quillfen", "Corvantis", "Option1", 0), QStringLiteral("0"));
    QVERIFY(store.entries.empty());
    Settings::SaveSetting(store, "Quillfen", "Corvantis", "Option1", "True");
    Settings::SaveSetting(store, "Quillfen", "Corvantis", "Option1", "True");
    QCOMPARE(store.entries.size(), size_t(1));
    QCOMPARE(Settings::GetSetting(store, "Quillfen", "Corvantis", "Option1", 0), QStringLiteral("True"));
}

void TestSettings::storeRoundTripsThroughQSettings()
{
    // XDG_CONFIG_HOME points into the build tree for tests.
    QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
    Platform::QSettingsBackend store;
    const QString key = QStringLiteral("Probe%1").arg(QCoreApplication::applicationPid());
    QVERIFY(!store.value("Quillfen", "Corvantis", key));
    QCOMPARE(Settings::GetSetting(store, "Quillfen", "Corvantis", key, 1), QStringLiteral("1"));
    QVERIFY(!store.value("Quillfen", "Corvantis", key)); // reading created nothing
    store.setValue("Quillfen", "Corvantis", key, "False");
    QCOMPARE(Platform::QSettingsBackend().value("Quillfen", "Corvantis", key).value_or(""),
             QStringLiteral("False"));
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Quillfen/Quillfen.conf";
    QVERIFY2(QFile::exists(file), qPrintable(file));
}

QTEST_APPLESS_MAIN(TestSettings)
#include "test_settings.moc"
