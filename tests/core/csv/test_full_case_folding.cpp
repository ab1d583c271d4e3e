// Full case folding without ICU (used on Windows): the same as ICU's for every
// character that both ICU and Qt's Unicode tables know, where ICU is there to ask.
#include <algorithm>

#include <QTest>

#include "csv/FullCaseFolding.h"

#ifndef Q_OS_WIN
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/uversion.h>

namespace {

int asNumber(const UVersionInfo version)
{
    return version[0] * 100 + version[1];
}

// The Unicode version in which ICU says `c` was assigned, as major * 100 + minor; 0 when
// ICU's tables leave it unassigned.
int icuAge(char32_t c)
{
    UVersionInfo age;
    u_charAge(UChar32(c), age);
    return asNumber(age);
}

// The newest Unicode version that both ICU and Qt's tables know, as icuAge() counts.
// Qt names its version only as an enum, so its number is the age ICU gives the
// characters that Qt's tables call newest; when ICU knows none of them, Qt's tables
// are the newer and ICU's version is the limit.
int commonUnicodeVersion()
{
    UVersionInfo icu;
    u_getUnicodeVersion(icu);
    int qt = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (QChar::unicodeVersion(c) == QChar::currentUnicodeVersion())
            qt = std::max(qt, icuAge(c));
    }
    return qt == 0 ? asNumber(icu) : std::min(qt, asNumber(icu));
}

// Whether both tables know what `c` is: assigned by then, or unassigned in both.
bool bothKnow(char32_t c, int commonVersion)
{
    const int age = icuAge(c);
    if (age == 0)
        return QChar::unicodeVersion(c) == QChar::Unicode_Unassigned;
    return age <= commonVersion;
}

} // namespace
#endif

class TestFullCaseFolding : public QObject
{
    Q_OBJECT

private slots:
    void folds_data();
    void folds();
    void sameAsIcuForEveryCharacter();
};

void TestFullCaseFolding::folds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    QTest::newRow("ASCII") << "Name, ID"
                           << "name, id";
    QTest::newRow("sharp s lengthens") << "Straße"
                                       << "strasse";
    QTest::newRow("capital sharp s") << "STRAẞE"
                                     << "strasse";
    QTest::newRow("dotted capital I") << QStringLiteral("\u0130") << QStringLiteral("i\u0307");
    QTest::newRow("one to three") << QStringLiteral("\u0390")
                                  << QStringLiteral("\u03B9\u0308\u0301");
    QTest::newRow("ligature") << QStringLiteral("\uFB03") << "ffi";
    QTest::newRow("Kelvin sign") << QStringLiteral("\u212A") << "k";
    QTest::newRow("final sigma") << "ΟΔΟΣ ὁδός"
                                 << "οδοσ ὁδόσ";
    QTest::newRow("Deseret, beyond the BMP")
        << QStringLiteral("\U00010400") << QStringLiteral("\U00010428");
    QTest::newRow("a lone surrogate stays") << QString(QChar(0xDCE9)) << QString(QChar(0xDCE9));
    QTest::newRow("empty") << ""
                           << "";
}

void TestFullCaseFolding::folds()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(Csv::fullCaseFolded(text), folded);
}

void TestFullCaseFolding::sameAsIcuForEveryCharacter()
{
#ifdef Q_OS_WIN
    QSKIP("No ICU to compare with on Windows");
#else
    // Qt's tables, on which the folding is built, may be of an older Unicode version
    // than ICU's: characters assigned since are left out, and counted.
    const int common = commonUnicodeVersion();
    int differing = 0;
    int leftOut = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (!bothKnow(c, common)) {
            ++leftOut;
            continue;
        }
        const QString text = QString::fromUcs4(&c, 1);
        UChar icu[8];
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = u_strFoldCase(icu, 8, reinterpret_cast<const UChar *>(text.utf16()),
                                             int32_t(text.size()), U_FOLD_CASE_DEFAULT, &status);
        QVERIFY(U_SUCCESS(status));
        const QString expected(reinterpret_cast<const QChar *>(icu), length);
        const QString folded = Csv::fullCaseFolded(text);
        if (folded != expected && ++differing <= 5)
            qWarning("U+%04X: %s, ICU %s", unsigned(c), qPrintable(folded), qPrintable(expected));
    }
    UVersionInfo icu;
    u_getUnicodeVersion(icu);
    qInfo("Compared up to Unicode %d.%d; left out %d characters that only ICU's Unicode %d.%d "
          "or only Qt's tables know",
          common / 100, common % 100, leftOut, icu[0], icu[1]);
    QCOMPARE(differing, 0);
#endif
}

QTEST_APPLESS_MAIN(TestFullCaseFolding)
#include "test_full_case_folding.moc"
