// The files shipped with the program: artwork, the hand cursor staged beside
// the program, the two sample files and the desktop entry.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

const QString sourceDir = QStringLiteral(CORVANTIS_SOURCE_DIR);
const QString stageDir = QStringLiteral(CORVANTIS_STAGE_DIR);

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The lines of a CR LF text, without the empty piece after the final CR LF.
QStringList crlfLines(const QString &text)
{
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Number of fields of a CSV record; quoted fields may hold commas and "".
int csvFieldCount(const QString &line)
{
    int fields = 1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'"')
            quoted = !quoted;
        else if (c == u',' && !quoted)
            ++fields;
    }
    return quoted ? -1 : fields;
}

QStringList sampleLines(const QString &name)
{
    return crlfLines(QString::fromUtf8(readAll(stageDir + "/Samples/" + name)));
}

} // namespace

class ResourcesTest : public QObject
{
    Q_OBJECT

private slots:
    void images_data();
    void images();
    void cursorHotspot();
    void cursorMatchesItsScript();
    void samples_data();
    void samples();
    void samplesDiffer();
    void desktopEntry();
};

void ResourcesTest::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArrayList>("formats");
    QTest::addColumn<bool>("opaque24");

    const QString art = sourceDir + "/resources/art/";
    const QByteArrayList png{"png"};
    QTest::newRow("staged hand cursor")
        << stageDir + "/HAND-M.CUR" << QSize(32, 32) << QByteArrayList{"cur", "ico"} << false;
    QTest::newRow("background") << art + "background.png" << QSize(32, 32) << png << true;
    for (int s : {32, 48, 128, 256})
        QTest::newRow(qPrintable(QString("icon %1").arg(s)))
            << art + QString("icon-%1.png").arg(s) << QSize(s, s) << png << false;
}

void ResourcesTest::images()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(QByteArrayList, formats);
    QFETCH(bool, opaque24);

    QImageReader reader(path);
    QVERIFY2(reader.canRead(), qPrintable(path + ": " + reader.errorString()));
    QVERIFY2(formats.contains(reader.format()), reader.format().constData());
    QCOMPARE(reader.size(), size);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);

    if (opaque24) {
        QVERIFY(!image.hasAlphaChannel());
        // PNG header: bit depth 8 and colour type 2 (RGB) make 24 bits a pixel.
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.size() > 26);
        QCOMPARE(int(bytes.at(24)), 8);
        QCOMPARE(int(bytes.at(25)), 2);
    }
}

// The hotspot is in the file's directory entry (Qt's reader does not report
// it); it must lie on a visible pixel, and the cursor must have a see-through
// part, or the window would show a square.
void ResourcesTest::cursorHotspot()
{
    const QString path = stageDir + "/HAND-M.CUR";
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.size() >= 22);
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    QCOMPARE(u16(0), quint16(0));
    QCOMPARE(u16(2), quint16(2)); // cursor, not icon
    QCOMPARE(u16(4), quint16(1));
    const int hx = u16(10);
    const int hy = u16(12);
    QVERIFY(hx < 32 && hy < 32);

    const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 32));
    QCOMPARE(qAlpha(image.pixel(hx, hy)), 255);
    int transparent = 0;
    int opaque = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            (qAlpha(image.pixel(x, y)) == 0 ? transparent : opaque) += 1;
    QVERIFY2(opaque > 100 && transparent > 100,
             qPrintable(QString("opaque %1, transparent %2").arg(opaque).arg(transparent)));
}

void ResourcesTest::cursorMatchesItsScript()
{
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        QSKIP("python3 not found");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath("hand.cur");
    QProcess p;
    p.start(python, {sourceDir + "/tools/make_cursor.py", out});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(readAll(out), readAll(sourceDir + "/resources/HAND-M.CUR"));
    QCOMPARE(readAll(stageDir + "/HAND-M.CUR"), readAll(out));
}

void ResourcesTest::samples_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("sample1") << "sample1.csv";
    QTest::newRow("sample2") << "sample2.csv";
}

void ResourcesTest::samples()
{
    QFETCH(QString, name);
    const QByteArray bytes = readAll(stageDir + "/Samples/" + name);
    QVERIFY2(!bytes.isEmpty(), qPrintable(stageDir + "/Samples/" + name));
    QCOMPARE(bytes, readAll(sourceDir + "/resources/Samples/" + name));

    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    QVERIFY(!utf8.hasError());
    QVERIFY(!text.startsWith(QChar(0xFEFF)));

    // Windows line breaks throughout, the last line ended too.
    QVERIFY(text.endsWith("\r\n"));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\r')
            QVERIFY2(i + 1 < text.size() && text.at(i + 1) == u'\n',
                     qPrintable(QString::number(i)));
        if (text.at(i) == u'\n')
            QVERIFY2(i > 0 && text.at(i - 1) == u'\r', qPrintable(QString::number(i)));
    }

    const QStringList lines = crlfLines(text);
    QVERIFY(lines.size() >= 25); // header and at least 24 records
    const int columns = csvFieldCount(lines.first());
    QVERIFY(columns > 3);
    for (const QString &line : lines)
        QVERIFY2(csvFieldCount(line) == columns, qPrintable(line));
}

// The samples are there to show both comparisons at work.
void ResourcesTest::samplesDiffer()
{
    const QStringList one = sampleLines("sample1.csv");
    const QStringList two = sampleLines("sample2.csv");
    QVERIFY(!one.isEmpty() && !two.isEmpty());
    QCOMPARE(one.first(), two.first()); // same header

    const QSet<QString> inOne(one.begin(), one.end());
    const QSet<QString> inTwo(two.begin(), two.end());
    QVERIFY2(!(inOne - inTwo).isEmpty(), "no record only in sample1");
    QVERIFY2(!(inTwo - inOne).isEmpty(), "no record only in sample2");

    bool moved = false;
    for (qsizetype i = 1; i < one.size(); ++i)
        moved = moved || (two.indexOf(one.at(i)) > 0 && two.indexOf(one.at(i)) != i);
    QVERIFY2(moved, "no record present in both at different lines");

    // Line pairs for the word comparison: identical records, and records that
    // differ in some words but share others (so only part of the line is red).
    int identical = 0;
    int partlyChanged = 0;
    for (qsizetype i = 1; i < qMin(one.size(), two.size()); ++i) {
        if (one.at(i) == two.at(i)) {
            ++identical;
            continue;
        }
        const QStringList a = one.at(i).split(u' ');
        const QStringList b = two.at(i).split(u' ');
        const QSet<QString> wordsA(a.begin(), a.end());
        const QSet<QString> wordsB(b.begin(), b.end());
        if (a.size() > 1 && wordsA.intersects(wordsB) && wordsA != wordsB)
            ++partlyChanged;
    }
    QVERIFY2(identical >= 3, qPrintable(QString::number(identical)));
    QVERIFY2(partlyChanged >= 2, qPrintable(QString::number(partlyChanged)));
}

void ResourcesTest::desktopEntry()
{
    const QString path = sourceDir + "/resources/corvantis.desktop";
    const QByteArray entry = readAll(path);
    QVERIFY(entry.contains("\nExec=corvantis %F\n"));
    QVERIFY(entry.contains("\nMimeType=text/csv;text/plain;text/tab-separated-values;\n"));
    QVERIFY(entry.contains("\nIcon=corvantis\n"));

    const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (validate.isEmpty())
        QSKIP("desktop-file-validate not found");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(validate, {path});
    QVERIFY(p.waitForFinished(30000));
    const QByteArray output = p.readAll();
    QVERIFY2(p.exitCode() == 0 && output.trimmed().isEmpty(), output.constData());
}

QTEST_MAIN(ResourcesTest)
#include "test_resources.moc"
