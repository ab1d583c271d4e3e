// How the file dialog's filter and multiple selection are translated.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "dialogs/Dialogs.h"

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void qtFilter_data();
    void qtFilter();
    void dialogShowsLabelsAsWrittenAndAllFiles();
    void joinSelection_data();
    void joinSelection();
    void openDialogReturnsTypedNames_data();
    void openDialogReturnsTypedNames();
};

void TestDialogs::qtFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("open") << "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"
                          << "CSV Files (*.csv)(*.csv);;All Files (*.*)(*)";
    QTest::newRow("save, no blank before the parenthesis")
        << "Text Files(*.txt)|*.txt|All Files (*.*)|*.*|"
        << "Text Files(*.txt)(*.txt);;All Files (*.*)(*)";
    QTest::newRow("label patterns differ from the real ones") << "Lists (*.lst)|*.csv|"
                                                              << "Lists (*.lst)(*.csv)";
    QTest::newRow("several patterns") << "Data|*.csv;*.txt|"
                                      << "Data(*.csv *.txt)";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDialogs::qtFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(Platform::qtFilter(filter), expected);
}

// In a real dialog the labels read as written, and "All Files (*.*)" lists
// a file without an extension too.
void TestDialogs::dialogShowsLabelsAsWrittenAndAllFiles()
{
    QTemporaryDir folder;
    for (const char *name : {"a.csv", "README", "b.txt"}) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    dialog.setOptions(Platform::kFilterOptions | QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(Platform::qtFilter("Text Files(*.txt)|*.txt|All Files (*.*)|*.*|"));
    dialog.setDirectory(folder.path());
    auto *types = dialog.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types);
    QCOMPARE(types->count(), 2);
    QCOMPARE(types->itemText(0), QStringLiteral("Text Files(*.txt)"));
    QCOMPARE(types->itemText(1), QStringLiteral("All Files (*.*)"));
    auto *list = dialog.findChild<QListView *>(QStringLiteral("listView"));
    QVERIFY(list);
    const auto shown = [list] {
        QStringList names;
        for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
            names << list->model()->index(r, 0, list->rootIndex()).data().toString();
        names.sort();
        return names;
    };
    static_cast<void>(QTest::qWaitFor([&] { return shown() == QStringList{"b.txt"}; }));
    QCOMPARE(shown(), QStringList{"b.txt"});
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    static_cast<void>(QTest::qWaitFor([&] {
        return shown() == (QStringList{"README", "a.csv", "b.txt"});
    }));
    QCOMPARE(shown(), (QStringList{"README", "a.csv", "b.txt"}));
}

void TestDialogs::joinSelection_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("expected");
    const QChar nul(0);
    // "/" on Linux, the current drive ("C:/") on Windows; the folder is
    // given in the system's own separators.
    const QString root = QDir::rootPath();
    const QString data = root + "data";
    QTest::newRow("nothing (cancelled)") << QStringList{} << QString();
    QTest::newRow("one file") << QStringList{data + "/a.csv"} << data + "/a.csv";
    QTest::newRow("several files")
        << QStringList{data + "/a.csv", data + "/b.csv"}
        << QDir::toNativeSeparators(data) + nul + "a.csv" + nul + "b.csv";
    QTest::newRow("in the root folder")
        << QStringList{root + "a.csv", root + "b.csv"}
        << QDir::toNativeSeparators(root) + nul + "a.csv" + nul + "b.csv";
}

void TestDialogs::joinSelection()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, expected);
    QCOMPARE(Platform::joinSelection(paths), expected);
}

void TestDialogs::openDialogReturnsTypedNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected"); // names in the folder
    QTest::newRow("a file that exists") << "a.csv" << QStringList{"a.csv"};
    QTest::newRow("a file that does not exist") << "missing.csv" << QStringList{"missing.csv"};
    QTest::newRow("several, one missing")
        << "\"a.csv\" \"missing.csv\"" << QStringList{"a.csv", "missing.csv"};
}

// The load commands answer a missing file themselves ("File not found"), so
// the open dialog hands every typed name back, as the program always did.
void TestDialogs::openDialogReturnsTypedNames()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    QTemporaryDir folder;
    QFile existing(folder.filePath(QStringLiteral("a.csv")));
    QVERIFY(existing.open(QIODevice::WriteOnly));

    bool typing = false;  // the name is being typed: the dialog stays
    bool typedIn = false; // typed (or failed): whatever is open now is left over
    QTimer type;
    type.setInterval(20);
    connect(&type, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || typing)
            return;
        typing = true;
        const auto done = qScopeGuard([&] { typedIn = true; });
        dialog->setDirectory(folder.path());
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        // Typed as a person types: into the box that has the focus (a box
        // without it takes the names of the files the dialog selects).
        dialog->activateWindow();
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        name->setText(typed);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    // Whatever stays open after that (a box of the dialog's own, the
    // dialog itself) is closed, so that a refusal fails the test instead of
    // waiting for a person.
    QTimer close;
    close.setInterval(300);
    connect(&close, &QTimer::timeout, this, [&] {
        if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            modal && typedIn)
            modal->reject();
    });
    type.start();
    close.start();

    Platform::QtDialogs dialogs(nullptr);
    const QString chosen =
        dialogs.fileDialog({QStringLiteral("Load"), QStringLiteral("All Files (*.*)|*.*|"), false});
    QVERIFY(typedIn);
    QStringList paths;
    for (const QString &name : expected)
        paths << QDir(folder.path()).filePath(name);
    QCOMPARE(chosen, Platform::joinSelection(paths));
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
