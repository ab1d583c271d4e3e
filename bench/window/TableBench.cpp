// The table window on the pair bench_make_rows_data writes (rows1.csv and
// rows2.csv): opening both files and comparing them by id, the first rows
// painted, a jump to the last row, the unchanged rows shown and hidden
// again, a sort by a text column, a find, a find typed a key at a time, F7,
// a compare after file 2 changed on disk (on a copy of it), and a Cancel half
// a second into a Compare. For each, the time and the longest stall of the
// window's thread; at the end the peak memory against the files' bytes. The comparisons also print
// the processor time they took (all threads), and the machine's load average is printed at both
// ends: wall times on a busy machine say little alone.
//
// Usage: bench_tables [DATA_FOLDER]

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "BenchSupport.h"
#include "WindowWatch.h"
#include "runner/BackgroundRun.h"
#include "settings/SettingsBackend.h"
#include "tables/OpenTables.h"
#include "tables/RowTableModel.h"
#include "tables/TableWindow.h"

namespace {

// Processor time of the last timedCompare(), in ms.
double lastCpuMs = 0;

// Runs a comparison under the watch, noting its processor time.
std::pair<double, double> timedCompare(StallWatch &watch, const std::function<void()> &work)
{
    const double before = Bench::processCpuMs();
    const auto figures = watch.measure(work);
    lastCpuMs = Bench::processCpuMs() - before;
    return figures;
}

void printCpu()
{
    std::printf("  processor time %.0f ms (all threads)\n", lastCpuMs);
}

void printLoad()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        std::printf("load average %s", load.readLine().constData());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = Bench::dataFolder(argc, argv);
    const QString file1 = folder + QStringLiteral("/rows1.csv");
    const QString original2 = folder + QStringLiteral("/rows2.csv");
    if (!QFileInfo::exists(file1) || !QFileInfo::exists(original2)) {
        std::fprintf(stderr, "Missing %s: run bench_make_rows_data first.\n", qPrintable(file1));
        return 2;
    }
    // File 2 is changed on disk later: a copy of it is.
    QTemporaryDir scratch;
    const QString file2 = scratch.filePath(QStringLiteral("rows2.csv"));
    if (!scratch.isValid() || !QFile::copy(original2, file2)) {
        std::fprintf(stderr, "Cannot copy %s\n", qPrintable(original2));
        return 2;
    }
    const double filesMiB = double(QFileInfo(file1).size() + QFileInfo(file2).size()) / (1 << 20);

    printLoad();
    SilentDialogs dialogs;
    Platform::MemorySettingsBackend settings;
    StallWatch watch;
    TableWindow *window = nullptr;
    const auto open = timedCompare(watch, [&] {
        window = Tables::openTablesWindow(dialogs, settings, file1, file2,
                                          Csv::parseColumnList("id").columns);
        QSignalSpy compared(window, &TableWindow::compared);
        compared.wait(600000);
    });
    report("open both files and compare", open, window->summaryText());
    printCpu();
    report("  per-column summary", {0, 0}, Tables::changeSummary(*window->session().data(), 4));
    std::printf("  peak so far %.0f MiB\n", Bench::peakRssMiB());
    QTableView &view = window->view();
    const auto again = timedCompare(watch, [&] { window->compare(); });
    report("Compare (F5): first rows", again,
           QStringLiteral("%1 rows shown").arg(window->model().rowCount()));
    printCpu();
    std::printf("  peak so far %.0f MiB\n", Bench::peakRssMiB());
    const auto last = watch.measure([&] {
        view.scrollToBottom();
        view.setCurrentIndex(window->model().index(window->model().rowCount() - 1, 3));
    });
    report("jump to the last row", last);
    // Until every row is in the table (they come in steps).
    const auto allRows = [&] {
        RowTableModel &model = window->model();
        while (size_t(model.rowCount()) < model.visible().size())
            QApplication::processEvents();
    };
    const auto show = watch.measure([&] {
        window->showStatus(Tables::Status::Unchanged, true);
        allRows();
    });
    report("show unchanged rows", show,
           QStringLiteral("%1 rows shown").arg(window->model().rowCount()));
    const auto hide = watch.measure([&] { window->showStatus(Tables::Status::Unchanged, false); });
    report("hide them again", hide);
    window->showStatus(Tables::Status::Unchanged, true);
    allRows();
    const auto sort = watch.measure([&] { emit view.horizontalHeader()->sectionClicked(4); });
    report("sort by a text column", sort, window->model().headerData(4, Qt::Horizontal).toString());
    const auto find = watch.measure([&] { window->setFindText(QStringLiteral("Juniper")); });
    report("find a text", find, QStringLiteral("%1 rows").arg(window->model().rowCount()));
    window->setFindText(QString());
    // Typed as a person does, 80 ms a key: each key may start a find that the
    // next one stops.
    QLineEdit *box = nullptr;
    for (QLineEdit *edit : window->findChildren<QLineEdit *>()) {
        if (edit->accessibleName() == QLatin1String("Find"))
            box = edit;
    }
    const auto typed = watch.measure([&] {
        QSignalSpy found(window, &TableWindow::found);
        for (const char *key : {"r", "i", "v", "e"}) {
            QTest::keyClicks(box, QString::fromLatin1(key));
            QTest::qWait(80);
        }
        found.wait(60000);
    });
    report(
        "find as typed (4 keys)", typed,
        QStringLiteral("%1 rows, %2").arg(window->model().rowCount()).arg(window->findCountText()));
    std::printf("  peak so far %.0f MiB\n", Bench::peakRssMiB());
    const auto f7 = watch.measure([&] { window->moveToChangedCell(true); });
    report("F7: next changed cell", f7, window->moveNoteText());

    // One row of file 2 rewritten on disk, as sed -i does: the file replaced.
    // Copied and patched in place, so that this program's memory does not
    // count a copy of the file in the window's peak.
    {
        const QString next = file2 + QStringLiteral(".new");
        QFile::copy(file2, next);
        QFile out(next);
        out.open(QIODevice::ReadWrite);
        const qint64 middle = out.size() / 2;
        out.seek(middle);
        const QByteArray chunk = out.read(4096);
        const qint64 line = middle + chunk.indexOf('\n') + 1;
        out.seek(line + 1);
        const char old = out.read(1).at(0);
        out.seek(line + 1);
        out.write(old == 'x' ? "y" : "x", 1);
        out.close();
        QFile::remove(file2);
        QFile::rename(next, file2);
    }
    window->checkFilesOnDisk();
    std::printf("  peak so far %.0f MiB\n", Bench::peakRssMiB());
    const auto fresh = timedCompare(watch, [&] { window->compare(); });
    report("compare after a change", fresh, window->summaryText());
    printCpu();

    // Cancel half a second into a Compare: how long until the window is free
    // again (the longest stall is the whole run's).
    window->setProperty(kProgressDelayProperty, 0);
    QElapsedTimer sinceCancel;
    QTimer::singleShot(500, window, [&] {
        if (auto *progress = window->findChild<QProgressDialog *>()) {
            sinceCancel.start();
            for (QPushButton *button : progress->findChildren<QPushButton *>())
                button->click();
        }
    });
    const auto cancel = watch.measure([&] { window->compare(); });
    report("Cancel 0.5 s into Compare: free after",
           {sinceCancel.isValid() ? double(sinceCancel.elapsed()) : -1.0, cancel.second},
           window->summaryText());
    std::printf("peak memory %.0f MiB = %.2f x the files' %.0f MiB\n", Bench::peakRssMiB(),
                Bench::peakRssMiB() / filesMiB, filesMiB);
    printLoad();
    window->close();
    return 0;
}
