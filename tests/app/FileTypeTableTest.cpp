// The file types table: extensions as the last dot of a name gives them,
// lower-cased, and sums that equal the tree's own totals.
#include <gtest/gtest.h>

#include "app/FileSystemData.h"
#include "app/filetypes/FileTypeTable.h"

using namespace Velmora;
using Kestrum::Common::CString;

namespace {

struct ExtensionCase {
    const char* name;
    const char* extension;
};

class FileExtension : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(FileExtension, IsWhatFollowsTheLastDotLowerCased)
{
    EXPECT_EQ(FileExtensionOf(GetParam().name), GetParam().extension) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, FileExtension,
                         ::testing::Values(ExtensionCase{"a.tar.gz", "gz"}, ExtensionCase{"photo.JPG", "jpg"},
                                           ExtensionCase{".bashrc", ""}, ExtensionCase{".config.yml", "yml"},
                                           ExtensionCase{"Makefile", ""}, ExtensionCase{"trailing.", ""},
                                           ExtensionCase{"libz.so.1", "1"}, ExtensionCase{"x.Tar.GZ", "gz"}));

TEST(FileTypeTable, SumsPerExtensionEqualTheRootsTotals)
{
    CFolderData root(CString("root"), nullptr);
    auto file = [](const char* name, CFolderData* parent, std::int64_t size, std::int64_t allocated) {
        parent->AddFile(new CFileData(CString(name), parent, size, 1, 2, 3, allocated));
    };
    file("a.tar.gz", &root, 100, 4096);
    file("README", &root, 10, 4096);
    file(".bashrc", &root, 5, 4096);
    auto* sub = new CFolderData(CString("sub"), &root);
    root.AddFolder(sub);
    file("B.GZ", sub, 300, 4096);
    // A further hard link of an inode already counted: no blocks of its own.
    file("link.gz", sub, 300, 0);
    file("notes.txt", sub, 85, 4096);

    CFileTypeTable table;
    table.AddTree(root);
    EXPECT_EQ(table.Files(), root.GetFilesCount());
    EXPECT_EQ(table.Size(), root.GetSize());
    EXPECT_EQ(table.SizeOnDisk(), root.GetSizeOnDisk());

    const std::vector<FileTypeRow> rows = table.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].extension, "gz");
    EXPECT_EQ(rows[0].files, 3);
    EXPECT_EQ(rows[0].size, 700);
    EXPECT_EQ(rows[0].sizeOnDisk, 8192);
    EXPECT_DOUBLE_EQ(rows[0].share, 87.5);
    EXPECT_EQ(rows[1].extension, "txt");
    EXPECT_EQ(rows[2].extension, "") << "README and .bashrc";
    EXPECT_EQ(rows[2].files, 2);
    EXPECT_EQ(rows[2].size, 15);
    double shares = 0;
    for (const FileTypeRow& row : rows)
        shares += row.share;
    EXPECT_NEAR(shares, 100.0, 1e-9);

    // Counted a folder at a time, as the window counts during a walk: the same rows.
    CFileTypeTable sliced;
    sliced.BeginTree(root);
    int slices = 1;
    while (!sliced.ContinueTree(1))
        ++slices;
    EXPECT_EQ(slices, 2) << "one folder per slice";
    const std::vector<FileTypeRow> slicedRows = sliced.Rows();
    ASSERT_EQ(slicedRows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_TRUE(slicedRows[i].extension == rows[i].extension && slicedRows[i].files == rows[i].files &&
                    slicedRows[i].size == rows[i].size && slicedRows[i].sizeOnDisk == rows[i].sizeOnDisk)
            << rows[i].extension;
}

} // namespace
