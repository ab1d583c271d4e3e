#pragma once

// What the file command tests share: a started window, the state a command may
// change, and the message boxes it is expected to show.
#include <QDir>
#include <QRadioButton>
#include <QTest>

#include "WindowFixture.h"
#include "base/Main.h"
#include "window/ErrorTrap.h"

namespace CommandTest {

// A window after start-up, with the display option `option` (1 or 2) selected
// and the given texts in its four panes.
inline void start(WindowFixture &f, int option, const QStringList &paneTexts = {})
{
    f.form->Form_Load();
    f.form->setOptionValue(option == 1 ? f.form->Option1 : f.form->Option2, true);
    const auto panes = f.form->panes();
    for (qsizetype i = 0; i < paneTexts.size() && i < qsizetype(panes.size()); ++i)
        panes[size_t(i)]->setText(paneTexts[i]);
    f.dialogs.clear();
}

inline QStringList defaultPaneTexts()
{
    return {QStringLiteral("one\r\ntwo\r"), QStringLiteral("three\r\nfour\r"),
            QStringLiteral("one\r\n"), QStringLiteral("three\r\n")};
}

// Everything of the window a file command may change, but the files it writes.
struct WindowState
{
    QStringList texts;
    QList<bool> visible;
    bool option1 = false;
    bool option2 = false;
    int pointer = 0;
    QString storedOption1;
    QString storedOption2;

    static WindowState of(const WindowFixture &f)
    {
        WindowState s;
        for (RichTextBox *pane : f.form->panes()) {
            s.texts << pane->text();
            s.visible << pane->Visible();
        }
        s.option1 = f.form->Option1->isChecked();
        s.option2 = f.form->Option2->isChecked();
        s.pointer = f.form->MousePointer();
        s.storedOption1 = f.setting(QStringLiteral("Option1"));
        s.storedOption2 = f.setting(QStringLiteral("Option2"));
        return s;
    }

    bool operator==(const WindowState &) const = default;
};

// True when the window shows the full panes and has stored that choice.
inline bool showsFullPanes(const WindowFixture &f)
{
    return f.form->Option1->isChecked() && !f.form->Option2->isChecked()
           && f.form->RichTextBox1->Visible() && f.form->RichTextBox2->Visible()
           && !f.form->RichTextBox3->Visible() && !f.form->RichTextBox4->Visible()
           && f.setting(QStringLiteral("Option1")) == QStringLiteral("True")
           && f.setting(QStringLiteral("Option2")) == QStringLiteral("False");
}

// A plain notice or question: application title, no icon.
inline bool isNotice(const Platform::MessageRequest &m, const QString &text,
                     Platform::Buttons buttons = Platform::Buttons::Ok)
{
    return m.text == text && m.title == Main::appTitle() && m.buttons == buttons
           && m.icon == Platform::Icon::None;
}

// The error trap's report of a failed statement at `line` of the handler at
// `location`: checks everything but the system's own description, which must
// not be empty, and gives that description.
inline QString checkTrapReport(const Platform::MessageRequest &m, const QString &location, int line)
{
    const QString description = m.text.section(QStringLiteral("\r\n"), 0, 0);
    [&] {
        QVERIFY2(!description.isEmpty(), qPrintable(m.text));
        QCOMPARE(m.text, ErrorTrap::reportText(description, location, line));
        QCOMPARE(m.title, QStringLiteral("Application Error"));
        QCOMPARE(m.buttons, Platform::Buttons::Ok);
        QCOMPARE(m.icon, Platform::Icon::Exclamation);
    }();
    return description;
}

inline QString location(const char *handler)
{
    return QStringLiteral("in Pendrel2021/08/31.Form1.") + QLatin1String(handler) + u' ';
}

// The dialog's answer for several files: the folder, then each name, NUL-separated.
inline QString multipleSelection(const QString &folder, const QStringList &names)
{
    QString joined = QDir::toNativeSeparators(folder);
    for (const QString &name : names)
        joined += QChar(0) + name;
    return joined;
}

} // namespace CommandTest
