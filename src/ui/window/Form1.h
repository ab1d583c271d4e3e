#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <QCursor>
#include <QWidget>

#include "base/ProgramFolder.h"
#include "dialogs/CommonDialog.h"
#include "engine/ColourRange.h"

class QGroupBox;
class QKeyEvent;
class QMouseEvent;
class QPushButton;
class QRadioButton;
class PaneMenu;
class RichTextBox;

namespace ControlTable {
struct Control;
}
namespace Platform {
class Dialogs;
class SettingsBackend;
} // namespace Platform

// The program's one window: two file frames, four panes, the command buttons
// and the display options, built from the control table (ControlTable.h).
// The handlers keep the names of the events they answer; each command's
// handler lives in window/commands/, in the file named after the command.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    Form1(Platform::Dialogs &dialogs, Platform::SettingsBackend &settings,
          ProgramFolder programFolder, QWidget *parent = nullptr);
    ~Form1() override;

    Platform::Dialogs &dialogs() { return m_dialogs; }
    Platform::SettingsBackend &settings() { return m_settings; }
    const ProgramFolder &programFolder() const { return m_programFolder; }
    // Whether the user was told this session that settings cannot be stored.
    bool settingsWarningShown() const { return m_settingsWarningShown; }
    void setSettingsWarningShown() { m_settingsWarningShown = true; }

    // Controls, by their design names.
    QGroupBox *Frame1, *Frame2, *Frame3;
    RichTextBox *RichTextBox1, *RichTextBox2, *RichTextBox3, *RichTextBox4;
    QRadioButton *Option1, *Option2;
    QPushButton *PushButton1, *PushButton2, *PushButton3, *PushButton4, *PushButton5, *PushButton6,
        *PushButton7, *PushButton9;
    CommonDialog CommonDialog1;

    // Selecting an option by code runs its click behaviour, as a user's click
    // does; clearing one runs nothing.
    void setOptionValue(QRadioButton *option, bool value);

    // Window pointer style: 0 default, 11 busy, 99 the custom (hand) pointer.
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int style);
    void setMouseIcon(const QCursor &cursor) { m_mouseIcon = cursor; }
    bool hasMouseIcon() const { return m_mouseIcon.has_value(); }

    // True while a command runs; other commands do not start meanwhile.
    bool commandRunning() const { return m_commandRunning; }

    // Start-up and window events.
    void Form_Load();
    void Form_Resize();
    void Form_Unload();

    // Commands.
    void PushButton1_Click(); // Find Differences (Lines)
    void PushButton2_Click(); // Save Results #1
    void PushButton3_Click(); // Load CSV File #1
    void PushButton4_Click(); // Load CSV File #2
    void PushButton5_Click(); // Save Results #2
    void PushButton6_Click(); // Find Differences (Words)
    void PushButton7_Click(); // Clear Text Above
    void PushButton9_Click(); // Load Sample/Example Files

    // Display options.
    void Option1_Click();
    void Option2_Click();

    // Pointer feedback.
    void Form_MouseMove();
    void Frame1_MouseMove();
    void Frame2_MouseMove();
    void Frame3_MouseMove();
    void Option1_MouseMove();
    void Option2_MouseMove();
    void RichTextBox1_MouseMove();
    void RichTextBox2_MouseMove();
    void RichTextBox3_MouseMove();
    void RichTextBox4_MouseMove();
    void PushButton1_MouseMove();
    void PushButton2_MouseMove();
    void PushButton3_MouseMove();
    void PushButton4_MouseMove();
    void PushButton5_MouseMove();
    void PushButton6_MouseMove();
    void PushButton7_MouseMove();
    void PushButton9_MouseMove();

    // F7 and Shift+F7: selects the next (previous) red mark in `pane`, else
    // in the visible pane that has the focus, else in the visible pane of
    // file #1; that pane takes the focus (a selection shows only then), the
    // mark is scrolled into view, and a note shows for a moment which of the
    // pane's marks it is.
    void moveToRedMark(bool forward, RichTextBox *pane = nullptr);
    // The same for the pane's first red mark.
    void moveToFirstRedMark(RichTextBox *pane);

    // The panes' right-click menu: its choices, and entries added to it.
    PaneMenu &paneMenu() { return *m_paneMenu; }

    // The file the full pane of file 1 (2) was loaded from, alone; empty
    // once its text came from anywhere else (typing, several files, Clear).
    QString loadedFile(int file) const;
    // Notes that the pane now holds `path` (empty: no one file).
    void setLoadedFile(int file, const QString &path);

    // Loads dropped files into the pane of file 1 or 2, as its load command
    // does; false when the user cancelled the load.
    bool loadDroppedFiles(int file, const QStringList &paths);

    // Marks a command as running for its lifetime; false when another one
    // already runs (the new one must not start).
    class CommandScope
    {
    public:
        explicit CommandScope(Form1 &form);
        ~CommandScope();
        CommandScope(const CommandScope &) = delete;
        CommandScope &operator=(const CommandScope &) = delete;
        explicit operator bool() const { return m_owns; }

    private:
        Form1 &m_form;
        bool m_owns;
        std::vector<bool> m_wasReadOnly;
    };

    std::array<RichTextBox *, 4> panes() const;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    QWidget *createControl(const ControlTable::Control &control);
    void wireEvents();
    void createMarkKeys();
    RichTextBox *markPane(RichTextBox *pane);
    void showMark(RichTextBox &pane, const std::optional<Compare::ColourRange> &run);
    void applyPointer();
    void setPointerFromMove(int style);
    void dispatchMouseMove(QWidget *target);
    bool handleDrop(QWidget *target, QEvent *event);
    bool isSameMove(const QMouseEvent *event);
    bool pressesButton(QWidget *target, const QKeyEvent *event);

    struct MoveStamp
    {
        quint64 time = 0;
        QPointF global;
    };
    MoveStamp m_lastMove;
    void runClick(void (Form1::*handler)());

    Platform::Dialogs &m_dialogs;
    Platform::SettingsBackend &m_settings;
    ProgramFolder m_programFolder;
    std::vector<QWidget *> m_controls; // one per row of the control table
    std::unique_ptr<PaneMenu> m_paneMenu;
    // A pane's text is the loaded file's while the pane keeps that text,
    // unedited, of that length.
    struct LoadedFile
    {
        QString path;
        quint64 text = 0; // RichTextBox::textSerial()
        qsizetype length = -1;
    };
    std::array<LoadedFile, 2> m_loadedFiles;
    int m_mousePointer = 0;
    std::optional<QCursor> m_mouseIcon;
    bool m_commandRunning = false;
    bool m_centred = false;
    bool m_settingsWarningShown = false;
};
