// Pointer feedback: the hand over the buttons, the default elsewhere, and the
// busy pointer untouched while a command runs.
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "WindowFixture.h"

class TestPointer : public QObject
{
    Q_OBJECT

private slots:
    void handlers_data();
    void handlers();
    void realMovesReachTheRightHandler_data();
    void realMovesReachTheRightHandler();
    void busyPointerIsNeverOverwritten();
    void leavingTheWindowKeepsTheStyle();
    void longComparisonKeepsBusyPointer();
    void commandsShowBusyPointerWhileTheyRun();
};

using Handler = void (Form1::*)();
Q_DECLARE_METATYPE(Handler)

void TestPointer::handlers_data()
{
    QTest::addColumn<Handler>("handler");
    QTest::addColumn<int>("style");
    QTest::newRow("Form") << Handler(&Form1::Form_MouseMove) << 0;
    QTest::newRow("Frame1") << Handler(&Form1::Frame1_MouseMove) << 0;
    QTest::newRow("Frame2") << Handler(&Form1::Frame2_MouseMove) << 0;
    QTest::newRow("Frame3") << Handler(&Form1::Frame3_MouseMove) << 0;
    QTest::newRow("Option1") << Handler(&Form1::Option1_MouseMove) << 0;
    QTest::newRow("Option2") << Handler(&Form1::Option2_MouseMove) << 0;
    QTest::newRow("RichTextBox1") << Handler(&Form1::RichTextBox1_MouseMove) << 0;
    QTest::newRow("RichTextBox2") << Handler(&Form1::RichTextBox2_MouseMove) << 0;
    QTest::newRow("RichTextBox3") << Handler(&Form1::RichTextBox3_MouseMove) << 0;
    QTest::newRow("RichTextBox4") << Handler(&Form1::RichTextBox4_MouseMove) << 0;
    QTest::newRow("PushButton1") << Handler(&Form1::PushButton1_MouseMove) << 99;
    QTest::newRow("PushButton2") << Handler(&Form1::PushButton2_MouseMove) << 99;
    QTest::newRow("PushButton3") << Handler(&Form1::PushButton3_MouseMove) << 99;
    QTest::newRow("PushButton4") << Handler(&Form1::PushButton4_MouseMove) << 99;
    QTest::newRow("PushButton5") << Handler(&Form1::PushButton5_MouseMove) << 99;
    QTest::newRow("PushButton6") << Handler(&Form1::PushButton6_MouseMove) << 99;
    QTest::newRow("PushButton7") << Handler(&Form1::PushButton7_MouseMove) << 99;
    QTest::newRow("PushButton9") << Handler(&Form1::PushButton9_MouseMove) << 99;
}

void TestPointer::handlers()
{
    QFETCH(Handler, handler);
    QFETCH(int, style);
    WindowFixture f;
    for (int before : {0, 99}) {
        f.form->setMousePointer(before);
        (f.form.get()->*handler)();
        QCOMPARE(f.form->MousePointer(), style);
    }
    f.form->setMousePointer(11);
    (f.form.get()->*handler)();
    QCOMPARE(f.form->MousePointer(), 11);
}

void TestPointer::realMovesReachTheRightHandler_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<int>("style");
    QTest::newRow("button") << "PushButton1" << 99;
    QTest::newRow("pane") << "RichTextBox1" << 0;
    QTest::newRow("another button") << "PushButton9" << 99;
    QTest::newRow("option") << "Option1" << 0;
    QTest::newRow("frame") << "Frame2" << 0;
}

void TestPointer::realMovesReachTheRightHandler()
{
    QFETCH(QString, element);
    QFETCH(int, style);
    WindowFixture f;
    f.form->setOptionValue(f.form->Option1, true);
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    auto *target = f.form->findChild<QWidget *>(element);
    QVERIFY(target);
    if (auto *pane = qobject_cast<RichTextBox *>(target))
        target = pane->viewport();
    // Start from the opposite state, then move over the element.
    f.form->setMousePointer(style == 99 ? 0 : 99);
    QTest::mouseMove(target, QPoint(3, 3));
    QTest::mouseMove(target, target->rect().center());
    (void)QTest::qWaitFor([&] { return f.form->MousePointer() == style; });
    QCOMPARE(f.form->MousePointer(), style);
    if (style == 99)
        QCOMPARE(f.form->cursor().shape(), Qt::PointingHandCursor);
    else
        QCOMPARE(f.form->cursor().shape(), Qt::ArrowCursor);
}

void TestPointer::busyPointerIsNeverOverwritten()
{
    WindowFixture f;
    f.form->setMousePointer(11);
    f.form->PushButton3_MouseMove();
    f.form->RichTextBox2_MouseMove();
    f.form->Form_MouseMove();
    QCOMPARE(f.form->MousePointer(), 11);
    QCOMPARE(f.form->cursor().shape(), Qt::WaitCursor);
    QCOMPARE(f.form->RichTextBox1->viewport()->cursor().shape(), Qt::WaitCursor);
    f.form->setMousePointer(0);
    QCOMPARE(f.form->RichTextBox1->viewport()->cursor().shape(), Qt::IBeamCursor);
}

void TestPointer::leavingTheWindowKeepsTheStyle()
{
    WindowFixture f;
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
    QTest::mouseMove(f.form->PushButton4, QPoint(5, 5));
    QTest::mouseMove(f.form->PushButton4, QPoint(9, 9));
    (void)QTest::qWaitFor([&] { return f.form->MousePointer() == 99; });
    QCOMPARE(f.form->MousePointer(), 99);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(f.form->PushButton4, &leave);
    QCoreApplication::sendEvent(f.form.get(), &leave);
    QCOMPARE(f.form->MousePointer(), 99);
}

void TestPointer::longComparisonKeepsBusyPointer()
{
    WindowFixture f;
    QString a;
    QString b;
    for (int i = 0; i < 300000; ++i) {
        a += QStringLiteral("row %1,left\r\n").arg(i);
        b += QStringLiteral("row %1,right\r\n").arg(i);
    }
    f.form->RichTextBox1->setText(a);
    f.form->RichTextBox2->setText(b);
    QList<int> seen;
    QTimer mover;
    connect(&mover, &QTimer::timeout, this, [&] {
        if (!f.form->commandRunning())
            return;
        f.form->PushButton1_MouseMove();
        f.form->RichTextBox1_MouseMove();
        seen << f.form->MousePointer();
    });
    mover.start(1);
    f.form->PushButton1_Click();
    mover.stop();
    QVERIFY2(!seen.isEmpty(), "the window did not run events during the comparison");
    QVERIFY(std::all_of(seen.begin(), seen.end(), [](int s) { return s == 11; }));
    QCOMPARE(f.form->MousePointer(), 0);
}

void TestPointer::commandsShowBusyPointerWhileTheyRun()
{
    // "File not found" opens in the middle of a load: the pointer is busy then.
    WindowFixture f;
    QList<int> during;
    f.dialogs.onMessage = [&](const Platform::MessageRequest &) {
        during << f.form->MousePointer();
    };
    f.dialogs.fileNames.push_back(f.programFolder.filePath("missing.csv"));
    f.form->PushButton3_Click();
    QCOMPARE(during, QList<int>{11});
    QCOMPARE(f.form->MousePointer(), 0);
}

QTEST_MAIN(TestPointer)
#include "test_pointer.moc"
