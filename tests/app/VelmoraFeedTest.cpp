// Velmora's row feed between the scanner thread and the window: a scanner
// ahead of the window waits on a full feed, every row still arrives in
// order, and closing while the scanner waits is quick.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "app/MainFrame.h"
#include "app/VelmoraDoc.h"
#include "app/VelmoraView.h"
#include "gui/grid/Grid.h"

#include "tests/support/EventPump.h"

using namespace Velmora;
using namespace Kestrum::GUI;

namespace {
using Kestrum::Test::PumpUntil;
} // namespace

namespace {
// One folder of numbered files, announced with random pauses of up to
// `maxPause` microseconds between them; nothing on disk.
class CGeneratedFileSystem : public IScanFileSystem {
public:
    CGeneratedFileSystem(std::string folder, int files, unsigned maxPause)
        : m_folder(std::move(folder)), m_files(files), m_maxPause(maxPause)
    {
    }
    std::string ReadMountTable() override { return {}; }
    std::uint64_t MountOf(const std::string&) override { return 0; }
    bool ListFolder(const std::string& path, std::uint64_t, const std::function<bool()>&,
                    const std::function<bool(const ScanEntry&)>& onEntry) override
    {
        if (path != m_folder)
            return true;
        std::mt19937 random(11);
        for (int i = 0; i < m_files; ++i) {
            ScanEntry entry;
            entry.name = "file " + std::to_string(i);
            entry.size = i;
            if (!onEntry(entry))
                break;
            if (m_maxPause > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(random() % m_maxPause));
        }
        return true;
    }

private:
    std::string m_folder;
    int m_files;
    unsigned m_maxPause;
};

// More files than the view's feed holds, announced without pause.
class CCrowdedFileSystem : public CGeneratedFileSystem {
public:
    static constexpr int kFiles = 100000;
    CCrowdedFileSystem() : CGeneratedFileSystem("/crowded", kFiles, 0) {}
};

// Pauses around the window's look-again interval.
class CPacedFileSystem : public CGeneratedFileSystem {
public:
    static constexpr int kFiles = 300;
    CPacedFileSystem() : CGeneratedFileSystem("/paced", kFiles, 4000) {}
};
} // namespace

TEST(VelmoraFeed, AScannerAheadOfTheWindowWaitsAndEveryRowStillArrivesInOrder)
{
    CMainFrame frame(std::make_unique<CVelmoraDoc>(std::vector<std::string>{"/crowded"},
                                                   std::make_shared<CCrowdedFileSystem>()));
    // Velmora starts sorted by size; without a sort the rows keep the order
    // in which they were announced, which is what this test looks at.
    frame.View().Grid().ClearSort(false);
    frame.show();
    // The GUI thread does not look for a while: the scanner fills the feed
    // and then waits instead of piling up rows.
    const auto files = [&] { return frame.View().Progress().files.load(); };
    std::int64_t seen = -1;
    for (int i = 0; i < 100 && files() != seen; ++i) {
        seen = files();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    EXPECT_LT(files(), CCrowdedFileSystem::kFiles);
    EXPECT_FALSE(frame.Document().Scanner().IsFinished());
    PumpUntil([&] { return frame.Document().Scanner().IsFinished(); }, 60);
    CGrid& grid = frame.View().Grid();
    PumpUntil([&] {
        const HITEM root = grid.GetItemAt(0, AreaScrollable);
        std::vector<HITEM> children;
        if (root)
            grid.GetChildren(root, children, false);
        return children.size() == static_cast<std::size_t>(CCrowdedFileSystem::kFiles);
    }, 60);
    const HITEM root = grid.GetItemAt(0, AreaScrollable);
    std::vector<HITEM> children;
    grid.GetChildren(root, children, false);
    ASSERT_EQ(children.size(), static_cast<std::size_t>(CCrowdedFileSystem::kFiles));
    // The rows stand in announcement order, none missing.
    for (std::size_t i = 0; i < children.size(); ++i)
        ASSERT_EQ(grid.GetObject(children[i])->GetInt64(FIELD_SIZE), static_cast<std::int64_t>(i));
}

TEST(VelmoraFeed, EntriesWithPausesBetweenThemAllGetRows)
{
    // An entry fed just as the window counts the feed idle must still wake it.
    CMainFrame frame(std::make_unique<CVelmoraDoc>(std::vector<std::string>{"/paced"},
                                                   std::make_shared<CPacedFileSystem>()));
    frame.show();
    CGrid& grid = frame.View().Grid();
    const auto rows = [&] {
        const HITEM root = grid.GetItemAt(0, AreaScrollable);
        std::vector<HITEM> children;
        if (root)
            grid.GetChildren(root, children, false);
        return children.size();
    };
    PumpUntil([&] { return frame.Document().Scanner().IsFinished() && !frame.View().HasWaitingRows(); }, 60);
    EXPECT_TRUE(frame.Document().Scanner().IsFinished());
    EXPECT_FALSE(frame.View().HasWaitingRows());
    EXPECT_EQ(rows(), static_cast<std::size_t>(CPacedFileSystem::kFiles));
}

TEST(VelmoraFeed, ClosingWhileTheScannerWaitsOnAFullFeedIsQuick)
{
    auto frame = std::make_unique<CMainFrame>(std::make_unique<CVelmoraDoc>(
        std::vector<std::string>{"/crowded"}, std::make_shared<CCrowdedFileSystem>()));
    frame->show();
    std::int64_t seen = -1;
    for (int i = 0; i < 100 && frame->View().Progress().files.load() != seen; ++i) {
        seen = frame->View().Progress().files.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    ASSERT_FALSE(frame->Document().Scanner().IsFinished());
    const auto start = std::chrono::steady_clock::now();
    frame->close();
    frame.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}
