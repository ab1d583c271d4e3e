// Start-up: the state the window is in before the user sees it.
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "WindowFixture.h"
#include "base/Main.h"
#include "window/ErrorTrap.h"

namespace {

const QString kLocation = QStringLiteral("in Pendrel2021/08/31.Form1.Form_Load ");

void store(WindowFixture &f, const QString &key, const QString &value)
{
    f.settings.setValue(QStringLiteral("Quillfen"), QStringLiteral("Corvantis"), key, value);
}

} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void storedOptions_data();
    void storedOptions();
    void firstStart();
    void unconvertibleOptionIsReportedAndStartUpGoesOn_data();
    void unconvertibleOptionIsReportedAndStartUpGoesOn();
    void cursorFile_data();
    void cursorFile();
    void skin();
    void iconAndTitle();
    void closingTheWindowEndsTheProgram();
};

void TestStartUp::storedOptions_data()
{
    QTest::addColumn<QString>("option1");
    QTest::addColumn<QString>("option2");
    QTest::addColumn<bool>("selected1");
    QTest::addColumn<bool>("selected2");
    QTest::newRow("Option1 last time") << "True"
                                       << "False" << true << false;
    QTest::newRow("Option2 last time") << "False"
                                       << "True" << false << true;
    QTest::newRow("both False") << "False"
                                << "False" << false << false;
    QTest::newRow("numbers 1/0") << "1"
                                 << "0" << true << false;
    QTest::newRow("numbers 0/-1") << "0"
                                  << "-1" << false << true;
}

void TestStartUp::storedOptions()
{
    QFETCH(QString, option1);
    QFETCH(QString, option2);
    QFETCH(bool, selected1);
    QFETCH(bool, selected2);
    WindowFixture f;
    store(f, "Option1", option1);
    store(f, "Option2", option2);
    f.form->Form_Load();
    QCOMPARE(f.form->Option1->isChecked(), selected1);
    QCOMPARE(f.form->Option2->isChecked(), selected2);
    if (selected1) {
        QVERIFY(f.form->RichTextBox1->Visible());
        QVERIFY(!f.form->RichTextBox3->Visible());
    }
    if (selected2) {
        QVERIFY(!f.form->RichTextBox1->Visible());
        QVERIFY(f.form->RichTextBox3->Visible());
    }
    QVERIFY(f.dialogs.messages.empty());
}

void TestStartUp::firstStart()
{
    WindowFixture f;
    f.form->Form_Load();
    for (RichTextBox *pane : f.form->panes()) {
        QCOMPARE(pane->text(), QString());
        QVERIFY(pane->editMenuEnabled());
    }
    QVERIFY(f.form->Option2->isChecked());
    QVERIFY(!f.form->Option1->isChecked());
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Corvantis"));
    QCOMPARE(f.setting("Option2"), QStringLiteral("True"));
    QCOMPARE(f.setting("Option1"), QStringLiteral("False"));
    QCOMPARE(f.form->MousePointer(), 0);
    QVERIFY(f.dialogs.messages.empty()); // no cursor file: no message either
    QVERIFY(!f.form->hasMouseIcon());
}

void TestStartUp::unconvertibleOptionIsReportedAndStartUpGoesOn_data()
{
    QTest::addColumn<QString>("option1");
    QTest::addColumn<QString>("option2");
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("selected1");
    QTest::newRow("Option2 unreadable") << "True"
                                        << "yes" << 152 << true;
    // Option2's handler would store Option1 anew, so Option2 is stored False here.
    QTest::newRow("Option1 unreadable") << "maybe"
                                        << "False" << 154 << false;
}

void TestStartUp::unconvertibleOptionIsReportedAndStartUpGoesOn()
{
    QFETCH(QString, option1);
    QFETCH(QString, option2);
    QFETCH(int, line);
    QFETCH(bool, selected1);
    WindowFixture f;
    store(f, "Option1", option1);
    store(f, "Option2", option2);
    f.form->Form_Load();
    QCOMPARE(f.dialogs.messages.size(), size_t(1));
    const Platform::MessageRequest &report = f.dialogs.messages.front();
    QCOMPARE(report.text, ErrorTrap::reportText(QStringLiteral("Type mismatch"), kLocation, line));
    QCOMPARE(report.title, QStringLiteral("Application Error"));
    QCOMPARE(report.icon, Platform::Icon::Exclamation);
    QCOMPARE(f.form->Option1->isChecked(), selected1);
    QCOMPARE(f.form->windowTitle(), QStringLiteral("Corvantis"));
}

void TestStartUp::cursorFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loaded");
    QFile shipped(QStringLiteral(CORVANTIS_STAGE_DIR "/HAND-M.CUR"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    QTest::newRow("our hand cursor") << shipped.readAll() << true;
    QTest::newRow("not a picture") << QByteArray("this is no cursor") << false;
    QTest::newRow("empty file") << QByteArray() << false;
}

void TestStartUp::cursorFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loaded);
    WindowFixture f;
    f.writeFile(QStringLiteral("HAND-M.CUR"), bytes);
    f.form->Form_Load();
    QCOMPARE(f.form->hasMouseIcon(), loaded);
    if (loaded) {
        QVERIFY(f.dialogs.messages.empty());
        f.form->setMousePointer(99);
        QCOMPARE(f.form->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(f.form->cursor().pixmap().size(), QSize(32, 32));
    } else {
        QCOMPARE(f.dialogs.messages.size(), size_t(1));
        QVERIFY(f.dialogs.messages.front().text.contains(kLocation + "at line 122\r\r"));
        // Start-up went on.
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Corvantis"));
        QVERIFY(f.form->Option2->isChecked());
    }
}

void TestStartUp::skin()
{
    const QColor white(Qt::white);
    {
        WindowFixture plain;
        plain.form->Form_Load();
        QCOMPARE(plain.form->Frame1->palette().color(QPalette::Window), white);
        QCOMPARE(plain.form->Option1->palette().color(QPalette::Window), white);
        QVERIFY(plain.form->styleSheet().isEmpty());
    }
    WindowFixture skinned;
    skinned.writeFile(QStringLiteral("x/o.cjs"), "QPushButton { color: rgb(1, 2, 3); }");
    skinned.form->Form_Load();
    const QColor face = QApplication::palette().color(QPalette::Button);
    QCOMPARE(skinned.form->Frame1->palette().color(QPalette::Window), face);
    QCOMPARE(skinned.form->Option2->palette().color(QPalette::Window), face);
    QCOMPARE(skinned.form->palette().color(QPalette::Window), face);
    QVERIFY(skinned.form->styleSheet().contains("rgb(1, 2, 3)"));
    QCOMPARE(skinned.form->RichTextBox1->palette().color(QPalette::Base),
             QApplication::palette().color(QPalette::Base));
    QVERIFY(skinned.dialogs.messages.empty());
}

void TestStartUp::iconAndTitle()
{
    WindowFixture f;
    f.form->Form_Load();
    const QList<QSize> sizes = f.form->windowIcon().availableSizes();
    for (int s : {32, 48, 128, 256})
        QVERIFY2(sizes.contains(QSize(s, s)), qPrintable(QString::number(s)));
    QCOMPARE(Main::appTitle(), QStringLiteral("Corvantis"));
}

void TestStartUp::closingTheWindowEndsTheProgram()
{
    WindowFixture f;
    f.form->Form_Load();
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QWidget other; // another window of the program goes with it
    other.show();
    bool ended = false;
    QTimer::singleShot(0, f.form.get(), [&] { f.form->close(); });
    QTimer::singleShot(5000, &other, [] { QCoreApplication::exit(1); });
    ended = QCoreApplication::exec() == 0;
    QVERIFY2(ended, "closing the main window did not end the program");
    QVERIFY(f.dialogs.messages.empty());
}

QTEST_MAIN(TestStartUp)
#include "test_startup.moc"
