// Velmora's scan files from the window and the command line: Open folder
// (Ctrl+O through its dialog), Save scan and Open scan against the walk,
// a bad file's message with no rows, a refresh of an imported folder, and
// --export / --import run with no display at all.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "TempTree.h"
#include "app/MainFrame.h"
#include "app/ScanCommands.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "app/scanfile/ScanTree.h"
#include "gui/grid/Grid.h"
#include "tests/support/EventPump.h"

using namespace Velmora;
using namespace Kestrum::GUI;
using Kestrum::Test::PumpUntil;
using Velmora::Test::CTempTree;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<CMainFrame> OpenFrame(const fs::path& root)
{
    auto frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(std::vector<std::string>{root.string()}));
    frame->show();
    return frame;
}

bool WaitIdle(CMainFrame& frame)
{
    const bool idle = PumpUntil([&] { return frame.View().IsIdle(); }, 60);
    QCoreApplication::processEvents();
    return idle;
}

struct Totals {
    std::int64_t size = 0, onDisk = 0, files = 0, folders = 0;
    std::size_t rows = 0;
    bool operator==(const Totals&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Totals& t)
{
    return out << t.size << " B, " << t.onDisk << " B on disk, " << t.files << " files, " << t.folders << " folders, "
               << t.rows << " rows";
}

Totals TotalsOf(CMainFrame& frame)
{
    Totals totals;
    for (CFolderData* drive : frame.Document().Scanner().GetDrives()) {
        totals.size += drive->GetSize();
        totals.onDisk += drive->GetSizeOnDisk();
        totals.files += drive->GetFilesCount();
        std::vector<CFolderData*> stack{drive};
        while (!stack.empty()) {
            CFolderData* folder = stack.back();
            stack.pop_back();
            ++totals.folders;
            for (CFolderData* child : folder->GetFolders())
                stack.push_back(child);
        }
    }
    std::vector<HITEM> items;
    frame.View().Grid().GetAllItems(MaskBoth, items);
    totals.rows = items.size();
    return totals;
}

void MakeTree(const CTempTree& tree)
{
    tree.File("docs/a.txt", 1000);
    tree.File("docs/deep/b.bin", 5000);
    tree.File("music/c.ogg", 300);
    tree.File(std::string("odd \"name\"\x01"), 7);
    fs::create_hard_link(tree.Root() / "docs/a.txt", tree.Root() / "music/a-link");
}

QMessageBox* ShownBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    return nullptr;
}

void CloseBoxes()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget))
            box->close();
    QCoreApplication::processEvents();
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

// Ctrl+O opens the folder chooser; the folder chosen replaces what is shown
// and names the window.
TEST(VelmoraScanFile, OpenFolderByItsShortcutShowsAWalkOfTheChosenFolder)
{
    CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root() / "music");
    ASSERT_TRUE(WaitIdle(*frame));
    frame->UpdateStatus();
    EXPECT_EQ(frame->windowTitle(), "Kestrum - Velmora");
    const QString chosen = QString::fromStdString((tree.Root() / "docs").string());
    bool answered = false;
    QTimer::singleShot(0, [&] {
        PumpUntil([&] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; }, 10);
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->setDirectory(chosen);
            dialog->selectFile(chosen);
            QMetaObject::invokeMethod(dialog, "accept");
            answered = true;
        }
    });
    frame->activateWindow();
    QTest::keyClick(frame.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(answered);
    ASSERT_TRUE(PumpUntil([&] { return !frame->Document().Scanner().GetDrives().empty() &&
                                       frame->Document().Scanner().GetDrives()[0]->GetName().ToStdString() ==
                                           chosen.toStdString(); }, 10));
    ASSERT_TRUE(WaitIdle(*frame));
    frame->UpdateStatus();
    EXPECT_EQ(frame->windowTitle(), "docs - Velmora");
    EXPECT_EQ(TotalsOf(*frame), (Totals{6000, TotalsOf(*frame).onDisk, 2, 2, 4}));
}

// A scan saved from the window (plain and gzip) opens with the totals,
// rows and title of what was walked.
TEST(VelmoraScanFile, SavedScanOpensWithTheTotalsOfTheWalk)
{
    CTempTree tree;
    MakeTree(tree);
    CTempTree files;
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    const Totals walked = TotalsOf(*frame);
    for (const char* name : {"saved.json", "saved.json.gz"}) {
        SCOPED_TRACE(name);
        const QString file = QString::fromStdString((files.Root() / name).string());
        QString why;
        ASSERT_TRUE(frame->ScanCommands().SaveScan(file, &why)) << why.toStdString();
        ASSERT_TRUE(frame->ScanCommands().OpenScan(file));
        ASSERT_TRUE(WaitIdle(*frame));
        frame->UpdateStatus();
        EXPECT_EQ(TotalsOf(*frame), walked);
        EXPECT_EQ(frame->windowTitle(), QString(name) + " - Velmora");
        EXPECT_TRUE(frame->ScanCommands().LastError().isEmpty()) << frame->ScanCommands().LastError().toStdString();
    }
    // Saving the imported tree writes what was read.
    const fs::path again = files.Root() / "again.json";
    ASSERT_TRUE(frame->ScanCommands().SaveScan(QString::fromStdString(again.string())));
    const std::string first = ReadAll(files.Root() / "saved.json");
    const std::string second = ReadAll(again);
    EXPECT_EQ(first.substr(first.find('\n')), second.substr(second.find('\n')));
}

// A file that is not a scan: its reason in a box, and no rows of it.
TEST(VelmoraScanFile, ABadScanFileShowsItsReasonAndNoRows)
{
    CTempTree tree;
    MakeTree(tree);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    const fs::path bad = tree.Root() / "cut.json";
    std::ofstream(bad) << "[1,2,{},\n[{\"name\":\"/x\"},{\"name\":\"a\",\"asize\":1},[{\"name\":\"b\"}";
    ASSERT_TRUE(frame->ScanCommands().OpenScan(QString::fromStdString(bad.string())));
    ASSERT_TRUE(WaitIdle(*frame));
    ASSERT_TRUE(PumpUntil([&] { return ShownBox() != nullptr; }, 10));
    EXPECT_TRUE(ShownBox()->text().contains("ends too early")) << ShownBox()->text().toStdString();
    EXPECT_EQ(TotalsOf(*frame).rows, 0u);
    CloseBoxes();
}

// Esc stops the reading of a scan file: what was read stays, the status bar
// says so. (The window's feed holds at most 16,384 rows, so the reader
// waits for the window long before it could reach the end.)
TEST(VelmoraScanFile, EscStopsTheReadingOfAScanFile)
{
    CTempTree tree;
    tree.File("x", 1);
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    const fs::path big = tree.Root() / "big.json";
    constexpr int kFiles = 200000;
    {
        std::ofstream out(big, std::ios::binary);
        out << "[1,2,{},\n[{\"name\":\"/big\"}";
        for (int i = 0; i < kFiles; ++i)
            out << ",\n{\"name\":\"f" << i << "\",\"asize\":1}";
        out << "]]";
    }
    ASSERT_TRUE(frame->ScanCommands().OpenScan(QString::fromStdString(big.string())));
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    ASSERT_TRUE(WaitIdle(*frame));
    ASSERT_NE(frame->Document().ScanFileImport(), nullptr);
    EXPECT_TRUE(frame->Document().ScanFileImport()->Outcome().stopped);
    const Totals shown = TotalsOf(*frame);
    EXPECT_LT(shown.files, kFiles);
    EXPECT_TRUE(ShownBox() == nullptr);
}

// Refresh on a folder read from a scan file walks it only where it exists
// here and once the user agreed.
TEST(VelmoraScanFile, RefreshOfAnImportedFolderAsksOrSaysWhyNot)
{
    CTempTree tree;
    MakeTree(tree);
    CTempTree files;
    auto frame = OpenFrame(tree.Root());
    ASSERT_TRUE(WaitIdle(*frame));
    const fs::path here = files.Root() / "here.json";
    ASSERT_TRUE(frame->ScanCommands().SaveScan(QString::fromStdString(here.string())));
    const fs::path elsewhere = files.Root() / "elsewhere.json";
    {
        std::string text = ReadAll(here);
        const std::string root = tree.Root().string();
        text.replace(text.find(root), root.size(), "/nonexistent-velmora/host");
        std::ofstream(elsewhere, std::ios::binary) << text;
    }
    QStringList asked;
    bool agree = false;
    frame->ScanCommands().confirm = [&](const QString& question) {
        asked << question;
        return agree;
    };
    // Not on this machine: said, not asked.
    ASSERT_TRUE(frame->ScanCommands().OpenScan(QString::fromStdString(elsewhere.string())));
    ASSERT_TRUE(WaitIdle(*frame));
    CFolderData* root = frame->Document().Scanner().GetDrives().at(0);
    EXPECT_FALSE(frame->RefreshObject(root));
    ASSERT_TRUE(ShownBox());
    EXPECT_TRUE(ShownBox()->text().contains("cannot be walked")) << ShownBox()->text().toStdString();
    EXPECT_TRUE(asked.isEmpty());
    CloseBoxes();
    // Here: asked; refused, then agreed.
    ASSERT_TRUE(frame->ScanCommands().OpenScan(QString::fromStdString(here.string())));
    ASSERT_TRUE(WaitIdle(*frame));
    tree.File("docs/new.txt", 40);
    root = frame->Document().Scanner().GetDrives().at(0);
    EXPECT_FALSE(frame->RefreshObject(root));
    EXPECT_EQ(asked.size(), 1);
    agree = true;
    ASSERT_TRUE(frame->RefreshObject(root));
    ASSERT_TRUE(WaitIdle(*frame));
    EXPECT_EQ(root->GetSize(), 1000 + 5000 + 300 + 7 + 1000 + 40);
}

namespace {
struct ProgramRun {
    int exitCode;
    QByteArray out;
    QString err;
};

// The program without any display: no DISPLAY, no WAYLAND_DISPLAY, no
// platform asked for.
ProgramRun RunHeadless(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    process.setProcessEnvironment(environment);
    process.start(VELMORA_BINARY, arguments);
    process.waitForStarted();
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            QString::fromLocal8Bit(process.readAllStandardError())};
}
} // namespace

// --export walks without a display, to a file, to standard output and
// compressed; --import --export converts; a bad file is named with its
// reason and exit code 1.
TEST(VelmoraScanFile, ExportAndConversionRunWithoutADisplay)
{
    CTempTree tree;
    MakeTree(tree);
    CTempTree files;
    const QString root = QString::fromStdString(tree.Root().string());
    const QString plain = QString::fromStdString((files.Root() / "scan.json").string());
    const QString packed = QString::fromStdString((files.Root() / "scan.json.gz").string());
    const QString converted = QString::fromStdString((files.Root() / "converted.json").string());

    ProgramRun run = RunHeadless({"--export", plain, root});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const std::string written = ReadAll(plain.toStdString());
    EXPECT_EQ(written.rfind("[1,2,{\"progname\":\"velmora\"", 0), 0u) << written;
    EXPECT_NE(written.find("{\"name\":\"odd \\\"name\\\"\\u0001\",\"asize\":7"), std::string::npos) << written;

    run = RunHeadless({"--export", "-", root});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.mid(run.out.indexOf('\n')).toStdString(), written.substr(written.find('\n')));

    run = RunHeadless({"--export", packed, root});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(ReadAll(packed.toStdString()).substr(0, 2), "\x1f\x8b");

    for (const QStringList& arguments : {QStringList{"--import", packed, "--export", converted},
                                         QStringList{"--import", "-", "--export", converted}}) {
        run = RunHeadless(arguments, QByteArray::fromStdString(written));
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const std::string again = ReadAll(converted.toStdString());
        EXPECT_EQ(again.substr(again.find('\n')), written.substr(written.find('\n')));
    }

    const std::string cut = written.substr(0, written.size() / 2);
    run = RunHeadless({"--import", "-", "--export", converted}, QByteArray::fromStdString(cut));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith("velmora: cannot read '-': at byte ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("ends too early")) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();

    run = RunHeadless({"--export", "/nonexistent-velmora/x.json", root});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("cannot write '/nonexistent-velmora/x.json'")) << run.err.toStdString();
}

// --export with --exclude: the matching folder is written as the format marks
// a folder left out by a pattern, with nothing of what it holds.
TEST(VelmoraScanFile, ExportWritesAnExcludedFolderAsAPatternExclusionWithoutItsContents)
{
    CTempTree tree;
    MakeTree(tree);
    const ProgramRun run =
        RunHeadless({"--export", "-", "--exclude", "**/deep", QString::fromStdString(tree.Root().string())});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const std::string written = run.out.toStdString();
    EXPECT_TRUE(std::regex_search(written, std::regex(R"(\[\{"name":"deep"(,"[a-z]+":[0-9]+)*,"excluded":"pattern"\}\])")))
        << written;
    EXPECT_EQ(written.find("b.bin"), std::string::npos) << written;
    EXPECT_NE(written.find("{\"name\":\"a.txt\""), std::string::npos) << written;
}
