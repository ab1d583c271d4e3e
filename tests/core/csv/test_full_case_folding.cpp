// Full case folding without ICU (used on Windows): the same as ICU's for every
// character, where ICU is there to ask.
#include <QTest>

#include "csv/FullCaseFolding.h"

#ifndef Q_OS_WIN
#include <unicode/uchar.h>
#include <unicode/ustring.h>
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
    int differing = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
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
    QCOMPARE(differing, 0);
#endif
}

QTEST_APPLESS_MAIN(TestFullCaseFolding)
#include "test_full_case_folding.moc"
