// The panes' right-click menu: its entries, the two choices it switches and
// remembers, and panes that scroll together.
#include <QDir>
#include <QMenu>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTest>

#include "WindowFixture.h"
#include "settings/Settings.h"
#include "support/UnwritableSettingsFile.h"
#include "window/PaneMenu.h"

class TestPaneMenu : public QObject
{
    Q_OBJECT

private slots:
    void menuHoldsTheEntries_data();
    void menuHoldsTheEntries();
    void choicesSwitchAndAreStored_data();
    void choicesSwitchAndAreStored();
    void storedChoicesAreRestored_data();
    void storedChoicesAreRestored();
    void panesScrollTogether_data();
    void panesScrollTogether();
    void unstorableChoiceWarnsOnceAndStillSwitches();
};

namespace {

RichTextBox *paneNumber(Form1 &w, int number)
{
    return w.panes()[size_t(number - 1)];
}

QAction *action(QMenu &menu, const QString &text)
{
    for (QAction *a : menu.actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

// Chooses an entry from the pane's menu, as a user would.
void choose(RichTextBox &pane, const QString &text)
{
    const std::unique_ptr<QMenu> menu(pane.createContextMenu());
    QAction *entry = action(*menu, text);
    QVERIFY2(entry, qPrintable(text));
    entry->trigger();
}

bool checkedIn(RichTextBox &pane, const QString &text)
{
    const std::unique_ptr<QMenu> menu(pane.createContextMenu());
    QAction *entry = action(*menu, text);
    return entry && entry->isCheckable() && entry->isChecked();
}

int marginWidth(const RichTextBox &pane)
{
    return pane.numberMarginWidth();
}

QString lines(int count, int width)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("%1,").arg(i) + QString(width, u'x') + QStringLiteral("\r\n");
    return text;
}

} // namespace

void TestPaneMenu::menuHoldsTheEntries_data()
{
    QTest::addColumn<int>("pane");
    for (int pane = 1; pane <= 4; ++pane)
        QTest::addRow("pane #%d", pane) << pane;
}

// The edit commands stay; the reading aids follow them, and an entry added
// by other code comes last and acts on the pane it was chosen on.
void TestPaneMenu::menuHoldsTheEntries()
{
    QFETCH(int, pane);
    WindowFixture f;
    f.form->Form_Load();
    RichTextBox *chosenOn = nullptr;
    f.form->paneMenu().addEntry(QStringLiteral("Compare as Tables…"),
                                [&chosenOn](RichTextBox &p) { chosenOn = &p; });
    RichTextBox &p = *paneNumber(*f.form, pane);
    const std::unique_ptr<QMenu> menu(p.createContextMenu());
    QStringList texts;
    for (QAction *a : menu->actions())
        if (!a->isSeparator())
            texts << a->text().remove(u'&');
    const QStringList ours{"Line Numbers",         "Synchronize Scrolling",
                           "Next Difference (F7)", "Previous Difference (Shift+F7)",
                           "First Difference",     "Compare as Tables…"};
    QVERIFY2(texts.contains("Copy"), qPrintable(texts.join(u'|')));
    QVERIFY(texts.indexOf("Copy") < texts.indexOf(ours.front()));
    QCOMPARE(texts.mid(texts.size() - ours.size()), ours);

    action(*menu, QStringLiteral("Compare as Tables…"))->trigger();
    QCOMPARE(chosenOn, &p);
}

void TestPaneMenu::choicesSwitchAndAreStored_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("key");
    QTest::newRow("Line Numbers") << "Line Numbers" << PaneMenu::kLineNumbersKey;
    QTest::newRow("Synchronize Scrolling") << "Synchronize Scrolling" << PaneMenu::kSynchronizeKey;
}

void TestPaneMenu::choicesSwitchAndAreStored()
{
    QFETCH(QString, entry);
    QFETCH(QString, key);
    WindowFixture f;
    f.form->Form_Load();
    Form1 &w = *f.form;
    const auto stored = [&f, &key] {
        return f.settings.value(Settings::kAppName, PaneMenu::kSection, key)
            .value_or(QStringLiteral("<missing>"));
    };
    const auto isOn = [&w, &entry] {
        return entry == "Line Numbers" ? w.paneMenu().lineNumbers()
                                       : w.paneMenu().synchronizedScrolling();
    };
    const QString optionBefore = f.setting("Option1");
    // Off at first, with the legacy look: no margin.
    QVERIFY(!isOn());
    QCOMPARE(stored(), QStringLiteral("<missing>"));
    for (RichTextBox *pane : w.panes())
        QCOMPARE(marginWidth(*pane), 0);

    choose(*w.RichTextBox3, entry);
    QVERIFY(isOn());
    QCOMPARE(stored(), QStringLiteral("True"));
    // The same choice shows in every pane's menu.
    for (RichTextBox *pane : w.panes()) {
        QVERIFY(checkedIn(*pane, entry));
        QCOMPARE(marginWidth(*pane) > 0, entry == "Line Numbers");
    }
    // The display option's entries stay as they were.
    QCOMPARE(f.setting("Option1"), optionBefore);

    choose(*w.RichTextBox2, entry);
    QVERIFY(!isOn());
    QCOMPARE(stored(), QStringLiteral("False"));
    for (RichTextBox *pane : w.panes()) {
        QVERIFY(!checkedIn(*pane, entry));
        QCOMPARE(marginWidth(*pane), 0);
    }
}

void TestPaneMenu::storedChoicesAreRestored_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("on");
    QTest::newRow("True") << "True" << true;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("False") << "False" << false;
    QTest::newRow("unreadable") << "maybe" << false;
}

void TestPaneMenu::storedChoicesAreRestored()
{
    QFETCH(QString, stored);
    QFETCH(bool, on);
    WindowFixture f;
    for (const QString &key : {PaneMenu::kLineNumbersKey, PaneMenu::kSynchronizeKey})
        f.settings.setValue(Settings::kAppName, PaneMenu::kSection, key, stored);
    Form1 w(f.dialogs, f.settings, ProgramFolder(f.programFolder.path()));
    w.Form_Load();
    QCOMPARE(w.paneMenu().lineNumbers(), on);
    QCOMPARE(w.paneMenu().synchronizedScrolling(), on);
    for (RichTextBox *pane : w.panes()) {
        QCOMPARE(marginWidth(*pane) > 0, on);
        QCOMPARE(checkedIn(*pane, QStringLiteral("Synchronize Scrolling")), on);
    }
    QVERIFY(f.dialogs.messages.empty());
}

void TestPaneMenu::panesScrollTogether_data()
{
    QTest::addColumn<bool>("full");         // the full panes or the result panes
    QTest::addColumn<bool>("synchronized"); // chosen from the menu
    QTest::addColumn<bool>("fromSecond");   // file #2's pane is scrolled
    QTest::newRow("full panes, from #1") << true << true << false;
    QTest::newRow("full panes, from #2") << true << true << true;
    QTest::newRow("result panes") << false << true << false;
    QTest::newRow("not synchronized") << true << false << false;
}

void TestPaneMenu::panesScrollTogether()
{
    QFETCH(bool, full);
    QFETCH(bool, synchronized);
    QFETCH(bool, fromSecond);
    WindowFixture f;
    Form1 &w = *f.form;
    w.Form_Load();
    w.setOptionValue(full ? w.Option1 : w.Option2, true);
    RichTextBox &first = full ? *w.RichTextBox1 : *w.RichTextBox3;
    RichTextBox &second = full ? *w.RichTextBox2 : *w.RichTextBox4;
    first.setText(lines(500, 200));
    second.setText(lines(400, 300));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Switching on brings the second pane to where the first is.
    first.setFirstVisibleLine(30);
    if (synchronized)
        choose(first, QStringLiteral("Synchronize Scrolling"));
    QCOMPARE(second.firstVisibleLine(), qint64(synchronized ? 30 : 0));

    RichTextBox &leader = fromSecond ? second : first;
    RichTextBox &follower = fromSecond ? first : second;
    leader.verticalScrollBar()->setValue(250);
    QCOMPARE(leader.firstVisibleLine(), qint64(250));
    QCOMPARE(follower.firstVisibleLine(), qint64(synchronized ? 250 : 0));
    // The bar reaches as far as the longest line painted so far.
    QVERIFY(QTest::qWaitFor([&] { return leader.horizontalScrollBar()->maximum() > 120; }));
    leader.horizontalScrollBar()->setValue(120);
    QCOMPARE(leader.xOffset(), 120);
    QCOMPARE(follower.xOffset(), synchronized ? 120 : 0);

    // Bringing a line into view in one pane scrolls the other with it.
    leader.gotoLine(10);
    const qint64 top = leader.firstVisibleLine();
    QVERIFY(top <= 10);
    if (synchronized)
        QVERIFY(QTest::qWaitFor([&] { return follower.firstVisibleLine() == top; }));
    else
        QCOMPARE(follower.firstVisibleLine(), qint64(0));

    // The longer pane scrolls on past the end of the shorter one, which stops
    // at its own end and does not hold the longer one back.
    first.gotoLine(499);
    const qint64 end = first.firstVisibleLine();
    QVERIFY(end > 400 - 10);
    QTest::qWait(100);
    QCOMPARE(first.firstVisibleLine(), qint64(end));
    const qint64 secondTop = second.firstVisibleLine();
    QVERIFY(synchronized ? secondTop > 300 : secondTop < 300);
}

void TestPaneMenu::unstorableChoiceWarnsOnceAndStillSwitches()
{
#ifdef Q_OS_WIN
    QSKIP("the registry has no settings file to block");
#endif
    QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
    const UnwritableSettingsFile blocked(qEnvironmentVariable("XDG_CONFIG_HOME")
                                         + "/Quillfen/Quillfen.conf");
    QVERIFY(blocked.made());
    const QString &file = blocked.path();
    FakeDialogs dialogs;
    Platform::QSettingsBackend settings;
    Form1 w(dialogs, settings, ProgramFolder(QDir::tempPath()));
    w.RichTextBox1->setEditMenuEnabled(true);

    choose(*w.RichTextBox1, QStringLiteral("Line Numbers"));
    QVERIFY(w.paneMenu().lineNumbers());
    QVERIFY(marginWidth(*w.RichTextBox4) > 0);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages.front().icon, Platform::Icon::Exclamation);
    QVERIFY2(dialogs.messages.front().text.contains(QDir::toNativeSeparators(file)),
             qPrintable(dialogs.messages.front().text));

    // Later failures of the same session are not reported again.
    choose(*w.RichTextBox1, QStringLiteral("Synchronize Scrolling"));
    choose(*w.RichTextBox1, QStringLiteral("Line Numbers"));
    QVERIFY(w.paneMenu().synchronizedScrolling());
    QVERIFY(!w.paneMenu().lineNumbers());
    QCOMPARE(dialogs.messages.size(), size_t(1));
}

QTEST_MAIN(TestPaneMenu)
#include "test_pane_menu.moc"
