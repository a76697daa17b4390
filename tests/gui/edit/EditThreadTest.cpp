// An open edit while a worker thread changes, removes or destroys the object
// being edited: the edit survives changes and writes what was typed; when the
// row or the object goes, the edit ends and nothing is written to the object.
// Run under ASan and TSan in CI (label "threaded").
#include <atomic>
#include <future>
#include <thread>

#include "tests/gui/edit/EditFixture.h"

using namespace Kestrum::GUI;
using namespace Kestrum::Test;
namespace Common = Kestrum::Common;

namespace {

// Counts the writes that reach it once its rows are gone (the disposal has
// been told), which is when the grid must have let go of it.
class CWatchedObject final : public CDynamicObject {
public:
    CWatchedObject() : CDynamicObject(true) {}
    ~CWatchedObject() override
    {
        NotifyDispose(); // the rows go while the object is still whole
        dying = true;
    }
    bool SetValue(Common::FieldId id, const Common::CValue& value) override
    {
        if (dying)
            ++writesWhileDying;
        return CDynamicObject::SetValue(id, value);
    }
    bool SetValueText(Common::FieldId id, const std::string& text, Common::CFormat* format) override
    {
        if (dying)
            ++writesWhileDying;
        return CDynamicObject::SetValueText(id, text, format);
    }

    std::atomic<bool> dying{false};
    static inline std::atomic<int> writesWhileDying{0};
};

struct EditThreads : EditGrid {
    HITEM AddWatched(std::unique_ptr<CWatchedObject>& holder)
    {
        holder = std::make_unique<CWatchedObject>();
        holder->SetStlString(kText, "watched");
        holder->SetLong(kLong, 0);
        const HITEM item = grid.Add(holder.get());
        grid.SetRowHeight(item, kEditRowHeight);
        return item;
    }
    template <class Future> bool Finished(Future& future)
    {
        return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
};

TEST_F(EditThreads, AWorkerChangingTheEditedObjectLeavesTheEditOpenAndWhatWasTypedIsWritten)
{
    AddRows(5);
    ASSERT_NE(OpenText(2, kText), nullptr);
    CDynamicObject& edited = Object(2);
    std::atomic<bool> stop{false};
    auto worker = std::async(std::launch::async, [&] {
        for (int i = 0; i < 3000 && !stop; ++i) {
            edited.SetLong(kLong, i);
            edited.SetStlString(kText, "worker " + std::to_string(i));
            if (i % 100 == 0)
                grid.GetEditItem(); // a foreign call while the edit is open
        }
    });
    for (const char* part : {"typed", " while", " busy"}) {
        Type(part);
        Pump(5);
    }
    ASSERT_TRUE(PumpUntil([&] { return Finished(worker); }));
    stop = true;
    worker.get();
    ASSERT_TRUE(Editing(2, kText)) << "a change of the object does not end its edit";
    Key(Qt::Key_Return);
    EXPECT_EQ(edited.GetStlString(kText), "typed while busy");
    EXPECT_EQ(edited.GetLong(kLong), 2999);
}

TEST_F(EditThreads, AWorkerDestroyingTheEditedObjectEndsTheEditWithoutWritingToIt)
{
    AddRows(2);
    std::unique_ptr<CWatchedObject> watched;
    const HITEM item = AddWatched(watched);
    ASSERT_TRUE(grid.BeginEditCell(item, kText, EditStartDoubleClick));
    Type("never written");
    CWatchedObject::writesWhileDying = 0;
    auto worker = std::async(std::launch::async, [&] { watched.reset(); });
    ASSERT_TRUE(PumpUntil([&] { return Finished(worker); }));
    worker.get();
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(grid.GetEditControl(), nullptr);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 2);
    EXPECT_EQ(CWatchedObject::writesWhileDying, 0);
}

TEST_F(EditThreads, AWorkerDestroyingTheObjectWhileItsEndIsPostedDoesNotWriteAfterItWent)
{
    std::unique_ptr<CWatchedObject> watched;
    const HITEM item = AddWatched(watched);
    ASSERT_TRUE(grid.BeginEditCell(item, kText, EditStartDoubleClick));
    QWidget* control = grid.GetEditControl();
    ASSERT_NE(control, nullptr);
    QTest::keyClicks(control, "late");
    QTest::keyClick(control, Qt::Key_Return); // the end, with its write, is posted
    auto worker = std::async(std::launch::async, [&] { watched.reset(); });
    ASSERT_TRUE(PumpUntil([&] { return Finished(worker); }));
    worker.get();
    Pump();
    // Whichever came first, the write (to a whole object) or the removal,
    // nothing touched the object after it went (ASan watches).
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 0);
}

TEST_F(EditThreads, AWorkerRemovingTheEditedRowEndsTheEdit)
{
    AddRows(3);
    ASSERT_NE(OpenText(1, kText), nullptr);
    Type("gone");
    const HITEM item = Row(1);
    auto worker = std::async(std::launch::async, [&] { return grid.Remove(item); });
    ASSERT_TRUE(PumpUntil([&] { return Finished(worker); }));
    EXPECT_TRUE(worker.get());
    Pump();
    EXPECT_EQ(grid.GetEditItem(), 0u);
    EXPECT_EQ(Object(1).GetStlString(kText), "row 1");
}

TEST_F(EditThreads, EditsHopWhileAWorkerChangesAndDestroysRows)
{
    AddRows(12);
    std::vector<std::unique_ptr<CWatchedObject>> doomed(6);
    for (auto& holder : doomed)
        AddWatched(holder);
    CWatchedObject::writesWhileDying = 0;
    std::atomic<bool> stop{false};
    auto worker = std::async(std::launch::async, [&] {
        for (std::size_t i = 0; i < doomed.size() && !stop; ++i) {
            for (int j = 0; j < 200; ++j)
                doomed[i]->SetLong(kLong, j);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            doomed[i].reset();
        }
    });
    // Down through the rows with an editor open the whole time.
    ASSERT_NE(OpenText(0, kText), nullptr);
    while (!Finished(worker)) {
        if (!grid.GetEditItem())
            grid.BeginEditCell(Row(0), kText, EditStartDoubleClick);
        Key(Qt::Key_Down);
        Pump(2);
    }
    stop = true;
    worker.get();
    Pump();
    EXPECT_EQ(grid.GetRowCount(AreaScrollable), 12);
    EXPECT_EQ(CWatchedObject::writesWhileDying, 0);
}

} // namespace
