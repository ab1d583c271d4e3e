// Times the key guess on two generated 1,000,000-row, 10-column tables of
// three shapes: a unique first column, an order-lines pair keyed by two
// columns (no single column unique), and every row twice (no key at all: the
// guess tries every set its bounds allow). Prints the median of three runs.
#include <cstdio>
#include <ctime>

#include <QByteArray>

#include "BenchSupport.h"
#include "SplitMix.h"
#include "csv/CsvReader.h"
#include "csv/KeyGuess.h"

namespace {

enum class Shape { UniqueId, OrderLines, NoKey };

QByteArray table(Shape shape, int rows, std::uint64_t seed)
{
    Bench::Random random(seed);
    QByteArray text = "order_id,line_no,sku,qty,price,city,status,note,code,flag\n";
    text.reserve(qsizetype(rows) * 60);
    for (int r = 0; r < rows; ++r) {
        const int order = shape == Shape::UniqueId ? r : r / 4;
        QByteArray row = QByteArray::number(order) + ',' + QByteArray::number(r % 4 + 1) + ",SKU"
                         + QByteArray::number(qulonglong(random.below(5000))) + ','
                         + QByteArray::number(qulonglong(random.below(100))) + ','
                         + QByteArray::number(qulonglong(random.below(10000))) + ".50,"
                         + Bench::kNames[random.below(10)] + ",open,note "
                         + QByteArray::number(r % 7) + ",C" + QByteArray::number(r % 1000) + ",y\n";
        text += row;
        if (shape == Shape::NoKey && ++r < rows) // every row twice: nothing is unique
            text += row;
    }
    return text;
}

} // namespace

int main()
{
    constexpr int kRows = 1000000;
    const struct
    {
        Shape shape;
        const char *name;
    } shapes[] = {{Shape::UniqueId, "unique first column"},
                  {Shape::OrderLines, "order_id + line_no"},
                  {Shape::NoKey, "no key within three columns"}};
    for (const auto &[shape, name] : shapes) {
        const Csv::Table table1 = Csv::readCsv(table(shape, kRows, 1), ',').table;
        const Csv::Table table2 = Csv::readCsv(table(shape, kRows, 2), ',').table;
        const Csv::ColumnMapping mapping = Csv::mapColumns(table1, table2, true, {});
        std::vector<qsizetype> key;
        // CPU time too: on a busy machine the wall time says little.
        const std::clock_t cpuBefore = std::clock();
        const double ms =
            Bench::medianMs([&] { key = Csv::guessKey(table1, table2, mapping, true); });
        const double cpuMs = double(std::clock() - cpuBefore) * 1000 / CLOCKS_PER_SEC / 3;
        QString columns;
        for (const qsizetype c : key)
            columns += (columns.isEmpty() ? "" : ",") + mapping.name(c);
        std::printf("key guess, 2 x %d rows, %-28s %8.1f ms (CPU %8.1f ms)  key: %s\n", kRows, name,
                    ms, cpuMs, columns.isEmpty() ? "(none)" : qPrintable(columns));
    }
    std::printf("peak memory %.0f MiB\n", Bench::peakRssMiB());
    return 0;
}
