// Times the row comparison on bench/data/rows1.csv and rows2.csv (made by
// bench_make_rows_data): first the whole of "corvantis-cli rows --key id" (on
// both cores and on one) against DuckDB's full outer join of the same files (bench/peer-duckdb.sh,
// which installs its npm package into a scratch folder; set NO_PEER to skip) and, up to a
// gigabyte of input, miller's join (bench/peer-miller.sh, which unpacks Debian's package into a
// scratch folder), as child processes (wall time and peak memory), then each step of the engine
// in this process (the text, html and xlsx reports among them).
//
// With --memory SIZE (4G), files beyond memory: only the whole commands, once
// each, "corvantis-cli rows --key id --format csv --memory SIZE" against DuckDB
// with that memory limit; with CHECK_UNBOUNDED set, the report is also made
// without the bound and the two compared byte for byte.
//
// Usage: bench_rows [DATA_FOLDER] [--memory SIZE]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "BenchSupport.h"
#include "csv/CsvReader.h"
#include "csv/RowComparison.h"
#include "csv/RowsReport.h"
#include "csv/XlsxReport.h"
#include "io/FileReader.h"

namespace {

struct ChildRun
{
    double wallMs = 0;
    double cpuMs = 0; // user and system, of the best run
    double peakMiB = 0;
    double load = 0; // the machine's load average (one minute) as the best run began
    int status = -1;
};

// Other work on the machine slows every figure: each is printed beside it.
double loadAverage()
{
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

// Runs a program with its output thrown away; the best wall time of `runs`.
ChildRun runChild(const std::vector<std::string> &command, int runs = 3)
{
    ChildRun best;
    for (int i = 0; i < runs; ++i) {
        const double load = loadAverage();
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            std::vector<char *> argv;
            for (const std::string &a : command)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        if (i == 0 || took.count() < best.wallMs) {
            best.wallMs = took.count();
            best.load = load;
            best.cpuMs = (double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)) * 1e3
                         + (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e3;
        }
        best.peakMiB = double(usage.ru_maxrss) / 1024.0;
        best.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return best;
}

// Median wall time of three runs, and the processor time (both cores, user and
// system) of the last: on a shared machine the second is the steadier figure.
struct Timing
{
    double wallMs = 0;
    double cpuMs = 0;
    double load = 0; // the machine's one-minute load average as the step began
};

Timing timed(const std::function<void()> &work)
{
    Timing timing;
    timing.load = loadAverage();
    timing.wallMs = Bench::medianMs([&] {
        const double before = Bench::processCpuMs();
        work();
        timing.cpuMs = Bench::processCpuMs() - before;
    });
    return timing;
}

// The whole commands, each a child process. Run before this process loads
// anything: a child's peak memory counts what it inherits until its exec.
void runCommands(const QString &path1, const QString &path2)
{
    const double inputMiB = double(QFileInfo(path1).size() + QFileInfo(path2).size()) / 1048576.0;
    const std::string file1 = path1.toStdString();
    const std::string file2 = path2.toStdString();
    std::printf("Whole commands (best of 3, output to /dev/null; cpu: user and system; load: "
                "the machine's one-minute load average as the run began):\n");
    const auto childLine = [](const char *what, const ChildRun &run, const QString &note) {
        std::printf("  %-34s %7.0f ms wall %7.0f ms cpu %6.0f MiB  load %4.1f  exit %d  %s\n", what,
                    run.wallMs, run.cpuMs, run.peakMiB, run.load, run.status, qPrintable(note));
    };
    const ChildRun cli = runChild({CORVANTIS_CLI, "rows", file1, file2, "--key", "id"});
    childLine("corvantis-cli rows --key id", cli,
              QStringLiteral("(%1 x the input's %2 MiB)")
                  .arg(cli.peakMiB / inputMiB, 0, 'f', 2)
                  .arg(inputMiB, 0, 'f', 0));
    const ChildRun csv =
        runChild({CORVANTIS_CLI, "rows", file1, file2, "--key", "id", "--format", "csv"});
    childLine("the same, --format csv (2 threads)", csv, QString());
    const ChildRun oneCore = runChild({"taskset", "-c", "0", CORVANTIS_CLI, "rows", file1, file2,
                                       "--key", "id", "--format", "csv"});
    childLine(
        "the same on one core (taskset)", oneCore,
        QStringLiteral("(2 threads %1 x faster)").arg(oneCore.wallMs / csv.wallMs, 0, 'f', 2));
    if (!qEnvironmentVariableIsSet("NO_PEER")) {
        const std::string out = QDir::tempPath().toStdString() + "/peer-duckdb-out.csv";
        const ChildRun duck =
            runChild({"bash", CORVANTIS_BENCH_DIR "/peer-duckdb.sh", file1, file2, "id", out, "2"});
        childLine("DuckDB full outer join, 2 threads", duck,
                  QStringLiteral("(%1 x corvantis-cli --format csv's time)")
                      .arg(duck.wallMs / csv.wallMs, 0, 'f', 2));
        QFile::remove(QString::fromStdString(out));
    }
    if (qEnvironmentVariableIsSet("NO_PEER"))
        return;
    // Miller keeps the rows it has not paired as records: 3.4 GB for the 1M
    // pair's 140 MB. Past a gigabyte of input it would not finish here.
    if (inputMiB > 1024) {
        std::printf("  mlr join: not run (it needs about 25 x the input's memory)\n");
        return;
    }
    const std::string miller = CORVANTIS_BENCH_DIR "/peer-miller.sh";
    if (runChild({"bash", miller, "--version"}, 1).status != 0) {
        std::printf("  mlr: Debian's miller package could not be fetched\n");
        return;
    }
    // The rows of each file that the other lacks, by id: the nearest job miller has.
    const ChildRun join = runChild({"bash", miller, "--icsv", "--ocsv", "join", "--np", "--ul",
                                    "--ur", "-j", "id", "-f", file1, file2});
    childLine(
        "mlr join --np --ul --ur -j id", join,
        QStringLiteral("(%1 x corvantis-cli's time)").arg(join.wallMs / cli.wallMs, 0, 'f', 1));
}

// Whether two files hold the same bytes, read a few megabytes at a time.
bool sameBytes(const QString &path1, const QString &path2)
{
    QFile a(path1);
    QFile b(path2);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    while (!a.atEnd()) {
        if (a.read(8 << 20) != b.read(8 << 20))
            return false;
    }
    return true;
}

// The commands within `memory` (as --memory takes it: 4G), once each.
void runBounded(const QString &path1, const QString &path2, const std::string &memory)
{
    const double inputMiB = double(QFileInfo(path1).size() + QFileInfo(path2).size()) / 1048576.0;
    const std::string file1 = path1.toStdString();
    const std::string file2 = path2.toStdString();
    const std::string tmp = QDir::tempPath().toStdString();
    std::printf("Within %s of memory, %.0f MiB of input (one run each; load: the machine's "
                "one-minute load average as the run began):\n",
                memory.c_str(), inputMiB);
    const auto childLine = [](const std::string &what, const ChildRun &run) {
        std::printf("  %-46s %8.0f ms wall %8.0f ms cpu %6.0f MiB  load %4.1f  exit %d\n",
                    what.c_str(), run.wallMs, run.cpuMs, run.peakMiB, run.load, run.status);
    };
    const std::string bounded = tmp + "/bench-rows-bounded.csv";
    const ChildRun cli = runChild({CORVANTIS_CLI, "rows", file1, file2, "--key", "id", "--format",
                                   "csv", "--memory", memory, "--output", bounded},
                                  1);
    childLine("corvantis-cli rows --key id --memory " + memory, cli);
    if (!qEnvironmentVariableIsSet("NO_PEER")) {
        // DuckDB spells a size with a unit of its own: 4G is 4GiB.
        const std::string limit = memory + "iB";
        const std::string out = tmp + "/peer-duckdb-out.csv";
        const ChildRun duck = runChild(
            {"bash", CORVANTIS_BENCH_DIR "/peer-duckdb.sh", file1, file2, "id", out, "2", limit},
            1);
        childLine("DuckDB full outer join, memory_limit " + limit, duck);
        std::printf("  DuckDB's time is %.2f x ours\n", duck.wallMs / cli.wallMs);
        QFile::remove(QString::fromStdString(out));
    }
    if (qEnvironmentVariableIsSet("CHECK_UNBOUNDED")) {
        const std::string whole = tmp + "/bench-rows-whole.csv";
        const ChildRun unbounded = runChild({CORVANTIS_CLI, "rows", file1, file2, "--key", "id",
                                             "--format", "csv", "--output", whole},
                                            1);
        childLine("the same in memory", unbounded);
        std::printf("  the two reports are %s\n",
                    sameBytes(QString::fromStdString(bounded), QString::fromStdString(whole))
                        ? "byte-identical"
                        : "DIFFERENT");
        QFile::remove(QString::fromStdString(whole));
    }
    QFile::remove(QString::fromStdString(bounded));
}

} // namespace

int main(int argc, char **argv)
{
    const QString folder = Bench::dataFolder(argc, argv);
    const QString path1 = folder + QStringLiteral("/rows1.csv");
    const QString path2 = folder + QStringLiteral("/rows2.csv");
    for (const QString &path : {path1, path2}) {
        if (!QFileInfo::exists(path)) {
            std::fprintf(stderr, "Missing %s: run bench_make_rows_data first.\n", qPrintable(path));
            return 2;
        }
    }

    if (argc > 3 && std::string(argv[2]) == "--memory") {
        runBounded(path1, path2, argv[3]);
        return 0;
    }
    runCommands(path1, path2);

    QByteArray bytes1;
    QByteArray bytes2;
    // As the program reads them: the file reader (a large file in two halves at once).
    const auto readAll = [](const QString &path) {
        return Files::readFileBytes(path, Files::Streams::Read, nullptr, Files::Access::AtRandom)
            .bytes;
    };
    const Timing load = timed([&] {
        auto second = std::async(std::launch::async, [&] { return readAll(path2); });
        bytes1 = readAll(path1);
        bytes2 = second.get();
    });
    std::shared_ptr<const Csv::Table> table1;
    std::shared_ptr<const Csv::Table> table2;
    const Timing read = timed([&] {
        auto second = std::async(std::launch::async, [&] { return Csv::readCsvFile(bytes2); });
        table1 = std::make_shared<const Csv::Table>(Csv::readCsvFile(bytes1).table);
        table2 = std::make_shared<const Csv::Table>(second.get().table);
    });
    Csv::RowOptions options;
    options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    Csv::RowComparison result;
    const Timing compare = timed([&] { result = Csv::compareTables(table1, table2, options); });
    QByteArray report;
    const Timing format =
        timed([&] { report = Csv::formatReport(result, Csv::ReportFormat::Text, path1, path2); });
    // The page and the workbook, each counted as it streams out.
    qsizetype htmlBytes = 0;
    const Timing html = timed([&] {
        htmlBytes = 0;
        Csv::writeReport(result, Csv::ReportFormat::Html, {path1, path2},
                         [&htmlBytes](QByteArrayView piece) {
                             htmlBytes += piece.size();
                             return true;
                         });
    });
    qsizetype xlsxBytes = 0;
    const Timing xlsx = timed([&] {
        xlsxBytes = 0;
        Csv::writeXlsxReport(result, {path1, path2}, [&xlsxBytes](QByteArrayView piece) {
            xlsxBytes += piece.size();
            return true;
        });
    });
    options.key.clear();
    Csv::RowComparison multiset;
    const Timing compareRows =
        timed([&] { multiset = Csv::compareTables(table1, table2, options); });

    std::printf("Engine, %s rows against %s rows (wall: median of 3; cpu: both cores):\n",
                qPrintable(Csv::withThousands(result.rows1)),
                qPrintable(Csv::withThousands(result.rows2)));
    const auto line = [](const char *step, const Timing &t, const QString &note) {
        std::printf("  %-32s %6.0f ms wall %6.0f ms cpu  load %4.1f  %s\n", step, t.wallMs, t.cpuMs,
                    t.load, qPrintable(note));
    };
    line("load both files (two threads)", load, QString());
    line("read both as CSV (two threads)", read, QString());
    line("compare by key id", compare, Csv::summaryLine(result));
    line("text report", format, QStringLiteral("%1 bytes").arg(report.size()));
    line("html report", html, QStringLiteral("%1 bytes").arg(htmlBytes));
    line("xlsx report", xlsx, QStringLiteral("%1 bytes").arg(xlsxBytes));
    line("compare as a multiset", compareRows, Csv::summaryLine(multiset));
    // Cancel halfway through a comparison by key: how long until it stops.
    Csv::WorkControl control;
    options.key = Csv::parseColumnList(QStringLiteral("id")).columns;
    options.control = &control;
    auto running =
        std::async(std::launch::async, [&] { return Csv::compareTables(table1, table2, options); });
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(compare.wallMs / 2));
    const auto asked = std::chrono::steady_clock::now();
    control.cancel();
    const bool stopped = running.get().cancelled;
    const std::chrono::duration<double, std::milli> toStop =
        std::chrono::steady_clock::now() - asked;
    std::printf("  cancel halfway through compare   %6.1f ms to stop%s\n", toStop.count(),
                stopped ? "" : " (it had finished)");
    std::printf("  peak memory of this process      %7.0f MiB\n", Bench::peakRssMiB());

    return 0;
}
