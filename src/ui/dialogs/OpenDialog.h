#pragma once

#include <QFileDialog>
#include <QStringList>

namespace Platform {

// The open dialog of the load commands: several files may be chosen, and a
// name typed for a file that does not exist is returned like any other, so
// the command answers it with its own "File not found" rather than the
// dialog refusing it with a box of its own.
class OpenDialog final : public QFileDialog
{
    Q_OBJECT

public:
    OpenDialog(QWidget *parent, const QString &title, const QString &filter);

    // The names chosen when the dialog was accepted, else none.
    QStringList chosenFiles() const { return m_chosen; }

    void accept() override;

private:
    QStringList m_chosen;
};

} // namespace Platform
