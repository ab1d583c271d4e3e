// The window's design: where each control stands, what it says, tab order.
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "WindowFixture.h"

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void windowIsFixed();
    void resultPanesTakeFullPaneRectangle();
    void tabOrder();
    void tabEntersOptionsOnTheSelectedOne_data();
    void tabEntersOptionsOnTheSelectedOne();
    void fonts();
    void backgroundPictureShowsOnlyAroundTheFrame();
    void everyControlHasAnAccessibleName();
    void blackOnWhiteUnderADarkTheme();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
};

void TestLayout::controls_data()
{
    // name, caption, left, top, width, height in twips (15 per pixel)
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("twips");
    auto row = [](const char *name, const char *caption, const char *parent, int l, int t, int w,
                  int h) {
        QTest::newRow(name) << QString::fromUtf8(caption) << QString::fromUtf8(parent)
                            << QRect(l, t, w, h);
    };
    row("Frame3", "CSV File #2", "Form1", 4080, 120, 3840, 4815);
    row("Frame1", "CSV File #1", "Form1", 120, 120, 3840, 4815);
    row("Frame2", "Display Options (Use after clicking Start buttons)", "Form1", 120, 7050, 7800,
        1065);
    row("RichTextBox1", "", "Frame1", 240, 300, 3360, 4335);
    row("RichTextBox2", "", "Frame3", 240, 300, 3360, 4335);
    row("Option2", "Display only the lines with differences", "Frame2", 240, 300, 5655, 255);
    row("Option1", "Display all lines but highlight the lines with differences", "Frame2", 240, 650,
        7455, 255);
    row("PushButton3", "Load CSV File #1", "Form1", 120, 5050, 3840, 405);
    row("PushButton2", "Save Results #1", "Form1", 120, 5560, 3840, 405);
    row("PushButton4", "Load CSV File #2", "Form1", 4080, 5050, 3840, 405);
    row("PushButton5", "Save Results #2", "Form1", 4080, 5560, 3840, 405);
    row("PushButton1", "Find Differences (Lines)", "Form1", 120, 6580, 3840, 405);
    row("PushButton6", "Find Differences (Words)", "Form1", 4080, 6580, 3840, 405);
    row("PushButton7", "Clear Text Above", "Form1", 120, 6070, 3840, 405);
    row("PushButton9", "Load Sample/Example Files", "Form1", 4080, 6070, 3840, 405);
}

void TestLayout::controls()
{
    QFETCH(QString, caption);
    QFETCH(QString, parent);
    QFETCH(QRect, twips);
    WindowFixture f;
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    auto *w = f.form->findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget()->objectName(), parent);
    const auto px = [](int t) { return qRound(t / 15.0); };
    QCOMPARE(w->geometry(),
             QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(b->text(), caption);
    if (auto *g = qobject_cast<QGroupBox *>(w))
        QCOMPARE(g->title(), caption);
}

void TestLayout::windowIsFixed()
{
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QCOMPARE(f.form->size(), QSize(536, 548));
    QCOMPARE(f.form->minimumSize(), f.form->maximumSize());
    QVERIFY(!(f.form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(f.form->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(f.form->Option2->isChecked());
    QVERIFY(!f.form->Option1->isChecked());
}

void TestLayout::resultPanesTakeFullPaneRectangle()
{
    WindowFixture f;
    QCOMPARE(f.form->RichTextBox3->height(), 81); // design height before the first show
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QCOMPARE(f.form->RichTextBox3->geometry(), QRect(16, 20, 224, 289));
    QCOMPARE(f.form->RichTextBox4->geometry(), f.form->RichTextBox2->geometry());
    f.form->showMinimized();
    f.form->showNormal();
    QCOMPARE(f.form->RichTextBox3->geometry(), QRect(16, 20, 224, 289));
    QCOMPARE(f.form->PushButton9->geometry(), QRect(272, 405, 256, 27));
}

void TestLayout::tabOrder()
{
    // The frames take no focus; Tab visits the rest by their tab index and
    // skips the panes that are hidden, and of the options only the selected one.
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    const QStringList all{"RichTextBox1", "RichTextBox2", "PushButton3", "PushButton4",
                          "PushButton2",  "PushButton5",  "PushButton7", "PushButton9",
                          "PushButton1",  "PushButton6",  "Option2",     "Option1",
                          "RichTextBox3", "RichTextBox4"};
    auto tabWalk = [&](const QString &from, int steps) {
        QWidget *w = f.form->findChild<QWidget *>(from);
        QStringList seen{w->objectName()};
        while (seen.size() < steps) {
            w = w->nextInFocusChain();
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible()
                && all.contains(w->objectName()))
                seen << w->objectName();
        }
        return seen;
    };
    QStringList optionTwo = all;
    optionTwo.removeAll(QStringLiteral("Option1"));
    QCOMPARE(tabWalk("RichTextBox1", 13), optionTwo);
    f.form->setOptionValue(f.form->Option1, true);
    QStringList withoutResults = all.mid(0, 12);
    withoutResults.removeAll(QStringLiteral("Option2"));
    withoutResults << "RichTextBox1";
    QCOMPARE(tabWalk("RichTextBox1", 12), withoutResults);
    f.form->setOptionValue(f.form->Option2, true);
    QStringList withoutFull = all.mid(2, 12);
    withoutFull.removeAll(QStringLiteral("Option1"));
    withoutFull << "PushButton3";
    QCOMPARE(tabWalk("PushButton3", 12), withoutFull);
}

void TestLayout::tabEntersOptionsOnTheSelectedOne_data()
{
    QTest::addColumn<bool>("firstSelected");
    QTest::addColumn<bool>("backwards");
    QTest::newRow("Option2 selected, Tab") << false << false;
    QTest::newRow("Option1 selected, Tab") << true << false;
    QTest::newRow("Option2 selected, Shift+Tab") << false << true;
    QTest::newRow("Option1 selected, Shift+Tab") << true << true;
}

void TestLayout::tabEntersOptionsOnTheSelectedOne()
{
    QFETCH(bool, firstSelected);
    QFETCH(bool, backwards);
    WindowFixture f;
    Form1 &w = *f.form;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.setOptionValue(firstSelected ? w.Option1 : w.Option2, true);
    QRadioButton *selected = firstSelected ? w.Option1 : w.Option2;
    // Backwards from the first visible pane after the options in the tab
    // order (the result panes show with Option2, else round to the full ones).
    QWidget *before = w.PushButton6;
    if (backwards)
        before = firstSelected ? static_cast<QWidget *>(w.RichTextBox1) : w.RichTextBox3;
    before->setFocus(Qt::OtherFocusReason);
    static_cast<void>(QTest::qWaitFor([&] { return QApplication::focusWidget() == before; }));
    QCOMPARE(QApplication::focusWidget(), before);
    QTest::keyClick(before, Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
    static_cast<void>(QTest::qWaitFor([&] { return QApplication::focusWidget() == selected; }));
    QCOMPARE(QApplication::focusWidget(), selected);
    // An arrow selects the other option, which takes the focus.
    QRadioButton *other = firstSelected ? w.Option2 : w.Option1;
    QTest::keyClick(selected, firstSelected ? Qt::Key_Up : Qt::Key_Down);
    static_cast<void>(QTest::qWaitFor([&] { return QApplication::focusWidget() == other; }));
    QCOMPARE(QApplication::focusWidget(), other);
    QVERIFY(other->isChecked());
    // Tab leaves the group from the selected option.
    QTest::keyClick(other, Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
    QVERIFY(QApplication::focusWidget() != w.Option1 && QApplication::focusWidget() != w.Option2);
}

void TestLayout::backgroundPictureShowsOnlyAroundTheFrame()
{
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    const QImage shot = f.form->grab().toImage();
    const QImage picture(QStringLiteral(":/art/background.png"));
    QCOMPARE(picture.size(), QSize(32, 32));
    // The band along the top and left edges shows the picture...
    QCOMPARE(shot.pixelColor(3, 3), picture.pixelColor(3, 3));
    QCOMPARE(shot.pixelColor(20, 4), picture.pixelColor(20, 4));
    // ...and the frame "CSV File #1" covers the rest of it.
    int covered = 0;
    for (int y = 8; y < 32; ++y)
        for (int x = 8; x < 32; ++x)
            covered += shot.pixelColor(x, y) != picture.pixelColor(x, y);
    QVERIFY2(covered > 24 * 24 / 2, qPrintable(QString::number(covered)));
}

void TestLayout::fonts()
{
    WindowFixture f;
    for (QWidget *w :
         {static_cast<QWidget *>(f.form->RichTextBox1), static_cast<QWidget *>(f.form->Option1),
          static_cast<QWidget *>(f.form->Frame2)}) {
        QCOMPARE(w->font().pointSizeF(), 9.0);
        QVERIFY(w->font().bold());
    }
    QCOMPARE(f.form->PushButton1->font().pointSizeF(), 11.25);
    QVERIFY(f.form->PushButton1->font().bold());
    // Arial, or the metric-compatible face the system gives for it.
    QString family = QFontInfo(f.form->PushButton1->font()).family();
#ifdef Q_OS_WIN
    // The offscreen platform there (the tests' under Wine) reads a fonts
    // folder without Arial and substitutes nothing: the face asked for counts.
    if (!QFontDatabase::hasFamily(QStringLiteral("Arial")))
        family = f.form->PushButton1->font().family();
#endif
    QVERIFY2(family == "Arial" || family == "Liberation Sans", qPrintable(family));
}

void TestLayout::everyControlHasAnAccessibleName()
{
    WindowFixture f;
    for (QWidget *w : f.form->findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QGroupBox *>(w)
            || qobject_cast<RichTextBox *>(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    QCOMPARE(f.form->PushButton6->accessibleName(), QStringLiteral("Find Differences (Words)"));
    QVERIFY(f.form->RichTextBox3->accessibleName().startsWith("CSV File #1"));
}

void TestLayout::blackOnWhiteUnderADarkTheme()
{
    const QPalette desktop = QApplication::palette();
    QPalette dark(QColor(230, 230, 230), QColor(45, 45, 45)); // light text on dark grey
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    for (QWidget *w : f.form->findChildren<QWidget *>()) {
        if (!qobject_cast<QAbstractButton *>(w) && !qobject_cast<QGroupBox *>(w))
            continue;
        const QPalette &p = w->palette();
        QCOMPARE(p.color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(p.color(QPalette::ButtonText), QColor(Qt::black));
        QCOMPARE(p.color(QPalette::Window), QColor(Qt::white));
    }
    QCOMPARE(f.form->palette().color(QPalette::Window), QColor(Qt::white));
    // What shows: a button's face stays light and its caption dark.
    const QImage button = f.form->PushButton1->grab().toImage();
    const QColor face = button.pixelColor(4, button.height() / 2);
    QVERIFY2(face.lightness() > 200, qPrintable(face.name()));
    int darkPixels = 0;
    for (int x = 0; x < button.width(); ++x)
        darkPixels += button.pixelColor(x, button.height() / 2).lightness() < 80;
    QVERIFY2(darkPixels > 10, qPrintable(QString::number(darkPixels)));
    QApplication::setPalette(desktop);
}

void TestLayout::enterPressesTheFocusedButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("pressed");
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
    QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << true;
    QTest::newRow("Ctrl+Return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << false;
    QTest::newRow("a letter") << int(Qt::Key_A) << int(Qt::NoModifier) << false;
}

void TestLayout::enterPressesTheFocusedButton()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, pressed);
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    f.form->RichTextBox1->setText(QStringLiteral("a"));
    f.form->RichTextBox3->setText(QStringLiteral("a"));
    f.form->PushButton7->setFocus(); // "Clear Text Above"
    QTest::keyClick(f.form->PushButton7, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.form->RichTextBox1->text().isEmpty(), pressed);
    QCOMPARE(f.form->RichTextBox3->text().isEmpty(), pressed);
}

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
