// Times the line comparison on the two generated files in both directions and
// the classic awk one-liner doing the same job on the same files.
//
// Then the window's way: both directions on the panes' bytes at once, as two
// separate runs on two threads and as one run that shares its set of lines,
// with the processor time of each beside its wall time.
//
// Usage: bench_line_engine [DATA_FOLDER [--bytes-only]]

#include <cstdio>
#include <ctime>
#include <thread>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "engine/LineComparison.h"
#include "engine/LinePairComparison.h"

namespace {

// Runs awk listing the lines of `source` missing from `other`; gives the
// median time and, through `lines`, how many lines it printed.
double timeAwk(const QString &source, const QString &other, const QString &output, qsizetype &lines)
{
    const double ms = Bench::medianMs([&] {
        QProcess awk;
        awk.setStandardOutputFile(output);
        awk.start(QStringLiteral("awk"),
                  {QStringLiteral("NR==FNR{a[$0];next} !($0 in a)"), other, source});
        if (!awk.waitForFinished(-1) || awk.exitCode() != 0)
            std::fprintf(stderr, "awk failed: %s\n", qPrintable(awk.errorString()));
    });
    QFile printed(output);
    lines = 0;
    if (printed.open(QIODevice::ReadOnly))
        lines = printed.readAll().count('\n');
    return ms;
}

double processorMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void onTwoThreads(const std::function<void()> &first, const std::function<void()> &second)
{
    std::thread other(second);
    first();
    other.join();
}

// The file's bytes as a pane holds them (the test data is ASCII) with the CR
// loading appends.
QByteArray paneBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QByteArray pane;
    pane.reserve(bytes.size() + bytes.count('\n') + 1);
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype lf = bytes.indexOf('\n', at);
        lf = lf < 0 ? bytes.size() : lf;
        const qsizetype end = lf > at && bytes[lf - 1] == '\r' ? lf - 1 : lf;
        pane.append(bytes.constData() + at, end - at);
        if (lf < bytes.size())
            pane.append("\r\n");
        at = lf + 1;
    }
    return pane + '\r';
}

// Both directions on the panes' bytes, the median of three of each way.
void timeBothDirections(const QString &path1, const QString &path2)
{
    const QByteArray text1 = paneBytes(path1);
    const QByteArray text2 = paneBytes(path2);
    Compare::ByteSideResult in1;
    Compare::ByteSideResult in2;
    Compare::LinePairResult pair;
    double cpuSeparate = 0;
    double cpuShared = 0;
    const double separate = Bench::medianMs([&] {
        const double from = processorMs();
        onTwoThreads([&] { in1 = Compare::findLineDifferences(text1, text2); },
                     [&] { in2 = Compare::findLineDifferences(text2, text1); });
        cpuSeparate = processorMs() - from;
    });
    const double shared = Bench::medianMs([&] {
        const double from = processorMs();
        pair = Compare::findLineDifferencesOfBoth(text1, text2, onTwoThreads);
        cpuShared = processorMs() - from;
    });
    std::printf("\nPanes' bytes, both directions at once (median of 3; processor time of the "
                "last run)\n");
    std::printf("%-28s %9.0f ms wall %9.0f ms processor\n", "two separate runs", separate,
                cpuSeparate);
    std::printf("%-28s %9.0f ms wall %9.0f ms processor\n", "one run, one shared set", shared,
                cpuShared);
    const bool same = pair.in1.resultText == in1.resultText && pair.in2.resultText == in2.resultText
                      && pair.in1.red == in1.red && pair.in2.red == in2.red;
    std::printf("Results %s (%lld and %lld lines)\n", same ? "identical" : "DIFFER",
                qint64(in1.differences), qint64(in2.differences));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = Bench::dataFolder(argc, argv);
    const QString path1 = folder + QStringLiteral("/file1.csv");
    const QString path2 = folder + QStringLiteral("/file2.csv");

    if (app.arguments().contains(QStringLiteral("--bytes-only"))) {
        timeBothDirections(path1, path2);
        return 0;
    }
    QString text1;
    QString text2;
    const double loadMs = Bench::medianMs(
        [&] {
            text1 = Bench::loadPane(path1);
            text2 = Bench::loadPane(path2);
        },
        1);
    std::printf("Loaded %s (%lld characters) and %s (%lld characters) in %.0f ms\n",
                qPrintable(path1), qint64(text1.size()), qPrintable(path2), qint64(text2.size()),
                loadMs);

    Compare::SideResult in1;
    Compare::SideResult in2;
    using Compare::findLineDifferences;
    const double engine1 = Bench::medianMs([&] { in1 = findLineDifferences(text1, text2); });
    const double engine2 = Bench::medianMs([&] { in2 = findLineDifferences(text2, text1); });
    const double engineRss = Bench::peakRssMiB();

    QTemporaryDir temp;
    qsizetype awkLines1 = 0;
    qsizetype awkLines2 = 0;
    const double awk1 = timeAwk(path1, path2, temp.filePath(QStringLiteral("1.txt")), awkLines1);
    const double awk2 = timeAwk(path2, path1, temp.filePath(QStringLiteral("2.txt")), awkLines2);

    std::printf("\n%-28s %12s %12s %12s\n", "median of 3 runs", "1 vs 2", "2 vs 1", "both");
    std::printf("%-28s %9.0f ms %9.0f ms %9.0f ms\n", "engine", engine1, engine2,
                engine1 + engine2);
    std::printf("%-28s %9.0f ms %9.0f ms %9.0f ms\n", "awk", awk1, awk2, awk1 + awk2);
    std::printf("%-28s %12lld %12lld\n", "lines found by the engine", qint64(in1.differences),
                qint64(in2.differences));
    std::printf("%-28s %12lld %12lld\n", "lines printed by awk", qint64(awkLines1),
                qint64(awkLines2));
    std::printf("\nSpeed-up over awk (both directions): %.1fx (target: at least 10x)\n",
                (awk1 + awk2) / (engine1 + engine2));
    std::printf("Counts %s\n", in1.differences == awkLines1 && in2.differences == awkLines2
                                   ? "agree with awk"
                                   : "DIFFER from awk");
    std::printf("Peak resident memory of the engine process: %.0f MiB\n", engineRss);
    text1.clear();
    text2.clear();
    timeBothDirections(path1, path2);
    return 0;
}
