#include "window/PaneMenu.h"

#include <QMenu>

#include "base/AppError.h"
#include "base/Main.h"
#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "pane/ScrollLink.h"
#include "settings/Settings.h"
#include "window/Form1.h"

const QString PaneMenu::kSection = Product::kName + QStringLiteral(".Panes");
const QString PaneMenu::kLineNumbersKey = QStringLiteral("LineNumbers");
const QString PaneMenu::kSynchronizeKey = QStringLiteral("SynchronizeScrolling");

PaneMenu::PaneMenu(Form1 &form) : m_form(form)
{
    m_links[0] = std::make_unique<ScrollLink>(*form.RichTextBox1, *form.RichTextBox2);
    m_links[1] = std::make_unique<ScrollLink>(*form.RichTextBox3, *form.RichTextBox4);
    for (RichTextBox *pane : form.panes())
        pane->setMenuExtension([this, pane](QMenu &menu) { extend(menu, *pane); });
    m_lineNumbers = stored(kLineNumbersKey);
    m_synchronized = stored(kSynchronizeKey);
    for (RichTextBox *pane : form.panes())
        pane->setLineNumbersShown(m_lineNumbers);
    for (const auto &link : m_links)
        link->setEnabled(m_synchronized);
}

PaneMenu::~PaneMenu() = default;

void PaneMenu::addEntry(const QString &text, Action action)
{
    m_entries.emplace_back(text, std::move(action));
}

void PaneMenu::setLineNumbers(bool shown)
{
    m_lineNumbers = shown;
    for (RichTextBox *pane : m_form.panes())
        pane->setLineNumbersShown(shown);
    store(kLineNumbersKey, shown);
}

void PaneMenu::setSynchronizedScrolling(bool synchronized)
{
    m_synchronized = synchronized;
    for (const auto &link : m_links)
        link->setEnabled(synchronized);
    store(kSynchronizeKey, synchronized);
}

bool PaneMenu::stored(const QString &key) const
{
    try {
        return Settings::CBool(
            Settings::GetSetting(m_form.settings(), Settings::kAppName, kSection, key, 0));
    } catch (const AppError &) {
        return false; // a value nobody could have stored: the default
    }
}

// A store that cannot be written leaves the choice in force for the session;
// the user is told once.
void PaneMenu::store(const QString &key, bool value)
{
    try {
        Settings::SaveSetting(m_form.settings(), Settings::kAppName, kSection, key,
                              Settings::boolText(value));
    } catch (const AppError &e) {
        if (m_form.settingsWarningShown())
            return;
        m_form.setSettingsWarningShown();
        m_form.dialogs().messageBox(
            {e.description()
                 + QStringLiteral("\r\n\r\nThe choice applies until the program is closed, but "
                                  "it will not be remembered."),
             Main::appTitle(), Platform::Buttons::Ok, Platform::Icon::Exclamation});
    }
}

void PaneMenu::extend(QMenu &menu, RichTextBox &pane)
{
    menu.addSeparator();
    QAction *numbers = menu.addAction(QStringLiteral("Line Numbers"));
    numbers->setCheckable(true);
    numbers->setChecked(m_lineNumbers);
    QObject::connect(numbers, &QAction::toggled, &menu, [this](bool on) { setLineNumbers(on); });
    QAction *together = menu.addAction(QStringLiteral("Synchronize Scrolling"));
    together->setCheckable(true);
    together->setChecked(m_synchronized);
    QObject::connect(together, &QAction::toggled, &menu,
                     [this](bool on) { setSynchronizedScrolling(on); });

    menu.addSeparator();
    Form1 &form = m_form;
    RichTextBox *at = &pane;
    QObject::connect(menu.addAction(QStringLiteral("Next Difference (F7)")), &QAction::triggered,
                     &menu, [&form, at] { form.moveToRedMark(true, at); });
    QObject::connect(menu.addAction(QStringLiteral("Previous Difference (Shift+F7)")),
                     &QAction::triggered, &menu, [&form, at] { form.moveToRedMark(false, at); });
    QObject::connect(menu.addAction(QStringLiteral("First Difference")), &QAction::triggered, &menu,
                     [&form, at] { form.moveToFirstRedMark(at); });

    if (!m_entries.empty())
        menu.addSeparator();
    for (const auto &[text, action] : m_entries) {
        QObject::connect(menu.addAction(text), &QAction::triggered, &menu,
                         [action = action, at] { action(*at); });
    }
}
