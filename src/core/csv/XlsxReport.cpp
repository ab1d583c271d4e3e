#include "csv/XlsxReport.h"

#include <algorithm>
#include <array>
#include <memory>
#include <xlsxwriter.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "csv/ReportFacts.h"
#include "csv/RowComparison.h"

namespace Csv {

namespace {

// How a cell is filled: by the status of its row, or as a changed cell.
enum Fill { Plain, Removed, Added, ChangedNew, ChangedOld, Duplicate, Heading, FillCount };

constexpr std::array<lxw_color_t, FillCount> kFillColours{0,        0xFBE0E0, 0xDCF3DC, 0xFFE680,
                                                          0xFFF6CC, 0xF3E6C8, 0xE4E4E4};

// Excel keeps at most this many characters in a cell, and rows in a sheet.
constexpr qsizetype kCellLimit = 32767;
constexpr lxw_row_t kRowLimit = LXW_ROW_MAX;

const QString kCancelled = QStringLiteral("the report was cancelled");

// The number of decimals of a cell that a spreadsheet can hold as a number
// and show as written: an optional minus, digits without a leading zero (or
// a single 0), optionally a point and digits; at most 15 significant digits,
// which a double holds exactly. -1 for any other cell ("007", "1e3", "1,5").
int plainDecimals(QByteArrayView cell)
{
    qsizetype i = cell.startsWith('-') ? 1 : 0;
    const qsizetype intStart = i;
    while (i < cell.size() && cell[i] >= '0' && cell[i] <= '9')
        ++i;
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && cell[intStart] == '0'))
        return -1;
    int decimals = 0;
    if (i < cell.size() && cell[i] == '.') {
        ++i;
        while (i < cell.size() && cell[i] >= '0' && cell[i] <= '9') {
            ++i;
            ++decimals;
        }
        if (decimals == 0)
            return -1;
    }
    const bool leadingZero = cell[intStart] == '0';
    if (i != cell.size() || (leadingZero ? 0 : intDigits) + decimals > 15)
        return -1;
    return decimals;
}

// A value as the workbook holds it: valid UTF-8 without control characters
// (XML cannot carry them) as it is; anything else as the text report writes
// it ("\x1b", "\xe9"). Cut at the cell limit, with "…" where it was cut.
QByteArray sheetText(QByteArrayView value)
{
    bool plain = value.isValidUtf8();
    for (qsizetype i = 0; plain && i < value.size(); ++i) {
        const auto b = uchar(value[i]);
        plain = b >= 0x20 || b == '\t' || b == '\n' || b == '\r';
    }
    QByteArray text = plain ? value.toByteArray() : escapedForText(value);
    // Bytes bound characters from above: most cells need no counting.
    const auto characters = [&text] {
        return std::count_if(text.begin(), text.end(),
                             [](char c) { return (uchar(c) & 0xC0) != 0x80; });
    };
    if (text.size() > kCellLimit && characters() > kCellLimit) {
        qsizetype cut = kCellLimit - 1;
        while (cut > 0 && (uchar(text[cut]) & 0xC0) == 0x80)
            --cut;
        text = text.first(cut) + "\xe2\x80\xa6";
    }
    return text;
}

class XlsxReport
{
public:
    XlsxReport(const RowComparison &c, const ReportOptions &options)
        : m_c(c), m_options(options), m_facts(c), m_oldColumn(c.mapping.columns.size(), 0),
          m_control(options.control)
    {
        for (const qint32 k : c.changedColumnList)
            m_oldColumn[size_t(k)] = 1;
    }

    QString write(const QString &path)
    {
        qsizetype columns = 5 + qsizetype(m_facts.order().size());
        for (const char old : m_oldColumn)
            columns += old;
        if (columns > LXW_COL_MAX)
            return QStringLiteral("a sheet holds at most %1 columns; this report needs %2")
                .arg(withThousands(LXW_COL_MAX), withThousands(columns));
        lxw_workbook_options settings{};
        settings.constant_memory = LXW_TRUE;
        const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
        settings.tmpdir = const_cast<char *>(folder.constData());
        m_book = workbook_new_opt(QFile::encodeName(path).constData(), &settings);
        if (!m_book)
            return QStringLiteral("cannot start the workbook");
        m_rows = workbook_add_worksheet(m_book, "Differences");
        m_summary = workbook_add_worksheet(m_book, "Summary");
        differences();
        summary();
        const lxw_error error = workbook_close(m_book);
        if (!m_error.isEmpty()) // a cancel, or the first error of many
            return m_error;
        return error != LXW_NO_ERROR ? QString::fromUtf8(lxw_strerror(error)) : QString();
    }

private:
    // The format of a cell with this fill and this many decimals (-1: text).
    lxw_format *format(Fill fill, int decimals = -1)
    {
        lxw_format *&slot = m_formats[size_t(fill)][size_t(decimals + 1)];
        if (slot)
            return slot;
        slot = workbook_add_format(m_book);
        if (fill != Plain)
            format_set_bg_color(slot, kFillColours[size_t(fill)]);
        if (fill == Heading)
            format_set_bold(slot);
        if (fill == ChangedOld)
            format_set_font_strikeout(slot);
        if (decimals >= 0)
            format_set_num_format(
                slot, decimals == 0 ? "0" : ("0." + QByteArray(decimals, '0')).constData());
        return slot;
    }

    void check(lxw_error error)
    {
        if (error != LXW_NO_ERROR && m_error.isEmpty())
            m_error = QString::fromUtf8(lxw_strerror(error));
    }

    void string(lxw_worksheet *sheet, lxw_row_t row, lxw_col_t column, QByteArrayView value,
                lxw_format *cellFormat)
    {
        check(worksheet_write_string(sheet, row, column, sheetText(value).constData(), cellFormat));
    }
    void string(lxw_worksheet *sheet, lxw_row_t row, lxw_col_t column, const QString &value,
                lxw_format *cellFormat = nullptr)
    {
        string(sheet, row, column, QByteArrayView(value.toUtf8()), cellFormat);
    }

    // A cell's value: a number where it reads as a plain one.
    void value(lxw_row_t row, lxw_col_t column, QByteArrayView cell, Fill fill)
    {
        if (cell.isEmpty()) {
            if (fill != Plain)
                check(worksheet_write_blank(m_rows, row, column, format(fill)));
            return;
        }
        const int decimals = plainDecimals(cell);
        if (decimals >= 0) {
            check(worksheet_write_number(m_rows, row, column,
                                         QByteArray(cell.data(), cell.size()).toDouble(),
                                         format(fill, decimals)));
            return;
        }
        string(m_rows, row, column, cell, fill == Plain ? nullptr : format(fill));
    }

    void differences()
    {
        lxw_col_t column = 0;
        for (const char *name : {"Status", "Line 1", "Line 2"})
            string(m_rows, 0, column++, QString::fromLatin1(name), format(Heading));
        for (const qsizetype k : m_facts.order()) {
            const QString label = m_c.mapping.label(k);
            string(m_rows, 0, column++, label, format(Heading));
            if (m_oldColumn[size_t(k)])
                string(m_rows, 0, column++, label + QStringLiteral(" (old)"), format(Heading));
        }
        m_lastColumn = column + 1;
        string(m_rows, 0, column++, QStringLiteral("Changed"), format(Heading));
        string(m_rows, 0, column, QStringLiteral("Note"), format(Heading));
        worksheet_freeze_panes(m_rows, 1, 0);
        // Printed: as wide as the page, the header on every page.
        worksheet_set_landscape(m_rows);
        worksheet_fit_to_pages(m_rows, 1, 0);
        check(worksheet_repeat_rows(m_rows, 0, 0));
        worksheet_set_column(m_rows, 0, 0, 10, nullptr);
        worksheet_set_column(m_rows, 1, 2, 7, nullptr);
        worksheet_set_column(m_rows, 3, m_lastColumn, 14, nullptr);

        Row keyRow;
        for (const DuplicateKey &d : m_c.duplicateKeys) {
            const bool in1 = !d.records1.empty();
            (in1 ? *m_c.table1 : *m_c.table2)
                .split(in1 ? d.records1.front() : d.records2.front(), keyRow);
            const QByteArray note = "Duplicate key " + keyText(keyRow, in1);
            for (const qint32 r : d.records1)
                row(Duplicate, r, -1, {}, note);
            for (const qint32 r : d.records2)
                row(Duplicate, -1, r, {}, note);
            if (!m_error.isEmpty())
                return;
        }
        for (size_t i = 0; i < m_c.removed.size(); ++i) {
            fetchAhead(*m_c.table1, m_c.removed, i);
            if (!row(Removed, m_c.removed[i], -1))
                return;
        }
        for (size_t i = 0; i < m_c.added.size(); ++i) {
            fetchAhead(*m_c.table2, m_c.added, i);
            if (!row(Added, -1, m_c.added[i]))
                return;
        }
        std::vector<qint32> scratch;
        std::vector<char> changed(m_c.mapping.columns.size(), 0);
        for (size_t i = 0; i < m_c.changed.size(); ++i) {
            const ChangedRow &c = m_c.changed[i];
            if (!m_error.isEmpty())
                break;
            fetchAhead(m_c, i);
            QByteArray names;
            for (const qint32 k : m_facts.changes(c, scratch)) {
                changed[size_t(k)] = 1;
                names += (names.isEmpty() ? "" : "; ") + m_c.mapping.label(k).toUtf8();
            }
            row(ChangedNew, c.record1, c.record2, changed, names);
            for (const qint32 k : scratch)
                changed[size_t(k)] = 0;
        }
        worksheet_autofilter(m_rows, 0, 0, std::max<lxw_row_t>(m_next - 1, 1), m_lastColumn);
    }

    // "id=7, region=north" from a row of the file it belongs to.
    QByteArray keyText(const Row &row, bool file1) const
    {
        QByteArray out;
        for (size_t k = 0; k < m_c.keyColumns.size(); ++k) {
            const Column &column = m_c.mapping.columns[size_t(m_c.keyColumns[k])];
            out += (k > 0 ? ", " : "") + m_c.mapping.label(m_c.keyColumns[k]).toUtf8() + '=';
            out += row[file1 ? column.index1 : column.index2];
        }
        return out;
    }

    // One finding: file 2's cells where it has the row (a column only file 1
    // has shows file 1's), file 1's otherwise; a changed cell's old value in
    // the column beside it. False once the writing stops (an error, Cancel).
    bool row(Fill status, qint32 record1, qint32 record2, const std::vector<char> &changed = {},
             const QByteArray &note = {})
    {
        if (!m_error.isEmpty())
            return false;
        if (m_control && ++m_counted == kRowsPerCheck) {
            m_counted = 0;
            if (!m_control->proceed(kRowsPerCheck)) {
                m_error = kCancelled;
                return false;
            }
        }
        if (m_next >= kRowLimit) {
            m_cut = true;
            return true;
        }
        const lxw_row_t at = m_next++;
        if (record1 >= 0)
            m_c.table1->split(record1, m_row1);
        if (record2 >= 0)
            m_c.table2->split(record2, m_row2);
        static const char *const kStatus[] = {"", "removed", "added", "changed", "", "duplicate"};
        string(m_rows, at, 0, QByteArrayView(kStatus[status]), format(status));
        if (record1 >= 0)
            check(
                worksheet_write_number(m_rows, at, 1, double(m_c.table1->line(record1)), nullptr));
        if (record2 >= 0)
            check(
                worksheet_write_number(m_rows, at, 2, double(m_c.table2->line(record2)), nullptr));
        const Fill rowFill = status == ChangedNew ? Plain : status;
        lxw_col_t column = 3;
        for (const qsizetype k : m_facts.order()) {
            const Column &mapped = m_c.mapping.columns[size_t(k)];
            const bool isChanged = !changed.empty() && changed[size_t(k)];
            const bool own2 = record2 >= 0 && mapped.index2 >= 0;
            const qint64 index = own2 ? mapped.index2 : mapped.index1;
            if (index >= 0 && (own2 || record1 >= 0))
                value(at, column, (own2 ? m_row2 : m_row1)[index],
                      isChanged ? ChangedNew : rowFill);
            ++column;
            if (!m_oldColumn[size_t(k)])
                continue;
            if (isChanged)
                value(at, column, m_row1[mapped.index1], ChangedOld);
            ++column;
        }
        if (status == ChangedNew)
            string(m_rows, at, column, QByteArrayView(note), nullptr);
        if (status == Duplicate)
            string(m_rows, at, column + 1, QByteArrayView(note), nullptr);
        return true;
    }

    void summary()
    {
        lxw_worksheet *sheet = m_summary;
        lxw_row_t at = 0;
        worksheet_set_column(sheet, 0, 0, 22, nullptr);
        worksheet_set_landscape(sheet);
        worksheet_fit_to_pages(sheet, 1, 0);
        worksheet_set_column(sheet, 1, 3, 16, nullptr);
        const auto line = [&](const QString &label, const QString &text) {
            string(sheet, at, 0, label, format(Heading));
            string(sheet, at++, 1, text);
        };
        const auto count = [&](const QString &label, qsizetype number) {
            string(sheet, at, 0, label, format(Heading));
            check(worksheet_write_number(sheet, at++, 1, double(number), nullptr));
        };
        line(QStringLiteral("File 1"), QString::fromUtf8(escapedName(m_options.name1)));
        line(QStringLiteral("File 2"), QString::fromUtf8(escapedName(m_options.name2)));
        for (const auto &[label, text] : optionLines(m_c, m_options))
            line(label, text);
        line(QStringLiteral("Summary"), summaryLine(m_c));
        count(QStringLiteral("Removed"), qsizetype(m_c.removed.size()));
        count(QStringLiteral("Added"), qsizetype(m_c.added.size()));
        count(QStringLiteral("Changed"), qsizetype(m_c.changed.size()));
        count(QStringLiteral("Duplicate keys"), qsizetype(m_c.duplicateKeys.size()));
        count(QStringLiteral("Rows in file 1"), m_c.rows1);
        count(QStringLiteral("Rows in file 2"), m_c.rows2);
        ++at;
        lxw_col_t column = 0;
        for (const char *name : {"Column", "Number", "In", "Changed rows"})
            string(sheet, at, column++, QString::fromLatin1(name), format(Heading));
        ++at;
        for (const qsizetype k : m_facts.order()) {
            string(sheet, at, 0, m_c.mapping.label(k));
            check(worksheet_write_number(sheet, at, 1, double(m_c.mapping.number(k)), nullptr));
            string(sheet, at, 2, columnPlace(m_c.mapping.columns[size_t(k)]));
            check(worksheet_write_number(sheet, at++, 3, double(m_facts.changedRows(k)), nullptr));
        }
        ++at;
        const auto note = [&](const QString &text) { string(sheet, at++, 0, text); };
        if (m_c.mapping.reordered)
            note(QStringLiteral("Columns in another order in file 2"));
        const auto ragged = [&](const Table &table, const std::vector<qint32> &records,
                                qsizetype width, int file) {
            for (const qint32 r : records)
                note(QStringLiteral("Ragged row: line %1 of file %2 has %3 cells, not %4")
                         .arg(table.line(r))
                         .arg(file)
                         .arg(table.cellCount(r))
                         .arg(width));
        };
        ragged(*m_c.table1, m_c.ragged1, m_c.mapping.width1, 1);
        ragged(*m_c.table2, m_c.ragged2, m_c.mapping.width2, 2);
        if (m_cut)
            note(QStringLiteral("More findings than a sheet holds: the first %1 are listed")
                     .arg(withThousands(qsizetype(kRowLimit - 1))));
    }

    const RowComparison &m_c;
    const ReportOptions &m_options;
    const ReportFacts m_facts;
    std::vector<char> m_oldColumn; // per mapping column: has an old-value column
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_rows = nullptr;
    lxw_worksheet *m_summary = nullptr;
    std::array<std::array<lxw_format *, 17>, FillCount> m_formats{};
    lxw_row_t m_next = 1; // the next row of the differences
    lxw_col_t m_lastColumn = 0;
    bool m_cut = false;
    QString m_error;
    WorkControl *m_control;
    qint64 m_counted = 0; // rows since Cancel was last checked
    static constexpr qint64 kRowsPerCheck = 256;
    Row m_row1;
    Row m_row2;
};

} // namespace

QString writeXlsxReport(const RowComparison &comparison, const ReportOptions &options,
                        const ReportSink &sink)
{
    WorkControl *control = options.control;
    if (control) {
        try {
            control->start(WorkPhase::Writing, reportRows(comparison));
        } catch (const WorkCancelled &) {
            return kCancelled;
        }
    }
    const QTemporaryDir folder;
    if (!folder.isValid())
        return folder.errorString();
    const QString path = folder.filePath(QStringLiteral("report.xlsx"));
    if (const QString error = XlsxReport(comparison, options).write(path); !error.isEmpty())
        return error;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    QByteArray piece;
    while (!(piece = file.read(1 << 16)).isEmpty()) {
        if (control && control->cancelled())
            return kCancelled;
        if (!sink(piece))
            return QStringLiteral("the report could not be written whole");
    }
    return file.error() == QFileDevice::NoError ? QString() : file.errorString();
}

} // namespace Csv
