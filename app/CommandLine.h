// Velmora's command line, read before any window (or display connection)
// exists:
//
//   velmora [--expand LEVELS] [--screenshot FILE] [--export-pdf FILE]
//           [--after SECONDS] [--report-layout] [--settings FILE]
//           [--exclude PATTERN]... [--] [FOLDER...]
//   velmora [OPTION...] --import FILE | FILE.json | FILE.json.gz
//   velmora --export FILE [--exclude PATTERN]... [FOLDER...] | --import FILE --export FILE
//   velmora --help | --version
//
// Options are read from left to right; "--" ends them, so every later
// argument is a folder even when it begins with "-". A bad option or value
// ends the reading with a one-line message naming it (exit code 2); --help
// and --version end it with their text (exit code 0). The parser is pure:
// the folders are checked separately (CheckRoots), so it can be fuzzed.
#pragma once

#include <string>
#include <vector>

namespace Velmora {

// The About box's text; --version prints it.
inline constexpr const char* kVersionText = "Velmora version 1.0";

// Exit code of a bad command line.
inline constexpr int kUsageExitCode = 2;

struct CommandLine {
    enum Action { Run, ShowHelp, ShowVersion, Fail };
    Action action = Run;
    std::vector<std::string> roots; // as given; none: the machine's disks
    std::string screenshot;         // empty: show the window
    std::string exportPdf;          // empty: no PDF
    int expandLevels = -1;          // levels opened once the walk has ended (-1: none asked)
    std::string settingsFile;       // empty: the profile (none for --screenshot and --export-pdf)
    bool reportLayout = false;      // print where the grid lies once the walk has ended
    bool treemap = false;           // show the treemap below the tree (and print it)
    double afterSeconds = 0;        // with a screenshot or PDF: the latest moment (0: none)
    std::string exportScan;         // walk (or read) and write a scan file, without a window
    std::string importScan;         // show (or convert) a scan file instead of walking
    std::vector<std::string> exclude; // folders the walk does not enter (glob patterns)
    std::string error;              // Fail: one line, without the program name

    // Saves something and quits instead of staying open.
    bool Quits() const { return !screenshot.empty() || !exportPdf.empty(); }
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);
CommandLine ParseCommandLine(int argc, const char* const* argv);

// The --help text (several lines, ending with a newline).
std::string UsageText();

// Checks that every root is an existing folder and makes it absolute (links
// in a folder the user named are resolved: that is the folder asked for).
// Returns one line per bad root, naming it; the roots are usable when it
// returns none.
std::vector<std::string> CheckRoots(std::vector<std::string>& roots);

// A lone root named "*.json" or "*.json.gz" that is not a folder is a scan
// file to show: it moves to importScan.
void TakeScanFileRoot(CommandLine& options);

// Exit code of a run that cannot write the file it was asked to save.
inline constexpr int kCannotWriteExitCode = 1;

// Why a file cannot be written where it is named ("no such folder '/x'",
// "is a folder", "Permission denied"), or empty when it can be, as far as
// the file system tells before the writing: so a save names its reason
// before any work is done.
std::string WhyNotWritable(const std::string& file);

// A value quoted for a one-line message: control characters and bytes that
// are no text are shown as escapes, so a message never spans lines.
std::string QuoteForMessage(const std::string& value);

} // namespace Velmora
