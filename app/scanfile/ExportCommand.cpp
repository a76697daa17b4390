#include "app/scanfile/ExportCommand.h"

#include <csignal>
#include <cstdio>
#include <ctime>

#include "app/CommandLine.h"
#include "app/scanfile/ScanExport.h"
#include "app/scanfile/ScanJsonReader.h"
#include "app/scanfile/ScanJsonWriter.h"

namespace Velmora::ScanFile {

namespace {
void Say(const std::string& line) { std::fprintf(stderr, "velmora: %s\n", line.c_str()); }
} // namespace

int RunExportCommand(const std::string& output, const std::string& input, const std::vector<std::string>& roots,
                     IScanFileSystem& fileSystem, const CExcludePatterns& exclude)
{
    // A closed pipe ("velmora --export - | head") is a write error, not a
    // silent death.
    std::signal(SIGPIPE, SIG_IGN);
    std::string why;
    std::unique_ptr<CInput> source;
    if (!input.empty()) {
        source = CInput::Open(input, why);
        if (!source) {
            Say("cannot open " + QuoteForMessage(input) + ": " + why);
            return 1;
        }
    }
    std::unique_ptr<COutput> target = COutput::Open(output, why);
    if (!target) {
        Say("cannot write " + QuoteForMessage(output) + ": " + why);
        return 1;
    }
    CScanJsonWriter writer(*target, static_cast<std::int64_t>(std::time(nullptr)));
    bool read = true;
    if (source) {
        // A conversion streams: every record read is written at once.
        const ReadOutcome outcome = ReadScan(*source, writer);
        if (!outcome.ok && !writer.Failed()) {
            Say("cannot read " + QuoteForMessage(input) + ": " + outcome.error);
            read = false;
        }
    } else {
        std::vector<std::string> walked = roots;
        if (walked.empty())
            for (const MountEntry& mount : SelectDrives(ParseMountTable(fileSystem.ReadMountTable())))
                walked.push_back(mount.path);
        ExportWalk(walked, fileSystem, writer, {}, nullptr, exclude);
    }
    const bool written = writer.Finish() & target->Close(why);
    if (!written) {
        Say("cannot write " + QuoteForMessage(output) + ": " + (why.empty() ? std::string("the writing failed") : why));
        return 1;
    }
    return read ? 0 : 1;
}

} // namespace Velmora::ScanFile
