// corvantis-cli lines|words: the texts as the window's panes hold them after
// "Load CSV File", compared as the window's commands compare them.

#include "TextMode.h"

#include <cstdio>
#include <functional>
#include <utility>

#include "InputFile.h"
#include "Messages.h"
#include "PaneJson.h"
#include "SheetOption.h"
#include "base/BothAtOnce.h"
#include "csv/RowsReport.h"
#include "engine/ColourRange.h"
#include "text/PaneBytes.h"
#include "text/SavedBytes.h"
#include "text/TextDecoding.h"

namespace Cli {

namespace {

// What is printed besides the listing.
enum class Output { Listing, Stat, Json, Quiet, Result };

// The two texts as panes hold them (UTF-8, see PaneBytes) and both results.
struct Comparison
{
    QByteArray text1;
    QByteArray text2;
    Compare::ByteSideResult file1;
    Compare::ByteSideResult file2;
};

// Runs first() and second() at once, one on each core; a failure of either
// reaches the caller.
void both(const std::function<void()> &first, const std::function<void()> &second)
{
    runBothAtOnce(first, second);
}

void toStandardOutput(QByteArrayView bytes)
{
    writeBytes(stdout, bytes);
}

class TextMode final : public Mode
{
public:
    QString name() const override { return QString(); }
    QString usage() const override { return usageText(); }
    QString file1() const override { return m_file1; }
    QString file2() const override { return m_file2; }

    OptionTable options() override
    {
        return {QStringList{QStringLiteral("--result")} + SheetChoice::options(),
                {},
                [this](const QString &argument) { return takeFlag(argument); },
                [this](const QString &name, const std::optional<QString> &value) {
                    if (SheetChoice::options().contains(name))
                        return !value || value->isEmpty()
                                   ? QStringLiteral("%1 needs a value").arg(name)
                                   : m_sheets.take(name, *value);
                    return takeResult(value);
                }};
    }

    QString finish(const CommandLine &line) override;
    int run() override;

private:
    bool takeFlag(const QString &argument);
    QString takeResult(const std::optional<QString> &value);
    QString outputConflict(bool quiet) const;

    QByteArray heading(const QString &file, const QString &other) const;
    void printListing(const Comparison &c) const;
    void printStat(const Comparison &c) const;

    const TextComparison *m_comparison = &lineComparison();
    QString m_file1;
    QString m_file2;
    bool m_json = false;
    bool m_stat = false;
    int m_resultOf = 0; // 1 or 2: write the saved result of that file
    SheetChoice m_sheets;
    Output m_output = Output::Listing;
};

bool TextMode::takeFlag(const QString &argument)
{
    if (argument == QLatin1String("--json"))
        m_json = true;
    else if (argument == QLatin1String("--stat"))
        m_stat = true;
    else
        return false;
    return true;
}

QString TextMode::takeResult(const std::optional<QString> &value)
{
    if (!value)
        return QStringLiteral("--result needs a file number, 1 or 2");
    if (m_resultOf != 0)
        return QStringLiteral("--result is given twice");
    if (*value != QLatin1String("1") && *value != QLatin1String("2"))
        return QStringLiteral("--result takes 1 or 2, not \"%1\"").arg(*value);
    m_resultOf = value->toInt();
    return QString();
}

// Why the options that choose what is printed cannot all be used at once, or
// nothing when at most one of them is given.
QString TextMode::outputConflict(bool quiet) const
{
    QStringList given;
    if (m_resultOf != 0)
        given << QStringLiteral("--result");
    if (m_json)
        given << QStringLiteral("--json");
    if (m_stat)
        given << QStringLiteral("--stat");
    if (quiet)
        given << QStringLiteral("--quiet");
    if (given.size() < 2)
        return QString();
    return QStringLiteral("%1 and %2 cannot be used together").arg(given[0], given[1]);
}

QString TextMode::finish(const CommandLine &line)
{
    if (const QString conflict = outputConflict(line.quiet); !conflict.isEmpty())
        return conflict;
    const QStringList &operands = line.operands;
    if (operands.isEmpty())
        return QStringLiteral("Say which comparison: \"lines\", \"words\" or \"rows\"");
    if (operands[0] == QLatin1String(wordComparison().word))
        m_comparison = &wordComparison();
    else if (operands[0] != QLatin1String(lineComparison().word))
        return QStringLiteral("Unknown comparison \"%1\": say \"lines\", \"words\" or \"rows\"")
            .arg(operands[0]);
    if (operands.size() != 3)
        return QStringLiteral("Give exactly two files to compare");
    m_file1 = operands[1];
    m_file2 = operands[2];
    m_output = m_resultOf != 0 ? Output::Result
               : m_json        ? Output::Json
               : m_stat        ? Output::Stat
               : line.quiet    ? Output::Quiet
                               : Output::Listing;
    return QString();
}

// The heading of one file's differences; names are escaped as every report
// prints them, so that a name cannot pass for a report line or drive the
// terminal.
QByteArray TextMode::heading(const QString &file, const QString &other) const
{
    return QString::fromUtf8(m_comparison->heading)
        .arg(QString::fromUtf8(Csv::escapedName(file)), QString::fromUtf8(Csv::escapedName(other)))
        .toUtf8();
}

// The differences as the result pane lists them, one entry a line, written
// straight from the result's bytes.
void TextMode::printListing(const Comparison &c) const
{
    const auto group = [&](const QString &file, const QString &other, QByteArrayView result) {
        toStandardOutput(heading(file, other) + '\n');
        QByteArray printable; // a lone surrogate prints as '?', as text does
        if (!PaneBytes::isUtf8(result)) {
            printable = PaneBytes::toText(result).toUtf8();
            result = printable;
        }
        m_comparison->forEachEntry(result, [](QByteArrayView entry) {
            toStandardOutput(entry);
            toStandardOutput("\n");
        });
    };
    group(m_file1, m_file2, c.file1.resultText);
    group(m_file2, m_file1, c.file2.resultText);
}

void TextMode::printStat(const Comparison &c) const
{
    toStandardOutput(heading(m_file1, m_file2) + ' ' + QByteArray::number(c.file1.differences)
                     + '\n' + heading(m_file2, m_file1) + ' '
                     + QByteArray::number(c.file2.differences) + '\n');
}

// {"file1":{"red":[...],"text":"..."},"file2":{...},"result1":"...","result2":"..."}:
// texts and offsets in UTF-16 code units, as the window counts them, keys in
// the order QJsonDocument gives them. Streamed: the whole text is never
// copied into JSON.
void printJson(const Comparison &c)
{
    const JsonSink put = toStandardOutput;
    const auto pane = [&](const QByteArray &text, const Compare::ColourRanges &red) {
        put("{\"red\":");
        writeJsonRanges(text, Compare::normalised(red), put);
        put(",\"text\":");
        writeJsonText(text, put);
        put("}");
    };
    put("{\"file1\":");
    pane(c.text1, c.file1.red);
    put(",\"file2\":");
    pane(c.text2, c.file2.red);
    put(",\"result1\":");
    writeJsonText(c.file1.resultText, put);
    put(",\"result2\":");
    writeJsonText(c.file2.resultText, put);
    put("}\n");
}

void writeSavedResult(const QByteArray &resultText)
{
    if (!PaneBytes::isUtf8(resultText)) { // the save writes a lone surrogate as '?'
        toStandardOutput(Files::savedBytes(PaneBytes::toText(resultText)));
        return;
    }
    toStandardOutput(resultText);
    toStandardOutput("\r\n");
}

int TextMode::run()
{
    InputFile input1;
    InputFile input2;
    // A workbook is compared as the CSV text of its sheet.
    bool workbook1 = false;
    bool workbook2 = false;
    const auto read = [this](const QString &name, int file, InputFile &input, bool &workbook) {
        input = readInputFile(name);
        if (input.ok())
            workbook = readWorkbookSheet(input, name, m_sheets.forFile(file),
                                         !(file == 1 ? m_sheets.file1 : m_sheets.file2).isEmpty());
    };
    both([&] { read(m_file1, 1, input1, workbook1); },
         [&] { read(m_file2, 2, input2, workbook2); });
    for (const InputFile *input : {&input1, &input2}) {
        if (!input->ok())
            printError(input->error);
    }
    if (!input1.ok() || !input2.ok())
        return Failure;
    if (const QString error = sheetWithoutWorkbook(m_sheets, workbook1, workbook2);
        !error.isEmpty()) {
        printError(error);
        return Failure;
    }

    Comparison c;
    // As the load command leaves a pane: the file's text and one CR. Both
    // files are decoded at once, and both directions compared at once.
    Files::DecodeNote note1;
    Files::DecodeNote note2;
    both(
        [&] {
            (c.text1 = Files::decodeToPaneBytes(std::exchange(input1.bytes, {}), note1)) += '\r';
        },
        [&] {
            (c.text2 = Files::decodeToPaneBytes(std::exchange(input2.bytes, {}), note2)) += '\r';
        });
    printEncodingNote(m_file1, note1.invalidLine, note1.encoding);
    printEncodingNote(m_file2, note2.invalidLine, note2.encoding);
    Compare::LinePairResult results = m_comparison->compare(c.text1, c.text2, both);
    c.file1 = std::move(results.in1);
    c.file2 = std::move(results.in2);

    switch (m_output) {
    case Output::Result:
        writeSavedResult(m_resultOf == 1 ? c.file1.resultText : c.file2.resultText);
        break;
    case Output::Json:
        printJson(c);
        break;
    case Output::Stat:
        printStat(c);
        break;
    case Output::Quiet: // the exit status alone answers
        break;
    case Output::Listing:
        printListing(c);
        break;
    }
    if (!flushStandardOutput())
        return Failure;
    return c.file1.differences + c.file2.differences > 0 ? Differences : NoDifferences;
}

} // namespace

std::unique_ptr<Mode> makeTextMode()
{
    return std::make_unique<TextMode>();
}

} // namespace Cli
