#include <QTest>

#include "csv/CellRules.h"

using Csv::NumberStyle;

Q_DECLARE_METATYPE(Csv::NumberStyle)

namespace {

Csv::CellRules numbers(NumberStyle style1 = NumberStyle::Plain,
                       NumberStyle style2 = NumberStyle::Plain, double tolerance = 0)
{
    Csv::CellRules rules;
    rules.numbers = true;
    rules.tolerance = tolerance;
    return rules.styled(style1, style2);
}

} // namespace

class CellRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void numbersByValue_data();
    void numbersByValue();
    void detectsStyle_data();
    void detectsStyle();
    void longNumbersStayLinear();
};

void CellRulesTest::numbersByValue_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<NumberStyle>("style1");
    QTest::addColumn<NumberStyle>("style2");
    QTest::addColumn<bool>("equal");

    const NumberStyle plain = NumberStyle::Plain;
    const NumberStyle point = NumberStyle::Point;
    const NumberStyle comma = NumberStyle::Comma;
    QTest::newRow("1.0 = 1") << QByteArray("1.0") << QByteArray("1") << plain << plain << true;
    QTest::newRow("1e0 = +1") << QByteArray("1e0") << QByteArray("+1") << plain << plain << true;
    QTest::newRow("exponent moves the point")
        << QByteArray("12.5E-1") << QByteArray("0.0125e2") << plain << plain << true;
    QTest::newRow("-0 = 0.000e9") << QByteArray("-0") << QByteArray("0.000e9") << plain << plain
                                  << true;
    QTest::newRow(".5 = 0.50") << QByteArray(".5") << QByteArray("0.50") << plain << plain << true;
    QTest::newRow("-1. = -1") << QByteArray("-1.") << QByteArray("-1") << plain << plain << true;
    QTest::newRow("sign counts") << QByteArray("-1") << QByteArray("1") << plain << plain << false;
    QTest::newRow("0.1000000000000000001 is not 0.1")
        << QByteArray("0.1000000000000000001") << QByteArray("0.1") << plain << plain << false;
    QTest::newRow("2^53 + 1 is not 2^53")
        << QByteArray("9007199254740993") << QByteArray("9007199254740992") << plain << plain
        << false;
    QTest::newRow("20 digits that round alike")
        << QByteArray("12345678901234567890") << QByteArray("12345678901234567891") << plain
        << plain << false;
    QTest::newRow("beyond a double's range")
        << QByteArray("1e999") << QByteArray("10e998") << plain << plain << true;
    QTest::newRow("beyond a double's range, differing")
        << QByteArray("1e999") << QByteArray("2e999") << plain << plain << false;
    QTest::newRow("hex is text") << QByteArray("0x10") << QByteArray("16") << plain << plain
                                 << false;
    QTest::newRow("nan is text and equal to itself")
        << QByteArray("nan") << QByteArray("nan") << plain << plain << true;
    QTest::newRow("a lone exponent is text")
        << QByteArray("1e") << QByteArray("1") << plain << plain << false;
    QTest::newRow("plain: 1,234 is text")
        << QByteArray("1,234") << QByteArray("1234") << plain << plain << false;
    QTest::newRow("decimal comma against point")
        << QByteArray("24,77") << QByteArray("24.77") << comma << plain << true;
    QTest::newRow("comma: dots group thousands")
        << QByteArray("1.234,56") << QByteArray("1234.56") << comma << point << true;
    QTest::newRow("comma: negative")
        << QByteArray("-1.234,5") << QByteArray("-1234.50") << comma << plain << true;
    QTest::newRow("comma: space groups")
        << QByteArray("1 234,56") << QByteArray("1234.56") << comma << plain << true;
    QTest::newRow("comma: no-break space groups")
        << QByteArray("1\xC2\xA0"
                      "234,56")
        << QByteArray("1234.56") << comma << plain << true;
    QTest::newRow("comma: narrow no-break space groups")
        << QByteArray("12\xE2\x80\xAF"
                      "345\xE2\x80\xAF"
                      "678,9")
        << QByteArray("12345678.9") << comma << plain << true;
    QTest::newRow("point: commas group thousands")
        << QByteArray("1,234.56") << QByteArray("1234.56") << point << plain << true;
    QTest::newRow("point: a group of two is text")
        << QByteArray("1,23.5") << QByteArray("123.5") << point << plain << false;
    QTest::newRow("point: a first group of four is text")
        << QByteArray("1234,567") << QByteArray("1234567") << point << plain << false;
    QTest::newRow("point: separators mixed is text")
        << QByteArray("1,234 567") << QByteArray("1234567") << point << plain << false;
    QTest::newRow("comma: exact past a double")
        << QByteArray("0,1000000000000000001") << QByteArray("0.1") << comma << plain << false;
    QTest::newRow("same text, other styles")
        << QByteArray("1.234") << QByteArray("1.234") << comma << plain << false;
}

void CellRulesTest::numbersByValue()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(NumberStyle, style1);
    QFETCH(NumberStyle, style2);
    QFETCH(bool, equal);

    QCOMPARE(Csv::cellsEqual(a, b, numbers(style1, style2)), equal);
    QCOMPARE(Csv::cellsEqual(b, a, numbers(style2, style1)), equal);
    // Keys are found by hash: equal cells must hash alike, read each in its style.
    if (equal)
        QCOMPARE(Csv::cellHash(a, numbers(style1)), Csv::cellHash(b, numbers(style2)));
    // A tolerance, which reads doubles, still joins whatever is exactly equal.
    if (equal)
        QVERIFY(Csv::cellsEqual(a, b, numbers(style1, style2, 1e-300)));
}

void CellRulesTest::detectsStyle_data()
{
    QTest::addColumn<QByteArrayList>("values");
    QTest::addColumn<NumberStyle>("style");

    QTest::newRow("decimal commas")
        << QByteArrayList{"24,77", "3", "1.234,5"} << NumberStyle::Comma;
    QTest::newRow("negative with thousands dots")
        << QByteArrayList{"-1.234,5"} << NumberStyle::Comma;
    QTest::newRow("points") << QByteArrayList{"24.77", "1,234"} << NumberStyle::Point;
    QTest::newRow("grouped with a point") << QByteArrayList{"1,234.56"} << NumberStyle::Point;
    QTest::newRow("1,234 alone reads either way")
        << QByteArrayList{"1,234", "12"} << NumberStyle::Plain;
    QTest::newRow("1.234 alone reads either way") << QByteArrayList{"1.234"} << NumberStyle::Plain;
    QTest::newRow("both kinds: as it was") << QByteArrayList{"1,5", "2.5"} << NumberStyle::Plain;
    QTest::newRow("text and blanks say nothing")
        << QByteArrayList{"a,b", "", " 24,77 ", "x.y"} << NumberStyle::Comma;
    QTest::newRow("no values") << QByteArrayList{} << NumberStyle::Plain;
}

void CellRulesTest::detectsStyle()
{
    QFETCH(QByteArrayList, values);
    QFETCH(NumberStyle, style);

    Csv::NumberStyleFinder finder;
    for (const QByteArray &value : values)
        finder.add(value);
    QCOMPARE(finder.style(), style);
}

// A number of a million digits against one that differs in its last:
// compared digit by digit, not through a double, and in linear time.
void CellRulesTest::longNumbersStayLinear()
{
    QByteArray a(1'000'000, '7');
    QByteArray b = a;
    b[b.size() - 1] = '8';
    QVERIFY(!Csv::cellsEqual(a, b, numbers()));
    QVERIFY(Csv::cellsEqual(a, a + ".000", numbers()));
    QVERIFY(!Csv::cellsEqual(a, b, numbers(NumberStyle::Plain, NumberStyle::Plain, 0.5)));
}

QTEST_APPLESS_MAIN(CellRulesTest)
#include "test_cell_rules.moc"
