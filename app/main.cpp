// Velmora start-up.
//
//   velmora [--expand LEVELS] [--screenshot FILE] [--export-pdf FILE]
//           [--after SECONDS] [--report-layout] [--settings FILE] [--] [FOLDER...]
//   velmora [OPTION...] --import FILE | FILE.json | FILE.json.gz
//   velmora --export FILE [FOLDER...] | --import FILE --export FILE
//   velmora --help | --version
//
// FOLDERs are shown as the roots instead of the machine's disks. The command
// line is read and the folders checked before Qt starts, so a bad one gets
// its message and exit code 2 without a window (and without a display).
// Every bad folder is named; none is shown then, so a typo never looks like
// a plausible, smaller result. --screenshot and --export-pdf wait until the
// walk has ended (or the given time), expand the first levels, sort by size,
// save a picture of the main window or a PDF of the rows and quit; without a
// display they run offscreen. --expand alone opens the first levels once the
// walk has ended. --report-layout prints, once the walk has ended, where the
// grid's body, header and columns lie on the screen, for scripts that drive
// the window with synthetic input (scripts/drive-velmora.sh). --export
// writes a scan file and quits before Qt is started: it needs no display.
#include <QApplication>
#include <QSettings>
#include <cstdio>
#include <cstdlib>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/LocalFileSystem.h"
#include "app/MainFrame.h"
#include "app/treemap/TreemapLink.h"
#include "app/VelmoraDoc.h"
#include "app/scanfile/ExportCommand.h"

using namespace Velmora;

int main(int argc, char** argv)
{
    CommandLine options = ParseCommandLine(argc, argv);
    switch (options.action) {
    case CommandLine::ShowHelp:
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    case CommandLine::ShowVersion:
        std::printf("%s\n", kVersionText);
        return 0;
    case CommandLine::Fail:
        std::fprintf(stderr, "velmora: %s\n", options.error.c_str());
        return kUsageExitCode;
    case CommandLine::Run: break;
    }
    TakeScanFileRoot(options);
    const std::vector<std::string> badRoots = CheckRoots(options.roots);
    for (const std::string& message : badRoots)
        std::fprintf(stderr, "velmora: %s\n", message.c_str());
    if (!badRoots.empty())
        return kUsageExitCode;
    // A file that cannot be written is named with its reason now, not after
    // the walk.
    for (const std::string* output : {&options.exportPdf, &options.screenshot}) {
        if (output->empty())
            continue;
        const std::string why = WhyNotWritable(*output);
        if (!why.empty()) {
            std::fprintf(stderr, "velmora: cannot write %s: %s\n", QuoteForMessage(*output).c_str(), why.c_str());
            return kCannotWriteExitCode;
        }
    }

    if (!options.exportScan.empty()) {
        CLocalFileSystem fileSystem;
        return ScanFile::RunExportCommand(options.exportScan, options.importScan, options.roots, fileSystem,
                                          CExcludePatterns(options.exclude));
    }

    if (options.Quits() && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // Qt sees no arguments: a folder named like one of its options ("-style")
    // stays a folder.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    SetUpApplication();
    // The settings of the user's profile; unattended saves use none, so
    // their pictures do not depend on what a user arranged.
    std::unique_ptr<QSettings> settings;
    if (!options.settingsFile.empty())
        settings = std::make_unique<QSettings>(QString::fromLocal8Bit(options.settingsFile.c_str()), QSettings::IniFormat);
    else if (!options.Quits())
        settings = std::make_unique<QSettings>(kSettingsOrganization, "Velmora");
    const bool stored = settings && settings->contains("geometry");
    auto document = std::make_unique<CVelmoraDoc>(options.roots);
    document->SetCommandLineExcludes(options.exclude);
    if (!options.importScan.empty()) {
        document->ShowScanFile(options.importScan);
        document->Renew();
    }
    CMainFrame frame(std::move(document), std::move(settings));
    if (!stored)
        frame.resize(CMainFrame::kDefaultSize);
    if (options.treemap)
        frame.TreemapLink().Show(true);
    frame.show();
    if (options.Quits() || options.expandLevels >= 0)
        new CScreenshot(frame, QString::fromLocal8Bit(options.screenshot.c_str()), options.afterSeconds,
                        QString::fromLocal8Bit(options.exportPdf.c_str()), options.expandLevels);
    if (options.reportLayout)
        ReportLayoutWhenShown(frame);
    const int result = app.exec();
    frame.Shutdown();
    return result;
}
