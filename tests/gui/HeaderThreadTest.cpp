// A worker changes widths and visibility while the main thread reads the
// geometry; run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "gui/header/Header.h"

using namespace Kestrum::GUI;

namespace {
struct CCountingRecorder : CHeader::INotify {
    std::atomic<int> notices{0};
    void OnHeaderChanged(CHeader* header, CColumn*, std::int32_t) override
    {
        ++notices;
        (void)header->GetScrollableWidth(); // subscribers may call back in
    }
};
struct CScroll : IScrollPositionSource {
    std::atomic<int> position{0};
    bool GetHorizontalScrollPosition(int& out) const override
    {
        out = position;
        return true;
    }
};
} // namespace

TEST(HeaderThreads, WidthsAndVisibilityChangeWhileGeometryIsRead)
{
    CHeader header(false);
    for (int id = 0; id < 8; ++id)
        header.AddColumn(new CColumn(id, "c", 50 + id, AlignLeft, false, -1, -1, nullptr, nullptr, nullptr, ""));
    header.SetFixedColumnCount(2);
    CCountingRecorder recorder;
    header.AddNotify(&recorder);
    CScroll scroll;

    std::atomic<bool> done{false};
    std::thread worker([&] {
        unsigned step = 0;
        while (!done) {
            CColumn* column = header.GetColumnAt(static_cast<int>(step % 8));
            if (step % 3 == 0)
                header.HideColumn(column->GetFieldId());
            else if (step % 3 == 1)
                header.ShowColumn(column->GetFieldId());
            else
                column->SetWidth(static_cast<int>(20 + step % 200));
            ++step;
        }
    });

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    long reads = 0;
    while (std::chrono::steady_clock::now() < end) {
        scroll.position = static_cast<int>(reads % 300);
        const int total = header.GetFixedWidth() + header.GetScrollableWidth();
        EXPECT_GE(total, 0);
        for (int x = 0; x < 600; x += 37)
            (void)header.HitTestColumn(&scroll, x, 0);
        for (CColumn* column : header.GetVisibleColumns())
            (void)header.GetClippedColumnRect(&scroll, column->GetFieldId());
        ++reads;
    }
    done = true;
    worker.join();
    EXPECT_GT(reads, 100);
    EXPECT_GT(recorder.notices.load(), 100);
    header.RemoveNotify(&recorder);
}
