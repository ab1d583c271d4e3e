// Times the word comparison (both passes) on the two generated files.
//
// Usage: bench_word_engine [DATA_FOLDER]

#include <cstdio>

#include <QCoreApplication>

#include "BenchSupport.h"
#include "engine/WordComparison.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = Bench::dataFolder(argc, argv);
    const QString text1 = Bench::loadPane(folder + QStringLiteral("/file1.csv"));
    const QString text2 = Bench::loadPane(folder + QStringLiteral("/file2.csv"));
    std::printf("Loaded %lld and %lld characters from %s\n", qint64(text1.size()),
                qint64(text2.size()), qPrintable(folder));

    Compare::WordComparison result;
    const double ms = Bench::medianMs([&] { result = Compare::findWordDifferences(text1, text2); });

    std::printf("\nWord comparison, both passes, median of 3 runs: %.0f ms\n", ms);
    std::printf("Words found: %lld in file 1, %lld in file 2\n", qint64(result.file1.differences),
                qint64(result.file2.differences));
    std::printf("Red ranges: %zu in file 1, %zu in file 2\n", result.file1.red.size(),
                result.file2.red.size());
    std::printf("Peak resident memory: %.0f MiB\n", Bench::peakRssMiB());
    return 0;
}
