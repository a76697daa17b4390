#include "app/CommandLine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace Velmora {

namespace {

// The longest wait --after accepts (a million seconds, eleven days): it
// becomes milliseconds in a 64-bit count without any risk.
constexpr double kMaxAfterSeconds = 1e6;

// A number of seconds above 0: digits with an optional decimal fraction,
// nothing else (no sign, exponent, spaces or "inf").
bool ParseSeconds(const std::string& text, double& seconds)
{
    if (text.empty() || text.size() > 32)
        return false;
    double value = 0;
    double scale = 0; // 0 while in the integer part
    bool digits = false;
    for (const char c : text) {
        if (c == '.' && scale == 0) {
            scale = 1;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        digits = true;
        if (scale == 0) {
            value = value * 10 + (c - '0');
        } else {
            scale /= 10;
            value += (c - '0') * scale;
        }
    }
    if (!digits || !(value > 0) || value > kMaxAfterSeconds)
        return false;
    seconds = value;
    return true;
}

// The deepest --expand: more levels than any folder tree has.
constexpr int kMaxExpandLevels = 10000;

// A whole number from 0 to kMaxExpandLevels, digits only.
bool ParseLevels(const std::string& text, int& levels)
{
    if (text.empty() || text.size() > 5)
        return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value > kMaxExpandLevels)
        return false;
    levels = value;
    return true;
}

CommandLine Failure(std::string message)
{
    CommandLine result;
    result.action = CommandLine::Fail;
    result.error = std::move(message);
    return result;
}

} // namespace

std::string QuoteForMessage(const std::string& value)
{
    std::string out = "'";
    const auto escape = [&](unsigned char byte) {
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02X", byte);
        out += code;
    };
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        const auto next = [&](std::size_t k) { return i + k < value.size() ? static_cast<unsigned char>(value[i + k]) : 0; };
        // C1 controls (C2 80-9F) and the bidirectional controls
        // (E2 80 8E-8F, E2 80 AA-AE, E2 81 A6-A9) would act on a terminal.
        const bool c1 = byte == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F;
        const bool bidi = byte == 0xE2 && ((next(1) == 0x80 && ((next(2) >= 0xAA && next(2) <= 0xAE) ||
                                                                 next(2) == 0x8E || next(2) == 0x8F)) ||
                                           (next(1) == 0x81 && next(2) >= 0xA6 && next(2) <= 0xA9));
        if (c1 || bidi) {
            const std::size_t length = c1 ? 2 : 3;
            for (std::size_t k = 0; k < length; ++k)
                escape(static_cast<unsigned char>(value[i + k]));
            i += length - 1;
        } else if (byte < 0x20 || byte == 0x7F || byte == '\\' || byte == '\'') {
            escape(byte);
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
    out += "'";
    return out;
}

std::string UsageText()
{
    return "Usage: velmora [OPTION...] [--] [FOLDER...]\n"
           "Shows the given folders, or every local disk, as a tree of folders and files\n"
           "with their sizes, file counts and times, filled in while they are read.\n"
           "\n"
           "  --expand LEVELS     once the walk has ended, open the rows of the first\n"
           "                      LEVELS levels\n"
           "  --screenshot FILE   wait until the walk has ended, save a picture of the\n"
           "                      window to FILE (PNG) and quit; runs offscreen when\n"
           "                      there is no display\n"
           "  --export-pdf FILE   the same, saving the rows as a PDF file\n"
           "  --after SECONDS     with --screenshot or --export-pdf: save after SECONDS\n"
           "                      at the latest, even if the walk goes on\n"
           "  --treemap           show the treemap below the tree, as View > Treemap does;\n"
           "                      with --export-pdf it is the PDF's last page\n"
           "  --report-layout     once the walk has ended, print where the grid's body,\n"
           "                      header and columns lie on the screen (for scripts)\n"
           "  --settings FILE     keep the settings in FILE (INI) instead of the user's\n"
           "                      profile; --screenshot and --export-pdf use none\n"
           "                      without it\n"
           "  --exclude PATTERN   do not enter folders whose full path matches PATTERN\n"
           "                      ('*' within a name, '**' across folders, e.g.\n"
           "                      '**/node_modules'); may be repeated, adds to the\n"
           "                      settings' excluded folders\n"
           "  --export FILE       walk the FOLDERs (or every local disk) without a window\n"
           "                      and write the scan to FILE in the JSON export format\n"
           "                      ('-': standard output; gzip when FILE ends in .gz)\n"
           "  --import FILE       show the scan saved in FILE instead of walking (also\n"
           "                      given as a lone FILE.json or FILE.json.gz); with\n"
           "                      --export, convert it without a window\n"
           "  --help              show this help and quit\n"
           "  --version           show the version and quit\n"
           "  --                  every later argument is a folder\n"
           "\n"
           "Exit status: 0 on success, 1 when the picture, PDF or scan file cannot be\n"
           "written or a scan file cannot be read, 2 for a bad command line or a FOLDER\n"
           "that is not a folder.\n";
}

CommandLine ParseCommandLine(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i] ? argv[i] : "");
    return ParseCommandLine(arguments);
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine result;
    bool afterGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            result.roots.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" or "--name value".
        std::string name = argument;
        std::string value;
        bool inlineValue = false;
        if (const std::size_t equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            inlineValue = true;
        }
        // "-" names standard input or output where a scan file is asked.
        const bool dashIsValue = name == "--export" || name == "--import";
        const auto takeValue = [&](bool numeric) -> bool {
            if (inlineValue)
                return true;
            // A following option is not taken as the value: "--screenshot
            // --after 3" lacks its file name. A number's value may look like
            // one ("-3") and is then refused by name.
            if (i + 1 >= arguments.size())
                return false;
            const std::string& next = arguments[i + 1];
            const bool looksNumeric = next.size() > 1 && (std::isdigit(static_cast<unsigned char>(next[1])) || next[1] == '.');
            if (!next.empty() && next[0] == '-' && !(numeric && looksNumeric) && !(dashIsValue && next == "-"))
                return false;
            value = arguments[++i];
            return true;
        };
        if (name == "--help" || name == "-h") {
            if (inlineValue)
                return Failure("option '" + name + "' takes no value");
            result.action = CommandLine::ShowHelp;
            return result;
        }
        if (name == "--version") {
            if (inlineValue)
                return Failure("option '" + name + "' takes no value");
            result.action = CommandLine::ShowVersion;
            return result;
        }
        if (name == "--screenshot") {
            if (!takeValue(false) || value.empty())
                return Failure("option '--screenshot' needs a file name");
            result.screenshot = value;
            continue;
        }
        if (name == "--exclude") {
            if (!takeValue(false) || value.empty())
                return Failure("option '--exclude' needs a pattern");
            result.exclude.push_back(value);
            continue;
        }
        if (name == "--settings") {
            if (!takeValue(false) || value.empty())
                return Failure("option '--settings' needs a file name");
            result.settingsFile = value;
            continue;
        }
        if (name == "--report-layout" || name == "--treemap") {
            if (inlineValue)
                return Failure("option '" + name + "' takes no value");
            (name == "--treemap" ? result.treemap : result.reportLayout) = true;
            continue;
        }
        if (name == "--export-pdf") {
            if (!takeValue(false) || value.empty())
                return Failure("option '--export-pdf' needs a file name");
            result.exportPdf = value;
            continue;
        }
        if (name == "--export" || name == "--import") {
            if (!takeValue(false) || value.empty())
                return Failure("option '" + name + "' needs a file name ('-' for standard " +
                               (name == "--export" ? "output)" : "input)"));
            (name == "--export" ? result.exportScan : result.importScan) = value;
            continue;
        }
        if (name == "--expand") {
            if (!takeValue(true))
                return Failure("option '--expand' needs a number of levels");
            if (!ParseLevels(value, result.expandLevels))
                return Failure("option '--expand' needs a number of levels from 0 to 10000, not " +
                               QuoteForMessage(value));
            continue;
        }
        if (name == "--after") {
            if (!takeValue(true))
                return Failure("option '--after' needs a number of seconds");
            double seconds = 0;
            if (!ParseSeconds(value, seconds))
                return Failure("option '--after' needs a number of seconds above 0 and at most 1000000, not " +
                               QuoteForMessage(value));
            result.afterSeconds = seconds;
            afterGiven = true;
            continue;
        }
        return Failure("unknown option " + QuoteForMessage(name) + " (see 'velmora --help')");
    }
    if (afterGiven && !result.Quits())
        return Failure("option '--after' is only used with '--screenshot' or '--export-pdf'");
    if (!result.importScan.empty() && !result.roots.empty())
        return Failure("option '--import' shows a scan file: no FOLDER goes with it");
    if (!result.exportScan.empty() && (result.Quits() || result.reportLayout || result.treemap ||
                                       result.expandLevels >= 0 || !result.settingsFile.empty()))
        return Failure("option '--export' writes a scan file without a window: it takes no window option");
    return result;
}

std::vector<std::string> CheckRoots(std::vector<std::string>& roots)
{
    namespace fs = std::filesystem;
    std::vector<std::string> messages;
    for (std::string& root : roots) {
        if (root.empty()) {
            messages.push_back("'' is not a folder (an empty name)");
            continue;
        }
        // stat, not open: a FIFO given by mistake must not block the start.
        struct stat st {};
        if (stat(root.c_str(), &st) != 0) {
            const int error = errno;
            messages.push_back(QuoteForMessage(root) + ": " +
                               (error == ENOENT ? std::string("no such folder") : std::string(std::strerror(error))));
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            messages.push_back(QuoteForMessage(root) + " is not a folder");
            continue;
        }
        std::error_code error;
        fs::path path = fs::absolute(fs::path(root), error);
        if (!error) {
            const fs::path canonical = fs::weakly_canonical(path, error);
            if (!error)
                path = canonical;
        }
        if (!error)
            root = path.string();
    }
    return messages;
}

void TakeScanFileRoot(CommandLine& options)
{
    if (options.roots.size() != 1 || !options.importScan.empty())
        return;
    const std::string& root = options.roots[0];
    const auto endsWith = [&](const char* suffix) {
        const std::string tail(suffix);
        return root.size() > tail.size() && root.compare(root.size() - tail.size(), tail.size(), tail) == 0;
    };
    struct stat st {};
    if ((endsWith(".json") || endsWith(".json.gz")) && stat(root.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        options.importScan = root;
        options.roots.clear();
    }
}

std::string WhyNotWritable(const std::string& file)
{
    namespace fs = std::filesystem;
    if (file.empty())
        return "an empty name";
    struct stat st {};
    if (stat(file.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return "it is a folder";
        if (access(file.c_str(), W_OK) != 0)
            return std::strerror(errno);
        return {};
    }
    if (errno != ENOENT) {
        // ENOTDIR: a part of the path on the way is a file.
        if (errno != ENOTDIR)
            return std::strerror(errno);
    }
    fs::path folder = fs::path(file).parent_path();
    if (folder.empty())
        folder = ".";
    if (stat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return "no such folder " + QuoteForMessage(folder.string());
        if (errno == ENOTDIR)
            return QuoteForMessage(folder.string()) + " is not a folder";
        return std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode))
        return QuoteForMessage(folder.string()) + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write in " + QuoteForMessage(folder.string()) + ": " + std::strerror(errno);
    return {};
}

} // namespace Velmora
