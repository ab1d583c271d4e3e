#include "dialogs/Dialogs.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

#include "dialogs/OpenDialog.h"
#include "tables/ColumnsDialog.h"

namespace Platform {

QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|', Qt::SkipEmptyParts);
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        // "*.*" means every file, as on Windows, also one without an extension.
        for (QString &pattern : patterns) {
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        // Qt takes the patterns from the last parentheses; the dialog hides
        // them (kFilterOptions), so the label shows as written ("Text
        // Files(*.txt)" keeps its missing blank, "All Files (*.*)" its *.*).
        entries << parts[i] + u'(' + patterns.join(u' ') + u')';
    }
    return entries.join(QStringLiteral(";;"));
}

QString joinSelection(const QStringList &paths)
{
    if (paths.size() <= 1)
        return paths.value(0);
    QString folder = QDir::toNativeSeparators(QFileInfo(paths.front()).absolutePath());
    QString joined = folder;
    for (const QString &p : paths)
        joined += QChar(0) + QFileInfo(p).fileName();
    return joined;
}

Answer QtDialogs::messageBox(const MessageRequest &request)
{
    QString shown = request.text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QMessageBox box(request.icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    request.title, shown,
                    request.buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                      : QMessageBox::Ok,
                    m_parent);
    // Messages name files and cells: never read as markup.
    box.setTextFormat(Qt::PlainText);
    const int pressed = box.exec();
    if (request.buttons == Buttons::Ok)
        return Answer::Ok;
    return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

int QtDialogs::choice(const ChoiceRequest &request)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(request.title);
    dialog.setLabelText(request.label);
    dialog.setComboBoxItems(request.items);
    dialog.setComboBoxEditable(false);
    if (!request.items.isEmpty())
        dialog.setTextValue(request.items.front());
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    // The index, not the text: two sheets may show alike.
    const auto *combo = dialog.findChild<QComboBox *>();
    return combo ? combo->currentIndex() : int(request.items.indexOf(dialog.textValue()));
}

QString QtDialogs::fileDialog(const FileDialogRequest &request)
{
    const QString filter = qtFilter(request.filter);
    if (request.save) {
        // We ask before overwriting ourselves.
        return QDir::toNativeSeparators(
            QFileDialog::getSaveFileName(m_parent, request.title, QString(), filter, nullptr,
                                         kFilterOptions | QFileDialog::DontConfirmOverwrite));
    }
    OpenDialog dialog(m_parent, request.title, filter);
    dialog.setOptions(kFilterOptions);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return joinSelection(dialog.chosenFiles());
}

void QtDialogs::openFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDialogs::pairColumns(Tables::ColumnPairing &pairing)
{
    ColumnsDialog dialog(pairing, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    pairing = dialog.pairing();
    return true;
}

} // namespace Platform
