#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include <QString>

class Form1;
class QMenu;
class RichTextBox;
class ScrollLink;

// What the panes' right-click menu holds beyond the edit commands: line
// numbers and scrolling together (switched for all four panes at once and
// remembered in their own settings group), the red marks, and the entries
// other parts of the program add.
class PaneMenu
{
public:
    using Action = std::function<void(RichTextBox &pane)>;

    // Restores the stored choices (off when none, or unreadable, is stored).
    explicit PaneMenu(Form1 &form);
    ~PaneMenu();
    PaneMenu(const PaneMenu &) = delete;
    PaneMenu &operator=(const PaneMenu &) = delete;

    // Adds an entry to every pane's menu, below the others; the action gets
    // the pane whose menu it was chosen from.
    void addEntry(const QString &text, Action action);

    bool lineNumbers() const { return m_lineNumbers; }
    void setLineNumbers(bool shown);
    bool synchronizedScrolling() const { return m_synchronized; }
    void setSynchronizedScrolling(bool synchronized);

    // The settings group and keys the choices are stored under.
    static const QString kSection;
    static const QString kLineNumbersKey;
    static const QString kSynchronizeKey;

private:
    void extend(QMenu &menu, RichTextBox &pane);
    void store(const QString &key, bool value);
    bool stored(const QString &key) const;

    Form1 &m_form;
    bool m_lineNumbers = false;
    bool m_synchronized = false;
    // Full pane of file #1 with #2's, and the two result panes.
    std::array<std::unique_ptr<ScrollLink>, 2> m_links;
    std::vector<std::pair<QString, Action>> m_entries;
};
