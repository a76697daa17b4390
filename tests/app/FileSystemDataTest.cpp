#include <gtest/gtest.h>

#include <memory>

#include "app/FileSystemData.h"
#include "common/Format.h"

using namespace Velmora;
using namespace Kestrum::Common;

namespace {
struct CLogSink : CDataObject::ISink {
    std::vector<std::pair<std::string, FieldId>>* log = nullptr;
    void OnFieldChanged(FieldId id, CDataObject* object) override
    {
        log->emplace_back(static_cast<CFolderData*>(object)->GetName().ToStdString(), id);
    }
};

CFileData* File(const char* name, CFolderData* parent, std::int64_t size)
{
    return new CFileData(CString(name), parent, size, 1, 2, 3);
}
} // namespace

TEST(CFolderData, EmptyDriveHasZeroTotalsAndItsNameAsFullName)
{
    CFolderData drive(CString("/data"), nullptr);
    EXPECT_EQ(drive.GetSize(), 0);
    EXPECT_EQ(drive.GetFilesCount(), 0);
    EXPECT_EQ(drive.GetFullName(), CString("/data"));
    EXPECT_EQ(drive.GetLong(FIELD_TYPE), TYPE_FOLDER);
}

TEST(CFolderData, TotalsCoverTheSubtree)
{
    CFolderData drive(CString("/"), nullptr);
    drive.AddFile(File("a", &drive, 100));
    auto* sub = new CFolderData(CString("sub"), &drive);
    drive.AddFolder(sub);
    sub->AddFile(File("b", sub, 50));
    sub->AddFile(File("c", sub, 50));
    EXPECT_EQ(drive.GetSize(), 200);
    EXPECT_EQ(drive.GetFilesCount(), 3);
    EXPECT_EQ(drive.GetInt64(FIELD_SIZE), 200);
    EXPECT_EQ(drive.GetLong(FIELD_FILES_COUNT), 3);
    EXPECT_EQ(sub->GetFullName(), CString("/sub"));
    EXPECT_EQ(sub->GetFiles()[0]->GetFullName(), CString("/sub/b"));
    EXPECT_EQ(drive.GetDirectFilesSize(), 100);
}

TEST(CFolderData, FolderFilledBeforeItIsAddedCountsOnce)
{
    CFolderData drive(CString("/d"), nullptr);
    auto* sub = new CFolderData(CString("s"), &drive);
    sub->AddFile(File("f", sub, 7));
    drive.AddFolder(sub);
    EXPECT_EQ(drive.GetSize(), 7);
    sub->AddFile(File("g", sub, 3));
    EXPECT_EQ(drive.GetSize(), 10);
    EXPECT_EQ(drive.GetFilesCount(), 2);
}

TEST(CFolderData, FiveGibFileReachesEveryAncestor)
{
    const std::int64_t fiveGib = 5LL << 30;
    CFolderData drive(CString("/"), nullptr);
    auto* a = new CFolderData(CString("a"), &drive);
    drive.AddFolder(a);
    auto* b = new CFolderData(CString("b"), a);
    a->AddFolder(b);
    b->AddFile(File("big", b, fiveGib));
    EXPECT_EQ(b->GetSize(), fiveGib);
    EXPECT_EQ(a->GetSize(), fiveGib);
    EXPECT_EQ(drive.GetSize(), fiveGib);
    EXPECT_EQ(b->GetFiles()[0]->GetInt64(FIELD_SIZE), fiveGib);
}

TEST(CFolderData, AddingDeepFolderAnnouncesUpTheWholeChain)
{
    std::vector<std::pair<std::string, FieldId>> log;
    CFolderData drive(CString("drive"), nullptr);
    auto* one = new CFolderData(CString("one"), &drive);
    drive.AddFolder(one);
    auto* two = new CFolderData(CString("two"), one);
    one->AddFolder(two);
    CLogSink driveSink, oneSink, twoSink;
    driveSink.log = oneSink.log = twoSink.log = &log;
    drive.Subscribe(&driveSink);
    one->Subscribe(&oneSink);
    two->Subscribe(&twoSink);

    two->AddFolder(new CFolderData(CString("three"), two));
    // "two" sends first; its parent folder, subscribed before any other sink,
    // repeats at once, so the outer sinks hear each id before the inner ones.
    const std::vector<std::pair<std::string, FieldId>> expected = {
        {"drive", 2}, {"one", 2}, {"two", 2}, {"drive", 3}, {"one", 3}, {"two", 3}};
    EXPECT_EQ(log, expected);

    log.clear();
    two->AddFolder(nullptr);
    EXPECT_EQ(log.size(), 6u);

    log.clear();
    two->AddFile(File("quiet", two, 5));
    EXPECT_TRUE(log.empty());

    two->BeginPopulate();
    EXPECT_TRUE(two->IsPopulating());
    EXPECT_TRUE(two->GetBool(FIELD_POPULATING));
    two->EndPopulate();
    EXPECT_EQ(log, (std::vector<std::pair<std::string, FieldId>>{{"two", -1}, {"two", -1}}));

    drive.Unsubscribe(&driveSink);
    one->Unsubscribe(&oneSink);
    two->Unsubscribe(&twoSink);
}

TEST(CFileData, FieldMapAndValues)
{
    CFolderData folder(CString("/"), nullptr);
    CFileData* file = File("notes.txt", &folder, 42);
    folder.AddFile(file);
    EXPECT_EQ(file->GetLong(FIELD_TYPE), TYPE_FILE);
    EXPECT_EQ(file->GetLong(FIELD_FILES_COUNT), 0);
    EXPECT_EQ(file->GetFieldType(FIELD_FILES_COUNT), FT_EMPTY);
    EXPECT_EQ(file->GetMfcString(FIELD_FULL_NAME), CString("/notes.txt"));
    EXPECT_EQ(file->GetValueText(FIELD_SIZE, nullptr), "42");
    ASSERT_NE(file->GetFieldFormat(FIELD_CREATION_TIME), nullptr);
    EXPECT_EQ(file->GetFieldFormat(FIELD_CREATION_TIME)->GetClassName(), "Common::CInt64DateFormat");
    EXPECT_FALSE(file->IsWritable(FIELD_NAME));
    EXPECT_EQ(file->GetFieldCaption(FIELD_LAST_ACCESS_TIME), "Last Access time");
    std::set<FieldId> ids;
    file->GetFieldIds(ids);
    EXPECT_EQ(ids, (std::set<FieldId>{0, 1, 2, 5, 6, 7, 8}));
    std::set<FieldId> folderIds;
    folder.GetFieldIds(folderIds);
    EXPECT_EQ(folderIds, (std::set<FieldId>{0, 1, 2, 3, 4, 8}));
}

TEST(CFolderData, DestructionUnsubscribesChildrenAndTellsOwnSinks)
{
    struct CDisposeSink : CDataObject::ISink {
        int disposed = 0;
        void OnFieldChanged(FieldId, CDataObject*) override {}
        void OnDispose(CDataObject*) override { ++disposed; }
    } sink;
    auto drive = std::make_unique<CFolderData>(CString("/"), nullptr);
    auto* child = new CFolderData(CString("c"), drive.get());
    drive->AddFolder(child);
    child->AddFile(File("f", child, 1));
    child->Subscribe(&sink);
    drive->Subscribe(&sink);
    drive.reset();
    EXPECT_EQ(sink.disposed, 2);
}
