#include <QRandomGenerator>
#include <QTest>

#include "TestBytes.h"
#include "engine/ColourRange.h"
#include "text/PaneBytes.h"
#include "text/TextDecoding.h"

class PaneBytesTest : public QObject
{
    Q_OBJECT

private slots:
    void knownForms_data();
    void knownForms();
    void randomTextsRoundTrip();
    void offsetsMapBothWays();
    void rangesInAnyOrder();
    void utf8FileIsKeptWithoutACopy_data();
    void utf8FileIsKeptWithoutACopy();
};

namespace {

// Any UTF-16 units at all, the halves of surrogate pairs alone or together.
QString randomUnits(QRandomGenerator &random)
{
    static const char16_t pool[] = {u'a',   u'\r',  u'\n',  u' ',   0,      0xE9,   0x20AC,
                                    0x2028, 0x2029, 0xFEFF, 0xD83D, 0xDE00, 0xDBFF, 0xDC00,
                                    0xFFFD, 0x7FF,  0x800,  0xD7FF, 0xE000, 0xFFFF};
    QString text;
    const int length = random.bounded(40);
    for (int i = 0; i < length; ++i) {
        if (random.bounded(3) == 0)
            text += QChar(char16_t(random.bounded(0x10000)));
        else
            text += QChar(pool[random.bounded(int(std::size(pool)))]);
    }
    return text;
}

} // namespace

void PaneBytesTest::knownForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("breaks as they are")
        << QStringLiteral("a\r\nb\rc\n") << QByteArray("a\r\nb\rc\n");
    QTest::newRow("nul") << QString(QChar(0)) << BYTES("\0");
    QTest::newRow("two and three bytes")
        << text16(u"\u00E9\u20AC") << QByteArray("\xC3\xA9\xE2\x82\xAC");
    QTest::newRow("line and paragraph separators")
        << text16(u"\u2028\u2029") << QByteArray("\xE2\x80\xA8\xE2\x80\xA9");
    QTest::newRow("astral character") << text16(u"\U0001F600") << QByteArray("\xF0\x9F\x98\x80");
    QTest::newRow("byte-order mark at the start is text") << QChar(0xFEFF) + QStringLiteral("a")
                                                          << QByteArray("\xEF\xBB\xBF"
                                                                        "a");
    QTest::newRow("lone high surrogate") << QString(QChar(0xD800)) << QByteArray("\xED\xA0\x80");
    QTest::newRow("low before high is two lone halves")
        << text16(u"\xDC00\xD800") << QByteArray("\xED\xB0\x80\xED\xA0\x80");
}

void PaneBytesTest::knownForms()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(PaneBytes::fromText(text), bytes);
    QCOMPARE(PaneBytes::toText(bytes), text);
    QCOMPARE(PaneBytes::utf16Length(bytes), text.size());
    QCOMPARE(PaneBytes::isUtf8(bytes), bytes.isValidUtf8());
}

// Every text comes back unchanged, its length is counted right, and two texts
// have equal bytes exactly when they are equal.
void PaneBytesTest::randomTextsRoundTrip()
{
    QRandomGenerator random(99);
    QString previous;
    QByteArray previousBytes;
    for (int round = 0; round < 20000; ++round) {
        const QString text = random.bounded(8) == 0 ? previous : randomUnits(random);
        const QByteArray bytes = PaneBytes::fromText(text);
        QCOMPARE(PaneBytes::toText(bytes), text);
        QCOMPARE(PaneBytes::utf16Length(bytes), text.size());
        QCOMPARE(bytes == previousBytes, text == previous);
        QCOMPARE(PaneBytes::isUtf8(bytes), bytes.isValidUtf8());
        previous = text;
        previousBytes = bytes;
    }
}

// At every character boundary the two offsets map onto each other.
void PaneBytesTest::offsetsMapBothWays()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 2000; ++round) {
        const QString text = randomUnits(random);
        const QByteArray bytes = PaneBytes::fromText(text);
        std::vector<qsizetype> units;
        std::vector<qsizetype> expectedBytes;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool pairMiddle = i > 0 && i < text.size() && text[i - 1].isHighSurrogate()
                                    && text[i].isLowSurrogate();
            if (pairMiddle)
                continue;
            units.push_back(i);
            expectedBytes.push_back(PaneBytes::fromText(QStringView(text).first(i)).size());
        }
        QCOMPARE(PaneBytes::byteOffsets(bytes, units), expectedBytes);
        QCOMPARE(PaneBytes::utf16Offsets(bytes, expectedBytes), units);
    }
}

void PaneBytesTest::rangesInAnyOrder()
{
    const QString text = text16(u"a\U0001F600\u00E9\r\nxyz");
    const QByteArray bytes = PaneBytes::fromText(text);
    const Compare::ColourRanges utf16{{5, 2}, {0, 1}, {1, 3}};
    const Compare::ColourRanges inBytes{{8, 2}, {0, 1}, {1, 6}};
    QCOMPARE(PaneBytes::toByteRanges(bytes, utf16), inBytes);
    QCOMPARE(PaneBytes::toUtf16Ranges(bytes, inBytes), utf16);
}

void PaneBytesTest::utf8FileIsKeptWithoutACopy_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("shared");
    QTest::newRow("UTF-8 with CR LF") << QByteArray("n,\xC3\xA9\r\nb\r\n") << true;
    QTest::newRow("ASCII without breaks") << QByteArray("abc") << true;
    QTest::newRow("lone LF is made CR LF") << QByteArray("a\nb") << false;
    QTest::newRow("Windows-1252") << QByteArray("caf\xE9") << false;
}

void PaneBytesTest::utf8FileIsKeptWithoutACopy()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, shared);
    const QString expected = Files::decodeToPaneText(file);
    const char *before = file.constData();
    const QByteArray pane = Files::decodeToPaneBytes(file);
    QCOMPARE(pane.constData() == before, shared);
    QCOMPARE(PaneBytes::toText(pane), expected);
}

QTEST_APPLESS_MAIN(PaneBytesTest)
#include "test_pane_bytes.moc"
