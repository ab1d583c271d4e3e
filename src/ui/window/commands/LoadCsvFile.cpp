// "Load CSV File #1" and "Load CSV File #2", and files dropped on a frame.
#include "window/commands/LoadCsvFile.h"

#include <algorithm>
#include <functional>
#include <new>
#include <optional>
#include <utility>

#include <QDir>
#include <QFileInfo>
#include <QRadioButton>

#include "base/Main.h"
#include "dialogs/MsgBox.h"
#include "pane/PaneDocument.h"
#include "pane/PaneNote.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "text/FileWriter.h"
#include "text/TextDecoding.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"
#include "workbook/Workbook.h"

namespace RTB {

namespace {

// What a user is told of a file that is UTF-8 but for some bytes, worded as
// the command-line program words it. A file that is Windows-1252 throughout
// is read as it always was, without a word.
QString decodeNoteText(const QString &path, const Files::DecodeNote &note)
{
    if (note.invalidLine <= 0 || note.encoding == QStringLiteral("Windows-1252"))
        return QString();
    return QStringLiteral("%1: not valid UTF-8 (line %2); read as %3")
        .arg(QDir::toNativeSeparators(path))
        .arg(note.invalidLine)
        .arg(note.encoding);
}

QByteArray paneBytes(QByteArray bytes, const QString &path, Files::DecodeNote &note)
{
    try {
        return Files::decodeToPaneBytes(std::move(bytes), note);
    } catch (const std::bad_alloc &) {
        throw AppError(
            QStringLiteral("Out of memory: the file \"%1\" is too large to load").arg(path));
    }
}

[[noreturn]] void workbookFailure(const QString &path, const QString &error)
{
    throw AppError(QStringLiteral("Cannot load %1: %2").arg(QDir::toNativeSeparators(path), error));
}

// The sheet of a workbook to load: the first, or the one the user picks when
// there are several; nothing when the user cancels.
std::optional<int> chooseSheet(Form1 &form, const QString &path, const QStringList &sheets)
{
    if (sheets.size() < 2)
        return 0;
    const int chosen =
        form.dialogs().choice({Main::appTitle(),
                               QStringLiteral("%1 holds %2 sheets. Which one is to be loaded?")
                                   .arg(QFileInfo(path).fileName())
                                   .arg(sheets.size()),
                               sheets});
    if (chosen < 0)
        return std::nullopt;
    return chosen;
}

// A workbook's sheet as CSV text: the first sheet, read with the list of
// sheets in one pass; when there are several and another one is chosen,
// that one is read then, off the window's thread.
PaneFile readWorkbookSheet(Form1 &form, const QString &path, const QByteArray &bytes,
                           Workbook::SheetText text)
{
    if (!text.ok())
        workbookFailure(path, text.error);
    const std::optional<int> sheet = chooseSheet(form, path, text.sheets);
    if (!sheet)
        throw ReadCancelled();
    if (*sheet != 0) {
        Compare::Progress progress;
        if (!runInBackground(
                &form, QStringLiteral("Reading sheet %1...").arg(text.sheets.value(*sheet)),
                progress, [&] { text = Workbook::readSheet(bytes, *sheet, &progress); },
                Cancel::Offered)
            || text.cancelled)
            throw ReadCancelled();
        if (!text.ok())
            workbookFailure(path, text.error);
    }
    PaneFile file;
    Files::DecodeNote note;
    file.bytes = paneBytes(std::move(text.csv), path, note);
    return file;
}

// Reads the file and chooses how to decode it by what it holds: a workbook
// gives the text of a sheet, anything else is text.
PaneFile readInBackground(Form1 &form, const QString &path)
{
    PaneFile file;
    QByteArray bytes;
    std::optional<Workbook::SheetText> sheet;
    Compare::Progress progress;
    const auto read = [&] {
        bytes = Files::readFileToLoad(path, &progress);
        if (progress.cancelled)
            return;
        if (Workbook::recognise(bytes) != Workbook::Format::None) {
            sheet = Workbook::readSheet(bytes, 0, &progress, Workbook::Listing::WithNames);
            return;
        }
        Files::DecodeNote note;
        file.bytes = paneBytes(std::exchange(bytes, {}), path, note);
        file.note = decodeNoteText(path, note);
    };
    if (!runInBackground(&form, QStringLiteral("Reading %1...").arg(path), progress, read,
                         Cancel::Offered)
        || (sheet && sheet->cancelled))
        throw ReadCancelled();
    if (!sheet)
        return file;
    return readWorkbookSheet(form, path, bytes, std::move(*sheet));
}

} // namespace

std::optional<QString> notLoadable(const QString &path)
{
    // Checked by name, never opened: opening a pipe waits for a writer, and
    // a device such as /dev/zero never ends.
    const std::optional<QString> kind = Files::specialFileKind(path);
    if (!kind)
        return std::nullopt;
    return QStringLiteral("Cannot load %1: it is %2, not a file. Only files can be loaded.")
        .arg(QDir::toNativeSeparators(path), *kind);
}

void showLoadNote(RichTextBox &pane, const QString &note)
{
    if (!note.isEmpty())
        PaneNote::showOn(pane, note);
}

std::optional<PaneFile> readFileForPane(Form1 &form, const QString &path)
{
    if (!Main::FileExists(path)) {
        MsgBox(form.dialogs(), QStringLiteral("File not found"));
        return std::nullopt;
    }
    if (const std::optional<QString> refusal = notLoadable(path)) {
        MsgBox(form.dialogs(), *refusal);
        return std::nullopt;
    }
    return readInBackground(form, path);
}

namespace {

// The room a loaded text is given beyond its own size.
constexpr qsizetype kSpareRoom = 4096;

// The pane's next text, made ready off the window's thread: its lines are
// indexed there, and its UTF-16 length counted block by block (what a screen
// reader asks for), so that the pane takes it in one quick step. A document
// cancelled meanwhile is let go there too: freeing a large file takes a while.
PaneDocument documentFor(Form1 &form, QByteArray &&bytes)
{
    std::optional<PaneDocument> document;
    Compare::Progress progress;
    progress.total = bytes.size();
    QByteArray taken = std::move(bytes);
    if (!runInBackground(
            &form, QStringLiteral("Showing the text..."), progress,
            [&] {
                // The bytes are taken as they are when their array has
                // room for the line break the load adds and some typing;
                // otherwise they are copied into such room. A document
                // cancelled meanwhile is let go here, not on the window's
                // thread.
                const qsizetype room = taken.size() + kSpareRoom;
                document.emplace(PaneDocument::Colours::Kept);
                document->take(std::exchange(taken, QByteArray()), room, &progress);
                if (progress.cancelled)
                    document.reset();
            },
            Cancel::Offered))
        throw ReadCancelled();
    return std::move(*document);
}

void loadFileIn(Form1 &form, int file, const QString &path)
{
    RichTextBox &pane = file == 1 ? *form.RichTextBox1 : *form.RichTextBox2;
    if (std::optional<PaneFile> read = readFileForPane(form, path)) {
        pane.adopt(documentFor(form, std::move(read->bytes)));
        form.setLoadedFile(file, path);
        showLoadNote(pane, read->note);
    }
}

} // namespace

void LoadFileIn1(Form1 &form, const QString &path)
{
    loadFileIn(form, 1, path);
}

void LoadFileIn2(Form1 &form, const QString &path)
{
    loadFileIn(form, 2, path);
}

} // namespace RTB

namespace {

using RTB::documentFor;

struct Side
{
    RichTextBox *pane;
    QString location;
};

Side side(Form1 &form, int file)
{
    if (file == 1)
        return {form.RichTextBox1, QStringLiteral("in Pendrel2021/08/31.Form1.PushButton3_Click ")};
    return {form.RichTextBox2, QStringLiteral("in Pendrel2021/08/31.Form1.PushButton4_Click ")};
}

// The dialog's answer as paths: one file, or a folder and its chosen names.
QStringList selectedPaths(const QString &fileName)
{
    const QStringList parts = fileName.split(QChar(0));
    if (parts.size() == 1)
        return parts;
    QStringList paths;
    const QString folder = parts.front();
    const QString separator =
        folder.endsWith(QDir::separator()) ? QString() : QString(QDir::separator());
    for (qsizetype i = 1; i < parts.size(); ++i)
        paths << Main::CleanPath(folder + separator + parts[i]);
    return paths;
}

bool endsWithLineBreak(const QByteArray &text)
{
    return text.endsWith('\n') || text.endsWith('\r');
}

// Everything a load does once it knows its files. The files are read, and
// the pane's next text laid out, before the pane changes: a cancelled load
// leaves the window as it was. False when the user cancelled it.
bool loadPaths(Form1 &form, int file, const QStringList &paths, const ErrorTrap &trap)
{
    const Side s = side(form, file);
    // A pipe or device among the chosen files ends the command before it
    // changes anything.
    bool refused = false;
    for (const QString &path : paths) {
        if (const std::optional<QString> refusal = RTB::notLoadable(path)) {
            MsgBox(form.dialogs(), *refusal);
            refused = true;
        }
    }
    if (refused)
        return true;
    bool cancelled = false;
    // A statement the user can cancel; the cancel is no failure to report.
    const auto cancellable = [&](int line, const std::function<void()> &statement) {
        trap(line, [&] {
            try {
                statement();
            } catch (const RTB::ReadCancelled &) {
                cancelled = true;
            }
        });
    };
    std::optional<PaneDocument> next;
    QString note; // of the first file read with stray bytes
    trap(112, [&] { form.setMousePointer(11); });
    if (paths.size() == 1) {
        cancellable(116, [&] {
            if (std::optional<RTB::PaneFile> read = RTB::readFileForPane(form, paths.front())) {
                note = read->note;
                next.emplace(documentFor(form, std::move(read->bytes)));
            }
        });
    } else {
        // Several files follow one another, each ending with a line break.
        QByteArray joined;
        for (const QString &path : paths) {
            cancellable(118, [&] {
                const std::optional<RTB::PaneFile> read = RTB::readFileForPane(form, path);
                if (!read || read->bytes.isEmpty())
                    return;
                if (note.isEmpty())
                    note = read->note;
                joined += read->bytes;
                if (!endsWithLineBreak(read->bytes))
                    joined += "\r\n";
            });
            if (cancelled)
                break;
        }
        if (!cancelled)
            cancellable(120, [&] { next.emplace(documentFor(form, std::move(joined))); });
    }
    if (cancelled) {
        trap(126, [&] { form.setMousePointer(0); });
        return false;
    }
    trap(114, [&] { s.pane->setText(QString()); });
    if (next)
        trap(paths.size() == 1 ? 116 : 120, [&] { s.pane->adopt(std::move(*next)); });
    trap(122, [&] { s.pane->appendText(QStringLiteral("\r")); });
    trap(124, [&] { form.setOptionValue(form.Option1, true); });
    trap(126, [&] { form.setMousePointer(0); });
    form.setLoadedFile(file, paths.size() == 1 && next ? paths.front() : QString());
    RTB::showLoadNote(*s.pane, note);
    return true;
}

void loadCommand(Form1 &form, int file)
{
    const Form1::CommandScope scope(form);
    if (!scope)
        return;
    const ErrorTrap trap(form.dialogs(), side(form, file).location);
    CommonDialog &dialog = form.CommonDialog1;
    trap(100, [&] { dialog.FileName.clear(); });
    trap(104, [&] {
        dialog.DialogTitle =
            QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files");
    });
    // The spreadsheets' filter follows the two the command always offered.
    trap(106, [&] {
        dialog.Filter = QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"
                                       "Spreadsheets (*.xlsx;*.xlsm;*.ods)|*.xlsx;*.xlsm;*.ods|");
    });
    trap(108, [&] { dialog.ShowOpen(); });
    // A cancelled dialog changes nothing.
    if (dialog.FileName.isEmpty())
        return;
    loadPaths(form, file, selectedPaths(dialog.FileName), trap);
}

} // namespace

void Form1::PushButton3_Click()
{
    loadCommand(*this, 1);
}

void Form1::PushButton4_Click()
{
    loadCommand(*this, 2);
}

bool Form1::loadDroppedFiles(int file, const QStringList &paths)
{
    const CommandScope scope(*this);
    if (!scope || paths.isEmpty())
        return true;
    const QStringList native = [&] {
        QStringList list;
        for (const QString &p : paths)
            list << QDir::toNativeSeparators(p);
        return list;
    }();
    return loadPaths(*this, file, native, ErrorTrap(m_dialogs, side(*this, file).location));
}
