#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

class QWidget;

namespace Tables {
class ColumnPairing;
} // namespace Tables

namespace Platform {

enum class Buttons { Ok, YesNo };
enum class Icon { None, Exclamation };
enum class Answer { Ok, Yes, No };

struct MessageRequest
{
    QString text;
    QString title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
};

struct FileDialogRequest
{
    QString title;
    QString filter; // "Name (*.ext)|*.ext|Name|*.*|"
    bool save = false;
};

// A question answered by picking one item of a list ("Which sheet?").
struct ChoiceRequest
{
    QString title;
    QString label;
    QStringList items; // shown as plain text
};

// Every modal window the program opens, and the shell's folder window, go
// through this interface so that tests can answer them.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    virtual Answer messageBox(const MessageRequest &request) = 0;
    // The chosen file name; "" when cancelled. Several files come back as the
    // folder followed by each name, separated by NUL characters.
    virtual QString fileDialog(const FileDialogRequest &request) = 0;
    // Asks the desktop to show a folder; does not wait for it.
    virtual void openFolder(const QString &path) = 0;
    // The table window's Columns… dialog: false when cancelled, else
    // `pairing` holds the pairs as the user left them.
    virtual bool pairColumns(Tables::ColumnPairing &pairing) = 0;
    // The index of the item chosen, the first one offered; -1 when cancelled.
    virtual int choice(const ChoiceRequest &request) = 0;
};

// The real thing: Qt's message boxes and file dialogs, the desktop's file manager.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent) : m_parent(parent) {}
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    Answer messageBox(const MessageRequest &request) override;
    QString fileDialog(const FileDialogRequest &request) override;
    void openFolder(const QString &path) override;
    bool pairColumns(Tables::ColumnPairing &pairing) override;
    int choice(const ChoiceRequest &request) override;

private:
    QWidget *m_parent;
};

// "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|" in Qt's filter form: each
// label as written followed by its patterns in parentheses, for a dialog
// opened with kFilterOptions, which shows the labels alone.
QString qtFilter(const QString &filter);
inline constexpr QFileDialog::Options kFilterOptions = QFileDialog::HideNameFilterDetails;

// Multiple selection joined as the folder, then each name, NUL-separated.
QString joinSelection(const QStringList &paths);

} // namespace Platform
