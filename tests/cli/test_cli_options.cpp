// The one option loop of corvantis-cli, on a table shaped like the modes'
// own: an option with a value, one whose value is only joined by "=", flags.

#include <QTest>

#include "CliOptions.h"

class CliOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void readsCommandLine_data();
    void readsCommandLine();
    void findsMode_data();
    void findsMode();
};

namespace {

// What the table was given, in order: "--key=id", "--color", "--color=never".
struct Taken
{
    QStringList items;

    Cli::OptionTable table()
    {
        return {{QStringLiteral("--key")},
                {QStringLiteral("--color")},
                [this](const QString &argument) {
                    if (argument != QLatin1String("--color") && argument != QLatin1String("--fast"))
                        return false;
                    items << argument;
                    return true;
                },
                [this](const QString &name, const std::optional<QString> &value) {
                    if (!value)
                        return name + QStringLiteral(" needs a value");
                    if (*value == QLatin1String("bad"))
                        return QStringLiteral("bad value");
                    items << name + u'=' + *value;
                    return QString();
                }};
    }
};

} // namespace

void CliOptionsTest::readsCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("operands");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("common"); // h: help, v: version, q: quiet
    QTest::addColumn<QString>("error");

    QTest::newRow("options anywhere")
        << QStringList{"--fast", "a", "--key", "id", "b", "--key=x=y"} << QStringList{"a", "b"}
        << QStringList{"--fast", "--key=id", "--key=x=y"} << ""
        << "";
    QTest::newRow("value looking like an option")
        << QStringList{"--key", "--fast", "a"} << QStringList{"a"} << QStringList{"--key=--fast"}
        << ""
        << "";
    QTest::newRow("empty joined value")
        << QStringList{"--key="} << QStringList{} << QStringList{"--key="} << ""
        << "";
    QTest::newRow("value missing at the end")
        << QStringList{"a", "--key"} << QStringList{"a"} << QStringList{} << ""
        << "--key needs a value";
    QTest::newRow("joined-only value, alone a flag")
        << QStringList{"--color", "a", "--color=never"} << QStringList{"a"}
        << QStringList{"--color", "--color=never"} << ""
        << "";
    QTest::newRow("joined-only value never takes the next argument")
        << QStringList{"--color", "never"} << QStringList{"never"} << QStringList{"--color"} << ""
        << "";
    QTest::newRow("flag with a value is unknown")
        << QStringList{"--fast=1"} << QStringList{} << QStringList{} << ""
        << "Unknown option \"--fast=1\"";
    QTest::newRow("common flags") << QStringList{"-q", "--help", "-h", "--version", "--quiet"}
                                  << QStringList{} << QStringList{} << "hvq"
                                  << "";
    QTest::newRow("common flag with a value is unknown")
        << QStringList{"--quiet=yes"} << QStringList{} << QStringList{} << ""
        << "Unknown option \"--quiet=yes\"";
    QTest::newRow("dash is an operand, -- ends the options")
        << QStringList{"-", "--", "--key", "-q", "--"} << QStringList{"-", "--key", "-q", "--"}
        << QStringList{} << ""
        << "";
    QTest::newRow("the loop stops at the first error")
        << QStringList{"--key", "bad", "--help", "a", "--nope"} << QStringList{} << QStringList{}
        << ""
        << "bad value";
    QTest::newRow("unknown short option")
        << QStringList{"-x", "a"} << QStringList{} << QStringList{} << ""
        << "Unknown option \"-x\"";
}

void CliOptionsTest::readsCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, operands);
    QFETCH(QStringList, taken);
    QFETCH(QString, common);
    QFETCH(QString, error);

    Taken given;
    const Cli::CommandLine line = Cli::readCommandLine(arguments, given.table());
    QCOMPARE(line.error, error);
    QCOMPARE(line.operands, operands);
    QCOMPARE(given.items, taken);
    QCOMPARE(line.help, common.contains(u'h'));
    QCOMPARE(line.version, common.contains(u'v'));
    QCOMPARE(line.quiet, common.contains(u'q'));
}

void CliOptionsTest::findsMode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("at");

    QTest::newRow("first") << QStringList{"rows", "a", "b"} << 0;
    QTest::newRow("after flags") << QStringList{"-q", "--stat", "lines", "a"} << 2;
    QTest::newRow("after an option's value") << QStringList{"--key", "rows", "words"} << 2;
    QTest::newRow("joined value skips nothing") << QStringList{"--key=id", "rows"} << 1;
    QTest::newRow("after --") << QStringList{"--", "-q"} << 1;
    QTest::newRow("standard input first") << QStringList{"-", "rows"} << 0;
    QTest::newRow("none") << QStringList{"--help", "--key", "x"} << -1;
    QTest::newRow("nothing after --") << QStringList{"-q", "--"} << -1;
    QTest::newRow("empty") << QStringList{} << -1;
}

void CliOptionsTest::findsMode()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, at);
    QCOMPARE(Cli::modeAt(arguments, {QStringLiteral("--key")}), qsizetype(at));
}

QTEST_GUILESS_MAIN(CliOptionsTest)
#include "test_cli_options.moc"
