// "Load CSV File #1" and "Load CSV File #2", and files dropped on a frame.
#include "window/commands/LoadCsvFile.h"

#include <QDir>
#include <QRadioButton>

#include "base/Main.h"
#include "dialogs/MsgBox.h"
#include "pane/RichTextBox.h"
#include "text/FileWriter.h"
#include "text/TextDecoding.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"

namespace RTB {

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

std::optional<QString> readFileForPane(Form1 &form, const QString &path)
{
    if (!Main::FileExists(path)) {
        MsgBox(form.dialogs(), QStringLiteral("File not found"));
        return std::nullopt;
    }
    if (const std::optional<QString> refusal = notLoadable(path)) {
        MsgBox(form.dialogs(), *refusal);
        return std::nullopt;
    }
    return Files::loadFileText(path);
}

namespace {

void loadFileIn(Form1 &form, RichTextBox &pane, const QString &path)
{
    if (std::optional<QString> text = readFileForPane(form, path))
        pane.setText(*text);
}

} // namespace

void LoadFileIn1(Form1 &form, const QString &path)
{
    loadFileIn(form, *form.RichTextBox1, path);
}

void LoadFileIn2(Form1 &form, const QString &path)
{
    loadFileIn(form, *form.RichTextBox2, path);
}

} // namespace RTB

namespace {

struct Side
{
    RichTextBox *pane;
    void (*load)(Form1 &, const QString &);
    QString location;
};

Side side(Form1 &form, int file)
{
    if (file == 1)
        return {form.RichTextBox1, &RTB::LoadFileIn1,
                QStringLiteral("in Pendrel2021/08/31.Form1.PushButton3_Click ")};
    return {form.RichTextBox2, &RTB::LoadFileIn2,
            QStringLiteral("in Pendrel2021/08/31.Form1.PushButton4_Click ")};
}

// The dialog's answer as paths: one file, or a folder and its chosen names.
QStringList selectedPaths(const QString &fileName)
{
    const QStringList parts = fileName.split(QChar(0));
    if (parts.size() == 1)
        return parts;
    QStringList paths;
    const QString folder = parts.front();
    const QString separator = folder.endsWith(QDir::separator()) ? QString() : QString(QDir::separator());
    for (qsizetype i = 1; i < parts.size(); ++i)
        paths << Main::CleanPath(folder + separator + parts[i]);
    return paths;
}

bool endsWithLineBreak(const QString &text)
{
    return text.endsWith(u'\n') || text.endsWith(u'\r');
}

// Everything a load does once it knows its files.
void loadPaths(Form1 &form, int file, const QStringList &paths, const ErrorTrap &trap)
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
        return;
    trap(112, [&] { form.setMousePointer(11); });
    trap(114, [&] { s.pane->setText(QString()); });
    if (paths.size() == 1) {
        trap(116, [&] { s.load(form, paths.front()); });
    } else {
        // Several files follow one another, each ending with a line break.
        QString joined;
        for (const QString &path : paths) {
            trap(118, [&] {
                const std::optional<QString> text = RTB::readFileForPane(form, path);
                if (!text || text->isEmpty())
                    return;
                joined += *text;
                if (!endsWithLineBreak(*text))
                    joined += QStringLiteral("\r\n");
            });
        }
        trap(120, [&] { s.pane->setText(joined); });
    }
    trap(122, [&] { s.pane->appendText(QStringLiteral("\r")); });
    trap(124, [&] { form.setOptionValue(form.Option1, true); });
    trap(126, [&] { form.setMousePointer(0); });
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
        dialog.DialogTitle = QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files");
    });
    trap(106, [&] { dialog.Filter = QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"); });
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

void Form1::loadDroppedFiles(int file, const QStringList &paths)
{
    const CommandScope scope(*this);
    if (!scope || paths.isEmpty())
        return;
    const QStringList native = [&] {
        QStringList list;
        for (const QString &p : paths)
            list << QDir::toNativeSeparators(p);
        return list;
    }();
    loadPaths(*this, file, native, ErrorTrap(m_dialogs, side(*this, file).location));
}
