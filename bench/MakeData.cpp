// Writes the two CSV files the benchmarks compare: 1,000,000 rows of about 40
// bytes each, CR LF line breaks; file 2 holds the same rows with one row in ten
// changed, and each file is in its own shuffled order. The same seed gives the
// same bytes on every machine. With --in-order both files keep the rows in
// one order (an export taken twice), so line i still pairs with line i.
//
// Usage: bench_make_data [FOLDER] [ROWS] [--in-order]   (defaults: bench/data, 1000000)

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "SplitMix.h"

namespace {

using Bench::Random;
const auto &names = Bench::kNames;
const auto &places = Bench::kPlaces;

struct Row
{
    std::size_t id, first, last, place, amount, cents, grade;

    std::string text() const
    {
        char line[128];
        const int length =
            std::snprintf(line, sizeof line, "%07zu,%s %s,%s,%04zu.%02zu,%c", id, names[first],
                          names[last], places[place], amount, cents, char('A' + grade));
        return std::string(line, std::size_t(length));
    }
};

Row randomRow(std::size_t id, Random &random)
{
    return {id,
            random.below(std::size(names)),
            random.below(std::size(names)),
            random.below(std::size(places)),
            random.below(10000),
            random.below(100),
            random.below(26)};
}

template <typename T>
void shuffle(std::vector<T> &items, Random &random)
{
    for (std::size_t i = items.size(); i > 1; --i)
        std::swap(items[i - 1], items[random.below(i)]);
}

bool write(const std::filesystem::path &path, const std::vector<std::string> &rows)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string &r : rows)
        out << r << "\r\n";
    out.close();
    return bool(out);
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool inOrder = std::erase(args, "--in-order") > 0;
    const std::filesystem::path folder = args.size() > 0 ? args[0] : CORVANTIS_BENCH_DATA;
    const std::size_t rows = args.size() > 1 ? std::stoul(args[1]) : 1000000;

    Random random(20210831);
    std::vector<std::string> first;
    std::vector<std::string> second;
    first.reserve(rows);
    second.reserve(rows);
    std::size_t changed = 0;
    for (std::size_t id = 0; id < rows; ++id) {
        Row r = randomRow(id, random);
        first.push_back(r.text());
        // One row in ten gets an amount of five digits, which no original has.
        if (id % 10 == 0) {
            r.amount = 10000 + random.below(90000);
            ++changed;
        }
        second.push_back(r.text());
    }
    if (!inOrder) {
        shuffle(first, random);
        shuffle(second, random);
    }

    std::filesystem::create_directories(folder);
    const auto file1 = folder / "file1.csv";
    const auto file2 = folder / "file2.csv";
    if (!write(file1, first) || !write(file2, second)) {
        std::cerr << "Cannot write the data files in " << folder << '\n';
        return 1;
    }
    std::cout << "Wrote " << file1.string() << " (" << std::filesystem::file_size(file1)
              << " bytes) and " << file2.string() << " (" << std::filesystem::file_size(file2)
              << " bytes): " << rows << " rows each, " << changed << " rows changed"
              << (inOrder ? ", in one order\n" : ", shuffled\n");
    return 0;
}
