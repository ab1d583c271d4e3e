// The settings store and the Boolean reading of its texts.
#include <cerrno>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QTest>

#include "base/AppError.h"
#include "settings/Settings.h"
#include "settings/SettingsBackend.h"
#include "support/UnwritableSettingsFile.h"

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void booleanConversion_data();
    void booleanConversion();
    void missingEntryGivesDefaultWithoutCreatingIt();
    void storeRoundTripsThroughQSettings();
    void damagedStoreIsRewrittenWithoutError();
    void unwritableStoreNamesFileAndReason();
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
    // Words a number reader knows, but no number a user writes.
    QTest::newRow("nan") << "nan" << -1;
    QTest::newRow("NaN") << "NaN" << -1;
    QTest::newRow("inf") << "inf" << -1;
    QTest::newRow("-inf") << "-inf" << -1;
    QTest::newRow("overflowing exponent") << "1e999" << -1;
    QTest::newRow("exponent") << "1e3" << 1;
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
    QCOMPARE(Settings::GetSetting(store, "Quillfen", "Corvantis", "Option2", 1),
             QStringLiteral("1"));
    QCOMPARE(Settings::GetSetting(store, "Quillfen", "Corvantis", "Option1", 0),
             QStringLiteral("0"));
    QVERIFY(store.entries.empty());
    Settings::SaveSetting(store, "Quillfen", "Corvantis", "Option1", "True");
    Settings::SaveSetting(store, "Quillfen", "Corvantis", "Option1", "True");
    QCOMPARE(store.entries.size(), size_t(1));
    QCOMPARE(Settings::GetSetting(store, "Quillfen", "Corvantis", "Option1", 0),
             QStringLiteral("True"));
}

void TestSettings::storeRoundTripsThroughQSettings()
{
#ifdef Q_OS_WIN
    // The user's part of the registry, under the same names as the file on Linux.
    Platform::QSettingsBackend store;
    const QString key = QStringLiteral("Probe%1").arg(QCoreApplication::applicationPid());
    QSettings registry(QStringLiteral("HKEY_CURRENT_USER\\Software\\Quillfen\\Quillfen"),
                       QSettings::NativeFormat);
    const auto removeProbe = qScopeGuard([&registry, &key] {
        registry.remove(QStringLiteral("Corvantis/") + key);
        registry.sync();
    });
    QVERIFY(!store.value("Quillfen", "Corvantis", key));
    QCOMPARE(Settings::GetSetting(store, "Quillfen", "Corvantis", key, 1), QStringLiteral("1"));
    QVERIFY(!store.value("Quillfen", "Corvantis", key)); // reading created nothing
    store.setValue("Quillfen", "Corvantis", key, "False");
    registry.sync();
    QCOMPARE(registry.value(QStringLiteral("Corvantis/") + key).toString(),
             QStringLiteral("False"));
#else
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
#endif
}

namespace {

QString settingsFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + "/Quillfen/Quillfen.conf";
}

} // namespace

void TestSettings::damagedStoreIsRewrittenWithoutError()
{
#ifdef Q_OS_WIN
    QSKIP("the registry has no settings file to damage");
#endif
    // A file of random bytes cannot be read as settings, but writing replaces it.
    QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
    QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).absolutePath()));
    QByteArray junk;
    QRandomGenerator random(42);
    for (int i = 0; i < 4096; ++i)
        junk.append(char(random.bounded(256)));
    {
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(junk), junk.size());
    }
    Platform::QSettingsBackend store;
    try {
        store.setValue("Quillfen", "Corvantis", "Option2", "True");
    } catch (const AppError &e) {
        QFAIL(qPrintable("a store that succeeded reported: " + e.description()));
    }
    QCOMPARE(Platform::QSettingsBackend().value("Quillfen", "Corvantis", "Option2").value_or(""),
             QStringLiteral("True"));
}

void TestSettings::unwritableStoreNamesFileAndReason()
{
#ifdef Q_OS_WIN
    QSKIP("the registry has no settings file to block");
#endif
    const UnwritableSettingsFile blocked(settingsFile());
    QVERIFY(blocked.made());
    const QString &file = blocked.path();
    Platform::QSettingsBackend store;
    try {
        store.setValue("Quillfen", "Corvantis", "Option2", "True");
        QFAIL("storing into a folder should fail");
    } catch (const AppError &e) {
        QVERIFY2(e.description().contains("Option2"), qPrintable(e.description()));
        QVERIFY2(e.description().contains(QDir::toNativeSeparators(file)),
                 qPrintable(e.description()));
        QVERIFY2(e.description().contains(qt_error_string(EISDIR)), qPrintable(e.description()));
    }
}

QTEST_APPLESS_MAIN(TestSettings)
#include "test_settings.moc"
