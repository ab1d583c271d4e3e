#include "window/CommandLine.h"

#include <algorithm>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include "base/Product.h"
#include "dialogs/MsgBox.h"
#include "window/Form1.h"

namespace {

const QString kKeys =
    QStringLiteral("Keys:\n"
                   "  Tab, Shift+Tab          move between the panes, buttons and options\n"
                   "  Enter, Return, Space    press the focused button\n"
                   "  F7, Shift+F7            go to the next or previous red mark in the pane\n"
                   "                          (from outside the panes: in file #1's) and show\n"
                   "                          which of the pane's marks it is\n"
                   "  Ctrl+T                  compare the two files as tables\n"
                   "\n"
                   "Pane menu (right-click a pane):\n"
                   "  Undo, Redo, Cut, Copy, Paste, Delete, Select All\n"
                   "  Line Numbers            line numbers in all four panes (off at first)\n"
                   "  Synchronize Scrolling   the two panes shown scroll together, by line\n"
                   "                          and sideways\n"
                   "  Next Difference (F7), Previous Difference (Shift+F7), First Difference\n"
                   "  Compare as Tables...    the two files as tables, in a window of its own\n"
                   "                          (also Ctrl+T)\n"
                   "  (Line Numbers and Synchronize Scrolling are remembered.)");

// Qt's help names the program by the path it was started from (on Windows the
// whole path of the .exe); a usage line reads better with the file name alone.
QString helpText(const QCommandLineParser &parser, const QStringList &arguments)
{
    QString text = parser.helpText();
    const QStringList started = QCoreApplication::arguments();
    const QString shown = started.isEmpty() ? QString() : started.constFirst();
    const QString name = arguments.isEmpty() ? Product::kName.toLower()
                                             : QFileInfo(arguments.constFirst()).fileName();
    const QString usage = QStringLiteral("Usage: ");
    if (text.startsWith(usage + shown))
        text.replace(usage.size(), shown.size(), name);
    return text;
}

} // namespace

WindowArguments parseWindowArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Compares two text (CSV) files side by side and marks in red the "
                       "lines or words that differ.\n\n")
        + kKeys);
    const QCommandLineOption lines(QStringLiteral("lines"),
                                   QStringLiteral("Find the lines that differ once the window "
                                                  "shows (\"Find Differences (Lines)\")."));
    const QCommandLineOption words(QStringLiteral("words"),
                                   QStringLiteral("Find the words that differ once the window "
                                                  "shows (\"Find Differences (Words)\")."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption tables(
        QStringLiteral("tables"),
        QStringLiteral("Compare FILE1 and FILE2 as tables (rows matched by key, changed cells "
                       "marked) in the \"Compare as Tables\" window alone."));
    const QCommandLineOption key(QStringLiteral("key"),
                                 QStringLiteral("With --tables: the columns that identify a row "
                                                "(names or numbers, comma-separated)."),
                                 QStringLiteral("COLS"));
    parser.addOption(lines);
    parser.addOption(words);
    parser.addOption(tables);
    parser.addOption(key);
    parser.addPositionalArgument(QStringLiteral("FILE1"),
                                 QStringLiteral("Loaded into \"CSV File #1\"."),
                                 QStringLiteral("[FILE1"));
    parser.addPositionalArgument(QStringLiteral("FILE2"),
                                 QStringLiteral("Loaded into \"CSV File #2\"."),
                                 QStringLiteral("[FILE2]]"));

    WindowArguments result;
    const auto fail = [&result, &parser, &arguments](const QString &why) {
        result.message = why + QStringLiteral("\n\n") + helpText(parser, arguments);
        result.exitStatus = 2;
        return result;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        result.message = helpText(parser, arguments);
        return result;
    }
    if (parser.isSet(version)) {
        result.message = Product::kName + u' ' + QCoreApplication::applicationVersion() + u'\n';
        return result;
    }
    result.files = parser.positionalArguments();
    if (parser.isSet(lines) && parser.isSet(words))
        return fail(QStringLiteral("--lines and --words cannot be used together."));
    result.tables = parser.isSet(tables);
    const Csv::ColumnListParse keyColumns = Csv::parseColumnList(parser.value(key));
    if (!keyColumns.error.isEmpty())
        return fail(QStringLiteral("--key: ") + keyColumns.error);
    result.key = keyColumns.columns;
    if (result.tables && (parser.isSet(lines) || parser.isSet(words)))
        return fail(QStringLiteral("--tables cannot be used with --lines or --words."));
    if (parser.isSet(key) && !result.tables)
        return fail(QStringLiteral("--key is for --tables."));
    if (result.tables && result.files.size() == 1)
        return fail(QStringLiteral("--tables compares two files, or opens with none."));
    if (parser.isSet(lines))
        result.compare = WindowArguments::Compare::Lines;
    else if (parser.isSet(words))
        result.compare = WindowArguments::Compare::Words;
    return result;
}

void openFromCommandLine(Form1 &form, const WindowArguments &arguments)
{
    const QStringList &files = arguments.files;
    // Cancelling a load cancels the whole start: nothing more loads or runs.
    for (qsizetype i = 0; i < std::min(files.size(), qsizetype(2)); ++i)
        if (!form.loadDroppedFiles(int(i) + 1, {files[i]}))
            return;
    // A file manager gives every selected file; a refusal on standard error
    // would go unseen there.
    if (files.size() > 2) {
        MsgBox(form.dialogs(),
               QStringLiteral("Only two files can be compared: the first two of the "
                              "%1 files given, \"%2\" and \"%3\", are loaded.")
                   .arg(files.size())
                   .arg(QFileInfo(files[0]).fileName(), QFileInfo(files[1]).fileName()));
    }
    if (arguments.compare == WindowArguments::Compare::Lines)
        form.PushButton1_Click();
    else if (arguments.compare == WindowArguments::Compare::Words)
        form.PushButton6_Click();
}
