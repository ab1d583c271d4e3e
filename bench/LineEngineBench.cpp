// Times the line comparison on the two generated files in both directions and
// the classic awk one-liner doing the same job on the same files.
//
// Usage: bench_line_engine [DATA_FOLDER]

#include <cstdio>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "engine/LineComparison.h"

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = Bench::dataFolder(argc, argv);
    const QString path1 = folder + QStringLiteral("/file1.csv");
    const QString path2 = folder + QStringLiteral("/file2.csv");

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
    return 0;
}
