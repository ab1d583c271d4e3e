// The error trap: what the user is told, and that the handler goes on.
#include <stdexcept>

#include <QTest>

#include "FakeDialogs.h"
#include "base/AppError.h"
#include "window/ErrorTrap.h"

class TestErrorTrap : public QObject
{
    Q_OBJECT

private slots:
    void reportsAndGoesOn_data();
    void reportsAndGoesOn();
};

void TestErrorTrap::reportsAndGoesOn_data()
{
    QTest::addColumn<int>("failure"); // 0 AppError, 1 std::exception, 2 out of memory
    QTest::addColumn<QString>("description");
    QTest::newRow("program error") << 0 << "File not readable";
    QTest::newRow("library error") << 1 << "bad thing";
    QTest::newRow("out of memory") << 2 << "Out of memory";
}

void TestErrorTrap::reportsAndGoesOn()
{
    QFETCH(int, failure);
    QFETCH(QString, description);
    FakeDialogs dialogs;
    const ErrorTrap trap(dialogs, QStringLiteral("in Pendrel2021/08/31.Form1.PushButton1_Click "));
    QStringList ran;
    QVERIFY(trap(100, [&] { ran << "100"; }));
    QVERIFY(!trap(102, [&] {
        ran << "102";
        if (failure == 0)
            throw AppError(description);
        if (failure == 1)
            throw std::runtime_error("bad thing");
        throw std::bad_alloc();
    }));
    QVERIFY(trap(104, [&] { ran << "104"; }));
    QCOMPARE(ran, (QStringList{"100", "102", "104"}));
    QCOMPARE(dialogs.messages.size(), size_t(1));
    const Platform::MessageRequest &box = dialogs.messages.front();
    QCOMPARE(box.text, description
                           + "\r\nin Pendrel2021/08/31.Form1.PushButton1_Click at line 102\r\r"
                             "Please email screenshot of this message to support@quillfen.example");
    QCOMPARE(box.title, QStringLiteral("Application Error"));
    QCOMPARE(box.icon, Platform::Icon::Exclamation);
    QCOMPARE(box.buttons, Platform::Buttons::Ok);
}

QTEST_MAIN(TestErrorTrap)
#include "test_error_trap.moc"
