// "Load CSV File #1" and "Load CSV File #2", and files dropped on a frame.
#include "window/commands/LoadCsvFile.h"

#include <algorithm>
#include <functional>
#include <optional>

#include <QDir>
#include <QRadioButton>

#include "base/Main.h"
#include "dialogs/MsgBox.h"
#include "pane/PaneDocument.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "text/FileWriter.h"
#include "text/TextDecoding.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"

namespace RTB {

namespace {

QByteArray readInBackground(Form1 &form, const QString &path)
{
    QByteArray bytes;
    Compare::Progress progress;
    if (!runInBackground(
            &form, QStringLiteral("Reading %1...").arg(path), progress,
            [&] { bytes = Files::loadFileBytes(path, &progress); }, Cancel::Offered))
        throw ReadCancelled();
    return bytes;
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

std::optional<QByteArray> readFileForPane(Form1 &form, const QString &path)
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

// How much text is added to a document between two looks at Cancel.
constexpr qsizetype kShowSlice = qsizetype(8) << 20;
// The room a loaded text is given beyond its own size.
constexpr qsizetype kSpareRoom = 4096;

// The pane's next text, laid out off the window's thread; taking it is
// quick. The bytes are let go there too: freeing a large file takes a while.
PaneDocument documentFor(Form1 &form, QByteArray &&bytes)
{
    std::optional<PaneDocument> document;
    Compare::Progress progress;
    progress.total = bytes.size();
    QByteArray taken = std::move(bytes);
    if (!runInBackground(
            &form, QStringLiteral("Showing the text..."), progress,
            [&] {
                // All the room at once, then the text a slice at a time, so
                // that the bar moves and Cancel is heard. A document
                // cancelled meanwhile is let go here, not on the window's
                // thread.
                // The component moves the whole text to a larger room (on the
                // window's thread, later) once its room is full or has less
                // than two bytes spare when the pane reads it: some room is
                // kept for the line break the load adds, and some typing.
                document.emplace(PaneDocument::Colours::Kept, taken.size() + kSpareRoom);
                for (qsizetype at = 0; at < taken.size(); at += kShowSlice) {
                    const qsizetype length = std::min(kShowSlice, taken.size() - at);
                    if (!document->append(QByteArrayView(taken).sliced(at, length), &progress))
                        break;
                }
                if (progress.cancelled)
                    document.reset();
                taken = QByteArray();
            },
            Cancel::Offered))
        throw ReadCancelled();
    return std::move(*document);
}

void loadFileIn(Form1 &form, int file, const QString &path)
{
    RichTextBox &pane = file == 1 ? *form.RichTextBox1 : *form.RichTextBox2;
    if (std::optional<QByteArray> bytes = readFileForPane(form, path)) {
        pane.adopt(documentFor(form, std::move(*bytes)));
        form.setLoadedFile(file, path);
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
    trap(112, [&] { form.setMousePointer(11); });
    if (paths.size() == 1) {
        cancellable(116, [&] {
            if (std::optional<QByteArray> bytes = RTB::readFileForPane(form, paths.front()))
                next.emplace(documentFor(form, std::move(*bytes)));
        });
    } else {
        // Several files follow one another, each ending with a line break.
        QByteArray joined;
        for (const QString &path : paths) {
            cancellable(118, [&] {
                const std::optional<QByteArray> text = RTB::readFileForPane(form, path);
                if (!text || text->isEmpty())
                    return;
                joined += *text;
                if (!endsWithLineBreak(*text))
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
    trap(106,
         [&] { dialog.Filter = QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"); });
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
