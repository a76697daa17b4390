// A second process for the clipboard tests: writes a local data record as
// this process would, naming the grid, items and objects it is given (the
// addresses of the test's own rows), to a file.
//   local_record_writer FILE OPERATION GRID [ITEM OBJECT]...   (words in hex)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gui/clipboard/LocalDataFormat.h"

using Kestrum::GUI::CLocalDataFormat;

namespace {
void Put(std::vector<std::uint8_t>& bytes, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || (argc - 4) % 2 != 0)
        return 2;
    const auto word = [](const char* text) { return static_cast<std::uint64_t>(std::strtoull(text, nullptr, 16)); };
    std::vector<std::uint8_t> bytes;
    Put(bytes, CLocalDataFormat::ProcessId(), 4);
    Put(bytes, CLocalDataFormat::ProcessToken(), 8);
    Put(bytes, word(argv[3]), 8);
    Put(bytes, 3, 4); // both areas
    Put(bytes, static_cast<std::uint64_t>((argc - 4) / 2), 4);
    Put(bytes, word(argv[2]), 4);
    for (int i = 4; i < argc; ++i)
        Put(bytes, word(argv[i]), 8);
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file)
        return 1;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}
