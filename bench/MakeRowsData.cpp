// Writes the two CSV files the row comparison benchmark compares: a header and
// 1,000,000 rows of 10 columns (a unique id, then names, places, numbers, a
// date and a note that is sometimes quoted), LF line breaks. File 2 lacks 1% of
// the rows, has 1% new ones and 5% with one cell changed; each file is in its
// own shuffled order. The same seed gives the same bytes on every machine.
//
// Usage: bench_make_rows_data [FOLDER] [ROWS]   (defaults: bench/data, 1000000)

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "SplitMix.h"

namespace {

using Bench::Random;
const auto &names = Bench::kNames;
const auto &places = Bench::kPlaces;
const char *const notes[] = {"ok", "\"late, paid\"", "checked", "\"said \"\"soon\"\"\"",
                             "",   "returned",       "on hold"};
constexpr int kColumns = 10;

using Row = std::vector<std::string>;

Row randomRow(std::size_t id, Random &random)
{
    char buffer[32];
    Row row;
    std::snprintf(buffer, sizeof buffer, "ID%08zu", id);
    row.emplace_back(buffer);
    row.emplace_back(names[random.below(std::size(names))]);
    row.emplace_back(names[random.below(std::size(names))]);
    row.emplace_back(places[random.below(std::size(places))]);
    std::snprintf(buffer, sizeof buffer, "%zu.%02zu", random.below(10000), random.below(100));
    row.emplace_back(buffer);
    row.emplace_back(std::to_string(random.below(500)));
    std::snprintf(buffer, sizeof buffer, "20%02zu-%02zu-%02zu", 10 + random.below(15),
                  1 + random.below(12), 1 + random.below(28));
    row.emplace_back(buffer);
    std::snprintf(buffer, sizeof buffer, "%c%zu", char('A' + random.below(26)), random.below(99));
    row.emplace_back(buffer);
    row.emplace_back(random.below(2) ? "active" : "closed");
    row.emplace_back(notes[random.below(std::size(notes))]);
    return row;
}

std::string joined(const Row &row)
{
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            line += ',';
        line += row[i];
    }
    return line;
}

// The rows of one file, each ending in a line break, in one buffer: a
// hundred million rows fit in memory as their bytes and an offset each.
struct Rows
{
    std::string text;
    std::vector<std::uint64_t> starts;

    void push_back(const std::string &row)
    {
        starts.push_back(text.size());
        text += row;
        text += '\n';
    }
    std::size_t size() const { return starts.size(); }
    std::string_view operator[](std::size_t i) const
    {
        const std::uint64_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
        return std::string_view(text).substr(starts[i], end - starts[i]);
    }
};

// The rows' order after a shuffle of them (the same swaps on their indices).
std::vector<std::uint32_t> shuffled(std::size_t count, Random &random)
{
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = std::uint32_t(i);
    for (std::size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[random.below(i)]);
    return order;
}

bool write(const std::filesystem::path &path, const Rows &rows,
           const std::vector<std::uint32_t> &order)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "id,first,last,place,amount,qty,date,code,status,note\n";
    for (const std::uint32_t r : order)
        out << rows[r];
    out.close();
    return bool(out);
}

} // namespace

int main(int argc, char **argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : CORVANTIS_BENCH_DATA;
    const std::size_t rows = argc > 2 ? std::stoul(argv[2]) : 1000000;

    Random random(20261208);
    Rows first;
    Rows second;
    first.starts.reserve(rows);
    second.starts.reserve(rows + rows / 100);
    // Rows average 74 bytes: room that is rarely outgrown, so that a text of
    // gigabytes is not copied as it grows.
    first.text.reserve(rows * 80);
    second.text.reserve((rows + rows / 100) * 80);
    std::size_t removed = 0;
    std::size_t changed = 0;
    for (std::size_t id = 0; id < rows; ++id) {
        Row row = randomRow(id, random);
        first.push_back(joined(row));
        const std::size_t pick = random.below(100);
        if (pick == 0) { // 1%: not in file 2
            ++removed;
            continue;
        }
        if (pick <= 5) { // 5%: one cell other than the id changed
            std::string &cell = row[1 + random.below(kColumns - 1)];
            cell = std::string(cell == "X" ? "Y" : "X");
            ++changed;
        }
        second.push_back(joined(row));
    }
    const std::size_t added = rows / 100;
    for (std::size_t k = 0; k < added; ++k)
        second.push_back(joined(randomRow(rows + k, random)));
    const std::vector<std::uint32_t> order1 = shuffled(first.size(), random);
    const std::vector<std::uint32_t> order2 = shuffled(second.size(), random);

    std::filesystem::create_directories(folder);
    const auto file1 = folder / "rows1.csv";
    const auto file2 = folder / "rows2.csv";
    if (!write(file1, first, order1) || !write(file2, second, order2)) {
        std::cerr << "Cannot write the data files in " << folder << '\n';
        return 1;
    }
    std::cout << "Wrote " << file1.string() << " (" << std::filesystem::file_size(file1)
              << " bytes, " << first.size() << " rows) and " << file2.string() << " ("
              << std::filesystem::file_size(file2) << " bytes, " << second.size()
              << " rows): " << removed << " removed, " << added << " added, " << changed
              << " changed\n";
    return 0;
}
