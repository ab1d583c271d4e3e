#include "dialogs/OpenDialog.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

namespace Platform {

namespace {

// The names in the dialog's name box: one name as typed, or several, each in
// double quotes, as the dialog writes them for a multiple selection. A name
// that is not absolute is in `folder`.
QStringList typedNames(const QString &text, const QDir &folder)
{
    QStringList names;
    if (text.contains(u'"')) {
        const QStringList parts = text.split(u'"');
        for (qsizetype i = 1; i < parts.size(); i += 2) {
            if (!parts[i].isEmpty())
                names << parts[i];
        }
    } else if (!text.trimmed().isEmpty()) {
        names << text;
    }
    for (QString &name : names) {
        if (name.startsWith(QLatin1String("~/")))
            name = QDir::homePath() + name.mid(1);
        name = QDir::cleanPath(folder.absoluteFilePath(name));
    }
    return names;
}

} // namespace

OpenDialog::OpenDialog(QWidget *parent, const QString &title, const QString &filter)
    : QFileDialog(parent, title, QString(), filter)
{
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
}

void OpenDialog::accept()
{
    // The dialog would keep only the names of files that exist, or refuse
    // the choice with a box of its own; the command decides instead.
    const auto *nameBox = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    const QStringList typed = nameBox ? typedNames(nameBox->text(), directory()) : QStringList();
    const bool someMissing = std::any_of(
        typed.begin(), typed.end(), [](const QString &name) { return !QFileInfo::exists(name); });
    if (someMissing) {
        m_chosen = typed;
        QDialog::accept();
        return;
    }
    // Folders are entered and existing files taken as QFileDialog does.
    QFileDialog::accept();
    if (result() == QDialog::Accepted)
        m_chosen = selectedFiles();
}

} // namespace Platform
