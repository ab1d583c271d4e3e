// Writes two files of long lines for the window's benchmarks: LINES lines of
// about BYTES bytes each, words of CSV cells joined by spaces, CR LF breaks.
// File 2 is file 1 with one word in ten changed, so line i still pairs with
// line i. The same seed gives the same bytes on every machine.
//
// Usage: bench_make_long_lines FOLDER BYTES [LINES]   (LINES defaults to 1)
//   bench_make_long_lines data/long 3000000       two 3 MB one-line files
//   bench_make_long_lines data/wide 2048 1000000  1,000,000 lines of 2 KB

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "SplitMix.h"

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::cerr << "usage: bench_make_long_lines FOLDER BYTES [LINES]\n";
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    const std::size_t bytes = std::strtoull(argv[2], nullptr, 10);
    const std::size_t lines = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    std::filesystem::create_directories(folder);
    std::ofstream file1(folder / "file1.csv", std::ios::binary);
    std::ofstream file2(folder / "file2.csv", std::ios::binary);
    Bench::Random random(20261209);
    std::size_t words = 0;
    std::string line1;
    std::string line2;
    for (std::size_t l = 0; l < lines; ++l) {
        line1.clear();
        line2.clear();
        while (line1.size() < bytes) {
            char word[96];
            const int length =
                std::snprintf(word, sizeof word, "%07zu,%s,%s,%zu.%02zu", random.below(10000000),
                              Bench::kNames[random.below(20)], Bench::kPlaces[random.below(8)],
                              random.below(10000), random.below(100));
            const char *space = line1.empty() ? "" : " ";
            line1.append(space).append(word, std::size_t(length));
            line2.append(space).append(word, std::size_t(length));
            if (++words % 10 == 0)
                line2 += 'x';
        }
        file1 << line1 << "\r\n";
        file2 << line2 << "\r\n";
    }
    if (!file1.flush() || !file2.flush()) {
        std::cerr << "cannot write to " << folder << "\n";
        return 1;
    }
    return 0;
}
