// Pictures of the table window for a review of its look: a 60-column pair
// with changes in a few columns, scrolled sideways (the status, line and key
// columns stay), the per-column summary, and the "changed on disk" bar, in the
// light and in a dark palette.
//
// Usage: bench_table_shots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPalette>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "WindowWatch.h"
#include "settings/SettingsBackend.h"
#include "tables/OpenTables.h"
#include "tables/RowTableModel.h"
#include "tables/TableWindow.h"

namespace {

constexpr int kColumns = 60;
constexpr int kRows = 400;

QByteArray wideTable(bool changed)
{
    QByteArray out = "id";
    for (int c = 1; c < kColumns; ++c)
        out += ",col" + QByteArray::number(c);
    out += '\n';
    for (int r = 0; r < kRows; ++r) {
        out += "K" + QByteArray::number(10000 + r);
        for (int c = 1; c < kColumns; ++c) {
            int value = r * 7 + c;
            if (changed
                && ((c == 3 && r % 5 == 0) || (c == 41 && r % 9 == 0) || (c == 57 && r % 40 == 0)))
                value += 1;
            out += ',' + QByteArray::number(value);
        }
        out += '\n';
    }
    return out;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(30, 30, 30));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(55, 55, 58));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Highlight, QColor(40, 100, 180));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(70, 60, 20));
    p.setColor(QPalette::ToolTipText, QColor(240, 240, 240));
    p.setColor(QPalette::PlaceholderText, QColor(160, 160, 160));
    return p;
}

bool shoot(const QString &file1, const QString &file2, const QString &output)
{
    SilentDialogs dialogs;
    Platform::MemorySettingsBackend settings;
    TableWindow *window = Tables::openTablesWindow(dialogs, settings, file1, file2,
                                                   Csv::parseColumnList("id").columns);
    QSignalSpy compared(window, &TableWindow::compared);
    if (!compared.wait(20000))
        return false;
    window->resize(1100, 640);
    QTest::qWait(50);
    QTableView &view = window->view();
    // Sideways to col41, one of the columns with changes: its new values
    // highlighted beside the old, the status, lines and id still in place.
    const QModelIndex changed = window->model().index(2, 3 + 41);
    view.setFocus();
    view.setCurrentIndex(changed);
    view.scrollTo(changed, QAbstractItemView::PositionAtCenter);
    // File 2 changes on disk under the open window.
    QTest::qWait(1100);
    write(file2, wideTable(true) + "K99999" + QByteArray(",1").repeated(kColumns - 1) + "\n");
    window->checkFilesOnDisk();
    QTest::qWait(50);
    const bool saved = window->grab().save(output);
    window->close();
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "Usage: bench_table_shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QTemporaryDir scratch;
    const QString file1 = scratch.filePath(QStringLiteral("wide1.csv"));
    const QString file2 = scratch.filePath(QStringLiteral("wide2.csv"));
    const QPalette light = QApplication::palette();
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : light);
        if (!write(file1, wideTable(false)) || !write(file2, wideTable(true)))
            return 2;
        const QString output =
            folder
            + (dark ? QStringLiteral("/tables-dark.png") : QStringLiteral("/tables-light.png"));
        if (!shoot(file1, file2, output)) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(output));
            return 1;
        }
        std::printf("%s\n", qPrintable(output));
    }
    return 0;
}
