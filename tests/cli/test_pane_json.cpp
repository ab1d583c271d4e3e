// The streamed JSON of lines/words --json against what QJsonDocument writes
// for the same text: every byte the same, on any text a pane can hold.

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

#include "PaneJson.h"
#include "text/PaneBytes.h"

class PaneJsonTest : public QObject
{
    Q_OBJECT

private slots:
    void textAsQtWritesIt_data();
    void textAsQtWritesIt();
    void randomTexts();
    void rangesAsConverted_data();
    void rangesAsConverted();
};

namespace {

QByteArray streamedText(QByteArrayView paneBytes)
{
    QByteArray out;
    Cli::writeJsonText(paneBytes, [&out](QByteArrayView piece) { out += piece; });
    return out;
}

// The string as QJsonDocument writes it: the one element of an array.
QByteArray qtText(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.sliced(1, array.size() - 2);
}

QString units(std::initializer_list<char16_t> list)
{
    return QString(reinterpret_cast<const QChar *>(list.begin()), qsizetype(list.size()));
}

} // namespace

void PaneJsonTest::textAsQtWritesIt_data()
{
    QTest::addColumn<QByteArray>("paneBytes");

    QString ascii;
    for (char16_t u = 0; u < 0x80; ++u)
        ascii += QChar(u);
    const QString piece(1 << 20, u'x'); // the size written at a time
    const auto row = [](const char *name, const QString &text) {
        QTest::newRow(name) << PaneBytes::fromText(text);
    };
    row("empty", QString());
    row("every ASCII character", ascii);
    row("CR LF and a CR at the end", QStringLiteral("a,1\r\nb,\"2\"\r\n\\\r"));
    row("letters past ASCII",
        QStringLiteral("caf\u00e9 \u0436 \u4e2d \u00a0 \ufeff \ufffe \uffff"));
    row("byte-order mark first", QStringLiteral("\ufeffid"));
    row("surrogate pair", units({u'a', 0xD83D, 0xDE00, u'b'}));
    row("lone high surrogate", units({u'a', 0xD800, u'\r'}));
    row("lone low surrogate", units({0xDC80, u'z'}));
    row("high surrogate at the end", units({u'a', 0xDBFF}));
    row("two highs then a low", units({0xD800, 0xD801, 0xDC00}));
    row("no ASCII across a piece", QString((1 << 20) + 5, QChar(0x00e9)) + u'a');
    row("pair across a piece", piece.left(piece.size() - 1) + units({0xD83D, 0xDE00}) + u'\r');
    row("lone surrogate across a piece", piece + units({0xDFFF, 0xD800}));
    row("control character across a piece", piece.left(piece.size() - 1) + QChar(0x01) + u'"');
    // Bytes of a high and a low surrogate written apart: the text reads them
    // as one pair.
    QTest::newRow("surrogates apart in the bytes") << QByteArray("a\xed\xa0\xbd\xed\xb8\x80z");
}

void PaneJsonTest::textAsQtWritesIt()
{
    QFETCH(QByteArray, paneBytes);
    QCOMPARE(streamedText(paneBytes), qtText(PaneBytes::toText(paneBytes)));
}

void PaneJsonTest::randomTexts()
{
    QRandomGenerator random(20261210);
    // Mostly the characters that take another path: escapes, past ASCII,
    // surrogates alone and in pairs.
    const char16_t pool[] = {u'a',   u'"',   u'\\',  u'\r',  u'\n', 0x00,   0x1f,
                             0x7f,   0x80,   0xe9,   0x7ff,  0x800, 0x202e, 0xd800,
                             0xdbff, 0xdc00, 0xdfff, 0xfeff, 0xffff};
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = int(random.bounded(40));
        for (int i = 0; i < length; ++i)
            text += QChar(random.bounded(4) == 0 ? char16_t(random.bounded(0x10000))
                                                 : pool[random.bounded(int(std::size(pool)))]);
        const QByteArray bytes = PaneBytes::fromText(text);
        QCOMPARE(PaneBytes::toText(bytes), text);
        const QByteArray streamed = streamedText(bytes);
        if (streamed != qtText(text))
            QFAIL(qPrintable(
                QStringLiteral("differs for the units %1")
                    .arg(QString::fromLatin1(
                        QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)
                            .toHex(' ')))));
    }
}

void PaneJsonTest::rangesAsConverted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ranges");

    QTest::newRow("none") << QStringLiteral("abc") << 0;
    QTest::newRow("ASCII, one batch") << QString(5000, u'x') << 1000;
    // Two-, three- and four-byte characters make the two counts part, more
    // with every batch; 200000 ranges are several batches.
    QTest::newRow("past ASCII, many batches")
        << QStringLiteral("a\u00e9\u4e2d\U0001F600").repeated(120000) << 200000;
}

void PaneJsonTest::rangesAsConverted()
{
    QFETCH(QString, text);
    QFETCH(int, ranges);

    const QByteArray bytes = PaneBytes::fromText(text);
    // Sorted ranges apart from each other, starting and ending on characters.
    QRandomGenerator random(7);
    std::vector<qsizetype> starts;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        if ((uchar(bytes[at]) & 0xC0) != 0x80)
            starts.push_back(at);
    }
    Compare::ColourRanges byteRanges;
    const std::size_t step = ranges > 0 ? starts.size() / std::size_t(ranges) : 0;
    for (int i = 0; i < ranges; ++i) {
        const std::size_t first = std::size_t(i) * step;
        const std::size_t last = first + 1 + random.bounded(int(step - 1));
        const qsizetype end = last < starts.size() ? starts[last] : bytes.size();
        byteRanges.push_back({starts[first], end - starts[first]});
    }

    QByteArray streamed;
    Cli::writeJsonRanges(bytes, byteRanges, [&](QByteArrayView piece) { streamed += piece; });
    QJsonArray expected;
    for (const Compare::ColourRange &range : PaneBytes::toUtf16Ranges(bytes, byteRanges))
        expected.append(QJsonArray{qint64(range.start), qint64(range.length)});
    QCOMPARE(streamed, QJsonDocument(expected).toJson(QJsonDocument::Compact));
}

QTEST_GUILESS_MAIN(PaneJsonTest)
#include "test_pane_json.moc"
