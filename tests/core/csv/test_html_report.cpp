#include <QRegularExpression>
#include <QTest>

#include "csv/CellDifference.h"
#include "csv/HtmlReport.h"
#include "csv/RowComparison.h"
#include "support/RowTexts.h"

namespace {

QByteArray html(const Csv::RowComparison &c, const QString &name1, const QString &name2)
{
    QByteArray out;
    Csv::ReportOptions options{name1, name2};
    options.rules = Csv::CellRules{};
    Csv::writeHtmlReport(c, options, [&out](QByteArrayView piece) {
        out += piece;
        return true;
    });
    return out;
}

Csv::RowComparison byKey(const QByteArray &one, const QByteArray &two)
{
    Csv::RowOptions options;
    options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    return TestRows::compareTexts(one, two, options, ',');
}

// Every "<" of the page opens one of the report's own elements: no cell,
// name or column can add markup.
QString strayMarkup(const QByteArray &page)
{
    static const QRegularExpression own(
        QStringLiteral("^</?(!DOCTYPE html|html|head|meta|title|style|body|h1|h2|table|thead|"
                       "tbody|tr|th|td|p|ul|li|del|ins|mark|i|div|colgroup|col)[ >]"));
    const QString text = QString::fromUtf8(page);
    for (qsizetype at = text.indexOf(u'<'); at >= 0; at = text.indexOf(u'<', at + 1)) {
        if (!own.match(QStringView(text).sliced(at, std::min<qsizetype>(20, text.size() - at)))
                 .hasMatch())
            return text.mid(at, 40);
    }
    return QString();
}

} // namespace

class HtmlReportTest : public QObject
{
    Q_OBJECT

private slots:
    void everyValueIsEscaped_data();
    void everyValueIsEscaped();
    void pageStatesTheComparison();
    void rowsComeInBlocks_data();
    void rowsComeInBlocks();
    void changedCharactersAreMarked_data();
    void changedCharactersAreMarked();
};

void HtmlReportTest::everyValueIsEscaped_data()
{
    QTest::addColumn<QByteArray>("one");
    QTest::addColumn<QByteArray>("two");
    QTest::addColumn<QString>("name1");
    QTest::addColumn<QByteArray>("shown"); // must appear in the page

    const QString plain = QStringLiteral("a.csv");
    QTest::newRow("script in a cell")
        << QByteArray("id,v\n1,x\n") << QByteArray("id,v\n1,<script>alert(1)</script>\n") << plain
        << QByteArray("&lt;script&gt;alert(1)&lt;/script&gt;");
    QTest::newRow("markup in a column name")
        << QByteArray("id,\"<b onclick=\"\"x\"\">\"\n1,x\n")
        << QByteArray("id,\"<b onclick=\"\"x\"\">\"\n2,y\n") << plain
        << QByteArray("&lt;b onclick=&quot;x&quot;&gt;");
    QTest::newRow("file name with < & and quotes")
        << QByteArray("id,v\n1,x\n") << QByteArray("id,v\n1,y\n")
        << QStringLiteral("<a&b \"c\" 'd'>.csv")
        << QByteArray("&lt;a&amp;b &quot;c&quot; &#39;d&#39;&gt;.csv");
    QTest::newRow("a name's byte that is not UTF-8")
        << QByteArray("id,v\n1,x\n") << QByteArray("id,v\n1,y\n")
        << QStringLiteral("lat") + QChar(0xDCE9) + QStringLiteral(".csv")
        << QByteArray("lat\\xe9.csv");
    QTest::newRow("control and invisible characters")
        << QByteArray("id,v\n1,x\n") << QByteArray("id,v\n1,\x1b[31m\xe2\x80\xaeok\n") << plain
        << QByteArray("<i>\\x1b</i>[31m<i>\\u202e</i>ok");
    QTest::newRow("bytes that are not UTF-8")
        << QByteArray("id,v\n1,x\n") << QByteArray("id,v\n1,caf\xe9<\n") << plain
        << QByteArray("caf<i>\\xe9</i>&lt;");
    QTest::newRow("an entity stays text")
        << QByteArray("id,v\n1,&amp;\n") << QByteArray("id,v\n1,&lt;\n") << plain
        << QByteArray("&amp;<mark>amp</mark>;");
}

void HtmlReportTest::everyValueIsEscaped()
{
    QFETCH(QByteArray, one);
    QFETCH(QByteArray, two);
    QFETCH(QString, name1);
    QFETCH(QByteArray, shown);
    const Csv::RowComparison c = byKey(one, two);
    QVERIFY2(c.ok(), qPrintable(c.error.message));
    const QByteArray page = html(c, name1, QStringLiteral("b.csv"));
    QVERIFY2(page.contains(shown), page.constData());
    QCOMPARE(strayMarkup(page), QString());
    QVERIFY(page.isValidUtf8());
    QVERIFY(!page.contains('\x1b'));
}

void HtmlReportTest::pageStatesTheComparison()
{
    const Csv::RowComparison c = byKey("id,name,qty,price\n1,Pen,10,1.5\n2,Pad,5,2\n3,Ink,4,7\n"
                                       "4,Cap,1,1\n4,Cap,1,1\n",
                                       "id,name,qty,note\n1,Pen,12,a\n2,Pad,5,b\n5,Clip,2,c\n"
                                       "3,Ink!,40,d\n");
    QVERIFY2(c.ok(), qPrintable(c.error.message));
    const QByteArray page = html(c, QStringLiteral("old.csv"), QStringLiteral("new.csv"));
    // Self-contained: nothing fetched, nothing run.
    for (const char *outside : {"<script", "<link", "src=", "href=", "url(", "@import", "http"})
        QVERIFY2(!page.contains(outside), outside);
    QVERIFY(page.startsWith("<!DOCTYPE html>"));
    QVERIFY(page.endsWith("</html>\n"));
    QVERIFY(page.contains("<title>old.csv \xe2\x86\x92 new.csv</title>"));
    QVERIFY(page.contains("<tr><th>Key<td>id\n"));
    QVERIFY(page.contains(
        "<p class=\"summary\">0 removed, 1 added, 2 changed (of 5 / 4 rows); 1 duplicate key</p>"));
    // A row a finding, each with its status; the rows of a duplicate key apart.
    QCOMPARE(page.count("<tr class=r>"), 0);
    QCOMPARE(page.count("<tr class=a>"), 1);
    QCOMPARE(page.count("<tr class=c>"), 2);
    QCOMPARE(page.count("<tr class=d>"), 2);
    QVERIFY(page.contains("<tr class=a><td>added<td class=n><td class=n>4<td>5<td>Clip<td>2<td>"
                          "c<td>\n"));
    // Per column: how many changed rows differ in it (qty in both, name in one).
    QVERIFY(page.contains("<tr><td>qty<td class=n>3<td>both files<td class=n>2\n"));
    QVERIFY(page.contains("<tr><td>name<td class=n>2<td>both files<td class=n>1\n"));
    QVERIFY(page.contains("<tr><td>price<td class=n>4<td>file 1 only<td class=n>0\n"));
    QVERIFY(page.contains("Column \xe2\x80\x9cnote\xe2\x80\x9d only in file 2"));
    // The changed row shows old → new, the differing characters marked.
    QVERIFY(page.contains("<tr class=c><td>changed<td class=n>4<td class=n>5<td>3<td class=x>"
                          "<del>Ink</del> \xe2\x86\x92 <ins>Ink<mark>!</mark></ins>"
                          "<td class=x><del>4</del> \xe2\x86\x92 <ins>4<mark>0"
                          "</mark></ins><td>d<td>7\n"));
}

// Rows in blocks of 256, each a whole table with a width for every column.
void HtmlReportTest::rowsComeInBlocks_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("blocks");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("a block's worth") << 256 << 1;
    QTest::newRow("one more") << 257 << 2;
    QTest::newRow("several") << 600 << 3;
}

void HtmlReportTest::rowsComeInBlocks()
{
    QFETCH(int, rows);
    QFETCH(int, blocks);
    QByteArray added = "id,v\n";
    for (int i = 0; i < rows; ++i)
        added += QByteArray::number(i) + ",x\n";
    const Csv::RowComparison c = byKey("id,v\n", added);
    const QByteArray page = html(c, QStringLiteral("a.csv"), QStringLiteral("b.csv"));
    QCOMPARE(page.count("<tr class=a>"), rows);
    QCOMPARE(page.count("<div class=k><table><colgroup>"), blocks);
    QCOMPARE(page.count("</tbody></table></div>\n"), blocks);
    // Status, the two lines, id and v: in the header and in each block.
    QCOMPARE(page.count("<col style="), 5 * (blocks + 1));
    QVERIFY(page.endsWith("</div>\n</body></html>\n"));
}

void HtmlReportTest::changedCharactersAreMarked_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("now");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("oldLength");
    QTest::addColumn<int>("newLength");

    QTest::newRow("one digit") << QByteArray("10") << QByteArray("12") << 1 << 1 << 1;
    QTest::newRow("equal") << QByteArray("abc") << QByteArray("abc") << 3 << 0 << 0;
    QTest::newRow("empty to text") << QByteArray() << QByteArray("ab") << 0 << 0 << 2;
    QTest::newRow("inserted inside a repeat")
        << QByteArray("abc") << QByteArray("abXbc") << 2 << 0 << 2;
    // é and è share their first byte: the whole character is marked.
    QTest::newRow("same first byte")
        << QByteArray("caf\xc3\xa9") << QByteArray("caf\xc3\xa8") << 3 << 2 << 2;
    // é and ĩ share their last byte: so is the common end.
    QTest::newRow("same last byte")
        << QByteArray("a\xc3\xa9") << QByteArray("a\xc4\xa9") << 1 << 2 << 2;
    QTest::newRow("four-byte character")
        << QByteArray("x\xf0\x9f\x98\x80y") << QByteArray("x\xf0\x9f\x98\x81y") << 1 << 4 << 4;
}

void HtmlReportTest::changedCharactersAreMarked()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, now);
    QFETCH(int, start);
    QFETCH(int, oldLength);
    QFETCH(int, newLength);
    const Csv::CellDifference d = Csv::cellDifference(old, now);
    QCOMPARE(d.start, qsizetype(start));
    QCOMPARE(d.oldLength, qsizetype(oldLength));
    QCOMPARE(d.newLength, qsizetype(newLength));
}

QTEST_APPLESS_MAIN(HtmlReportTest)
#include "test_html_report.moc"
