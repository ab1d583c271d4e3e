#include <QTest>

#include "base/AppError.h"
#include "settings/SettingsBackend.h"
#include "tables/TableSettings.h"

namespace {

// A store that can be read but not written, as a read-only configuration
// folder is.
class ReadOnlySettings final : public Platform::SettingsBackend
{
public:
    std::optional<QString> value(const QString &, const QString &, const QString &) const override
    {
        return std::nullopt;
    }
    void setValue(const QString &, const QString &, const QString &, const QString &) override
    {
        throw AppError(QStringLiteral("read-only"));
    }
};

} // namespace

class TableSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void columnsStateOnlyForTheSameColumns_data();
    void columnsStateOnlyForTheSameColumns();
    void choicesPerPair();
    void aStoreThatCannotBeWritten();
};

void TableSettingsTest::columnsStateOnlyForTheSameColumns_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("given");
    QTest::newRow("as many columns") << 12 << 12 << true;
    QTest::newRow("one more") << 12 << 13 << false;
    QTest::newRow("one fewer") << 12 << 11 << false;
    QTest::newRow("nothing stored") << 0 << 12 << false;
    QTest::newRow("no columns yet") << 0 << 0 << false;
}

// A header's state fits only a table of the columns it was stored for: it
// is never applied to another.
void TableSettingsTest::columnsStateOnlyForTheSameColumns()
{
    QFETCH(int, stored);
    QFETCH(int, asked);
    QFETCH(bool, given);
    Platform::MemorySettingsBackend backend;
    Tables::TableSettings settings(backend);
    const QByteArray state("\x00\xff state \x01", 10);
    if (stored > 0)
        settings.storeColumnsState(stored, state);
    QCOMPARE(settings.columnsState(asked), given ? state : QByteArray());
}

void TableSettingsTest::choicesPerPair()
{
    Platform::MemorySettingsBackend backend;
    Tables::TableSettings settings(backend);
    Tables::PairChoices jan;
    jan.key = Csv::parseColumnList(QStringLiteral("order_id,line_no")).columns;
    jan.ignoreColumns = Csv::parseColumnList(QStringLiteral("note")).columns;
    jan.decimalMark1 = Csv::DecimalMark::Comma;
    const QString pair = Tables::pairEntry(QStringLiteral("jan.csv"), QStringLiteral("feb.csv"));
    QVERIFY(!settings.choicesFor(pair));
    settings.remember(pair, jan);
    QCOMPARE(settings.choicesFor(pair), std::optional(jan));
    // The other way round is another pair.
    QVERIFY(!settings.choicesFor(
        Tables::pairEntry(QStringLiteral("feb.csv"), QStringLiteral("jan.csv"))));
    settings.storeBytes(QStringLiteral("Geometry"), QByteArray("\x01\x02\x00", 3));
    QCOMPARE(settings.bytes(QStringLiteral("Geometry")), QByteArray("\x01\x02\x00", 3));
}

// The window works the same when nothing can be stored: no write throws.
void TableSettingsTest::aStoreThatCannotBeWritten()
{
    ReadOnlySettings backend;
    Tables::TableSettings settings(backend);
    settings.store(QStringLiteral("Options"), QStringLiteral("x"));
    settings.storeColumnsState(3, QByteArray("abc"));
    settings.remember(QStringLiteral("pair"), Tables::PairChoices{});
    QVERIFY(settings.value(QStringLiteral("Options")).isEmpty());
    QVERIFY(!settings.choicesFor(QStringLiteral("pair")));
}

QTEST_APPLESS_MAIN(TableSettingsTest)
#include "test_table_settings.moc"
