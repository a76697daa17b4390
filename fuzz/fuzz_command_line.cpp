// Feeds arbitrary arguments (the input split at NUL bytes) to Velmora's
// command-line parser. It must answer, never crash or hang, and its answer
// must keep its promises: a failure is one printable line, a wait is only
// given with a screenshot or a PDF export and lies within its range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/CommandLine.h"

using namespace Velmora;

namespace {
void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsOneLine(const std::string& text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096)
        return 0;
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back().push_back(static_cast<char>(data[i]));
    }
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Fail:
        Check(!line.error.empty() && IsOneLine(line.error));
        break;
    case CommandLine::Run:
        Check(line.error.empty());
        Check(line.afterSeconds == 0 || (line.Quits() && line.afterSeconds > 0 && line.afterSeconds <= 1e6));
        Check(line.roots.size() <= arguments.size());
        break;
    case CommandLine::ShowHelp:
    case CommandLine::ShowVersion: break;
    }
    for (const std::string& argument : arguments)
        Check(IsOneLine(QuoteForMessage(argument)));
    return 0;
}
