// The display options: which panes show, and what is stored.
#include <cerrno>

#include <QDir>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

#include "WindowFixture.h"
#include "support/UnwritableSettingsFile.h"

using Compare::ColourRange;

class TestDisplayOptions : public QObject
{
    Q_OBJECT

private slots:
    void optionsSwitchPanesAndStoreBoth_data();
    void optionsSwitchPanesAndStoreBoth();
    void userClickRunsTheHandler();
    void optionsChangeNoText();
    void clearingAnOptionRunsNothing();
    void unstorableOptionWarnsOnceAndStillSwitches_data();
    void unstorableOptionWarnsOnceAndStillSwitches();
};

void TestDisplayOptions::optionsSwitchPanesAndStoreBoth_data()
{
    QTest::addColumn<QStringList>("sequence");
    QTest::addColumn<bool>("fullShown");
    QTest::addColumn<QString>("stored1");
    QTest::addColumn<QString>("stored2");
    QTest::newRow("Option1") << QStringList{"1"} << true << "True"
                             << "False";
    QTest::newRow("Option2") << QStringList{"2"} << false << "False"
                             << "True";
    QTest::newRow("Option2 then Option1") << QStringList{"2", "1"} << true << "True"
                                          << "False";
    QTest::newRow("Option1 twice") << QStringList{"1", "1"} << true << "True"
                                   << "False";
}

void TestDisplayOptions::optionsSwitchPanesAndStoreBoth()
{
    QFETCH(QStringList, sequence);
    QFETCH(bool, fullShown);
    QFETCH(QString, stored1);
    QFETCH(QString, stored2);
    WindowFixture f;
    Form1 &w = *f.form;
    for (const QString &option : sequence)
        w.setOptionValue(option == "1" ? w.Option1 : w.Option2, true);
    QCOMPARE(w.Option1->isChecked(), fullShown);
    QCOMPARE(w.Option2->isChecked(), !fullShown);
    QCOMPARE(w.RichTextBox1->Visible(), fullShown);
    QCOMPARE(w.RichTextBox2->Visible(), fullShown);
    QCOMPARE(w.RichTextBox3->Visible(), !fullShown);
    QCOMPARE(w.RichTextBox4->Visible(), !fullShown);
    QCOMPARE(f.setting("Option1"), stored1);
    QCOMPARE(f.setting("Option2"), stored2);
    QCOMPARE(f.settings.entries.size(), size_t(2));
}

void TestDisplayOptions::userClickRunsTheHandler()
{
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QTest::mouseClick(f.form->Option1, Qt::LeftButton, {}, QPoint(10, 8));
    QVERIFY(f.form->Option1->isChecked());
    QVERIFY(f.form->RichTextBox1->isVisible());
    QVERIFY(!f.form->RichTextBox3->isVisible());
    QCOMPARE(f.setting("Option1"), QStringLiteral("True"));
    QTest::mouseClick(f.form->Option2, Qt::LeftButton, {}, QPoint(10, 8));
    QVERIFY(f.form->RichTextBox3->isVisible());
    QCOMPARE(f.setting("Option2"), QStringLiteral("True"));
    QCOMPARE(f.setting("Option1"), QStringLiteral("False"));
}

void TestDisplayOptions::optionsChangeNoText()
{
    WindowFixture f;
    Form1 &w = *f.form;
    const QStringList texts{"a\r\nb\r", "c\r", "a\r", ""};
    for (int i = 0; i < 4; ++i)
        w.panes()[size_t(i)]->setText(texts[i]);
    w.RichTextBox1->colourRanges({ColourRange{0, 1}}, kRed);
    w.setOptionValue(w.Option2, true);
    w.setOptionValue(w.Option1, true);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w.panes()[size_t(i)]->text(), texts[i]);
    QCOMPARE(w.RichTextBox1->colourAt(0), kRed);
}

void TestDisplayOptions::clearingAnOptionRunsNothing()
{
    WindowFixture f;
    Form1 &w = *f.form;
    w.setOptionValue(w.Option2, false);
    QVERIFY(!w.Option1->isChecked());
    QVERIFY(!w.Option2->isChecked());
    QVERIFY(f.settings.entries.empty());
}

void TestDisplayOptions::unstorableOptionWarnsOnceAndStillSwitches_data()
{
    QTest::addColumn<bool>("byUser"); // a click, or selected by a command
    QTest::newRow("user clicks") << true;
    QTest::newRow("a command selects") << false;
}

void TestDisplayOptions::unstorableOptionWarnsOnceAndStillSwitches()
{
    QFETCH(bool, byUser);
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
    auto select = [&](QRadioButton *option) {
        byUser ? option->click() : w.setOptionValue(option, true);
    };

    select(w.Option1);
    QVERIFY(w.RichTextBox1->Visible());
    QVERIFY(!w.RichTextBox3->Visible());
    QCOMPARE(dialogs.messages.size(), size_t(1));
    const Platform::MessageRequest &warning = dialogs.messages.front();
    QCOMPARE(warning.buttons, Platform::Buttons::Ok);
    QCOMPARE(warning.icon, Platform::Icon::Exclamation);
    QVERIFY2(warning.text.contains(QDir::toNativeSeparators(file)), qPrintable(warning.text));
    QVERIFY2(warning.text.contains(qt_error_string(EISDIR)), qPrintable(warning.text));

    // Later failures of the same session are not reported again.
    select(w.Option2);
    select(w.Option1);
    select(w.Option2);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY(!w.RichTextBox1->Visible());
    QVERIFY(w.RichTextBox3->Visible());
    QVERIFY(w.RichTextBox4->Visible());
}

QTEST_MAIN(TestDisplayOptions)
#include "test_display_options.moc"
