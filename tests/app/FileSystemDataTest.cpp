#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <utility>

#include "app/FileSystemData.h"
#include "common/Format.h"
#include "app/SizeUnitsFormat.h"

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
    // The design's fields keep their ids; size on disk and the share of the
    // parent follow them.
    EXPECT_EQ(ids, (std::set<FieldId>{0, 1, 2, 5, 6, 7, 8, 9, 10}));
    std::set<FieldId> folderIds;
    folder.GetFieldIds(folderIds);
    EXPECT_EQ(folderIds, (std::set<FieldId>{0, 1, 2, 3, 4, 8, 9, 10}));
    EXPECT_EQ(file->GetFieldCaption(FIELD_SIZE_ON_DISK), "Size on disk");
    EXPECT_EQ(folder.GetFieldCaption(FIELD_PERCENT_OF_PARENT), "% of parent");
    EXPECT_EQ(file->GetValueText(FIELD_PERCENT_OF_PARENT, nullptr), "100.0%");
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

// --- Size on disk, shares of the parent, refreshed contents ----------------

TEST(CFolderData, SizeOnDiskAddsUpLikeTheSize)
{
    CFolderData drive(CString("/"), nullptr);
    auto* folder = new CFolderData(CString("a"), &drive);
    folder->AddFile(new CFileData(CString("x"), folder, 100, 0, 0, 0, 4096));
    drive.AddFolder(folder);
    drive.AddFile(new CFileData(CString("y"), &drive, 5000, 0, 0, 0, 8192));
    // A further hard link counts in the size, not on the disk.
    drive.AddFile(new CFileData(CString("y-link"), &drive, 5000, 0, 0, 0, 0));
    EXPECT_EQ(folder->GetSizeOnDisk(), 4096);
    EXPECT_EQ(drive.GetSizeOnDisk(), 4096 + 8192);
    EXPECT_EQ(drive.GetSize(), 10100);
    EXPECT_EQ(drive.GetValueText(FIELD_SIZE_ON_DISK, nullptr), "12 288");
}

TEST(CFileData, SizeOnDiskIsKeptExactlyWhateverItIs)
{
    // Whole blocks of the size and none are kept in the object, anything
    // else beside it: each must read back as given, its parent unchanged.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    const std::pair<std::int64_t, std::int64_t> cases[] = {
        {0, 0},       {0, 4096}, {1, 4096},       {4096, 4096}, {4097, 8192},     {4097, 4096},
        {1, 512},     {5000, 1 << 20}, {-5, 4096}, {100, -1},    {kMax, kMax},     {kMax - 4096, kMax},
    };
    CFolderData drive(CString("/"), nullptr);
    std::vector<CFileData*> files;
    for (const auto& [size, allocated] : cases)
        files.push_back(new CFileData(CString("f"), &drive, size, 0, 0, 0, allocated));
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i]->GetSizeOnDisk(), cases[i].second) << "size " << cases[i].first;
        EXPECT_EQ(files[i]->GetInt64(FIELD_SIZE_ON_DISK), cases[i].second);
        EXPECT_EQ(files[i]->GetSize(), cases[i].first);
        EXPECT_EQ(files[i]->GetParent(), &drive);
    }
    for (CFileData* file : files)
        drive.AddFile(file);
}

TEST(CFolderData, PercentIsAHundredForADriveAndSumsToAHundredOverChildren)
{
    CFolderData drive(CString("/"), nullptr);
    auto* a = new CFolderData(CString("a"), &drive);
    a->AddFile(new CFileData(CString("x"), a, 333, 0, 0, 0));
    drive.AddFolder(a);
    auto* empty = new CFolderData(CString("e"), &drive);
    drive.AddFolder(empty);
    auto* b = new CFileData(CString("b"), &drive, 667, 0, 0, 0);
    drive.AddFile(b);
    auto* c = new CFileData(CString("c"), &drive, 1, 0, 0, 0);
    drive.AddFile(c);
    EXPECT_DOUBLE_EQ(drive.GetPercentOfParent(), 100.0);
    EXPECT_DOUBLE_EQ(empty->GetPercentOfParent(), 0.0);
    EXPECT_DOUBLE_EQ(a->GetPercentOfParent() + empty->GetPercentOfParent() + b->GetPercentOfParent() +
                         c->GetPercentOfParent(),
                     100.0);
    EXPECT_NEAR(a->GetDouble(FIELD_PERCENT_OF_PARENT), 33.2667, 1e-3);
    EXPECT_EQ(a->GetValueText(FIELD_PERCENT_OF_PARENT, nullptr), "33.3%");
    // A folder of nothing gives its children no share (no division by zero).
    auto* zero = new CFolderData(CString("z"), &drive);
    drive.AddFolder(zero);
    auto* nothing = new CFileData(CString("n"), zero, 0, 0, 0, 0);
    zero->AddFile(nothing);
    EXPECT_DOUBLE_EQ(nothing->GetPercentOfParent(), 0.0);
}

TEST(CFolderData, ReplacedContentsMoveEveryAncestorByTheDifference)
{
    struct CCounter : CDataObject::ISink {
        int sizes = 0;
        void OnFieldChanged(FieldId id, CDataObject*) override { sizes += id == FIELD_SIZE; }
    } heard;
    CFolderData drive(CString("/"), nullptr);
    auto* middle = new CFolderData(CString("m"), &drive);
    drive.AddFolder(middle);
    drive.AddFile(new CFileData(CString("stays"), &drive, 1000, 0, 0, 0, 4096));
    auto* target = new CFolderData(CString("t"), middle);
    middle->AddFolder(target);
    target->AddFile(new CFileData(CString("old1"), target, 300, 0, 0, 0, 4096));
    auto* oldSub = new CFolderData(CString("oldsub"), target);
    target->AddFolder(oldSub);
    oldSub->AddFile(new CFileData(CString("old2"), oldSub, 200, 0, 0, 0, 4096));
    ASSERT_EQ(drive.GetSize(), 1500);
    ASSERT_EQ(drive.GetFilesCount(), 3);

    // The fresh walk: another file set, its totals its own.
    CFolderData fresh(CString("t"), nullptr);
    auto* newSub = new CFolderData(CString("newsub"), &fresh);
    newSub->AddFile(new CFileData(CString("n1"), newSub, 50, 0, 0, 0, 4096));
    newSub->AddFile(new CFileData(CString("n2"), newSub, 70, 0, 0, 0, 8192));
    fresh.AddFolder(newSub);
    fresh.AddFile(new CFileData(CString("n3"), &fresh, 5, 0, 0, 0, 4096));
    fresh.MarkUnreadable(13);
    drive.Subscribe(&heard);
    target->ReplaceContents(fresh);
    drive.Unsubscribe(&heard);

    EXPECT_EQ(target->GetSize(), 125);
    EXPECT_EQ(target->GetFilesCount(), 3);
    EXPECT_EQ(target->GetSizeOnDisk(), 16384);
    EXPECT_EQ(target->GetDirectFilesSize(), 5);
    EXPECT_EQ(middle->GetSize(), 125);
    EXPECT_EQ(drive.GetSize(), 1125);
    EXPECT_EQ(drive.GetFilesCount(), 4);
    EXPECT_EQ(drive.GetSizeOnDisk(), 4096 + 16384);
    EXPECT_EQ(target->GetReadError(), 13);
    EXPECT_GE(heard.sizes, 1); // the drive's row hears its size moved
    // The moved objects belong to the tree now, and the fresh folder is empty.
    ASSERT_EQ(target->GetFolders().size(), 1u);
    EXPECT_EQ(target->GetFolders()[0]->GetParent(), target);
    EXPECT_EQ(target->GetFolders()[0]->GetFullName(), CString("/m/t/newsub"));
    EXPECT_EQ(target->GetFiles()[0]->GetFullName(), CString("/m/t/n3"));
    EXPECT_TRUE(fresh.GetFolders().empty());
    EXPECT_EQ(fresh.GetSize(), 0);
    // Growth below the moved folder reaches the drive.
    newSub->AddFile(new CFileData(CString("later"), newSub, 1, 0, 0, 0));
    EXPECT_EQ(drive.GetSize(), 1126);
}

TEST(CSizeUnitsFormat, BinaryUnitsWithOneDecimal)
{
    const struct {
        std::int64_t bytes;
        const char* text;
    } cases[] = {{0, "0 B"},
                 {1023, "1023 B"},
                 {1024, "1.0 KiB"},
                 {1536, "1.5 KiB"},
                 {1048524, "1023.9 KiB"},
                 {1048525, "1.0 MiB"}, // 1023.95 KiB: never "1024.0 KiB"
                 {13314398618LL, "12.4 GiB"},
                 {16492674416640LL, "15.0 TiB"},
                 {INT64_MAX, "8.0 EiB"},
                 {-2048, "-2.0 KiB"},
                 {INT64_MIN, "-8.0 EiB"}};
    CSizeUnitsFormat format;
    for (const auto& c : cases)
        EXPECT_EQ(format.FormatValue(Kestrum::Common::CValue(c.bytes), nullptr), c.text) << c.bytes;
    std::int64_t parsed = 0;
    EXPECT_FALSE(format.ParseValue(std::string("1.0 KiB"), parsed, nullptr));
}
