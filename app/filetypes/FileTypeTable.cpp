#include "app/filetypes/FileTypeTable.h"

#include <cstdint>

#include <algorithm>
#include <cctype>

#include "app/FileSystemData.h"

namespace Velmora {

std::string FileExtensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

void CFileTypeTable::Clear()
{
    m_rows.clear();
    m_total = {};
    m_pending.clear();
}

void CFileTypeTable::Add(std::string_view name, std::int64_t size, std::int64_t sizeOnDisk)
{
    std::string extension = FileExtensionOf(name);
    FileTypeRow& row = m_rows[extension];
    if (row.files == 0)
        row.extension = std::move(extension);
    for (FileTypeRow* sums : {&row, &m_total}) {
        ++sums->files;
        sums->size = AddSaturating(sums->size, size);
        sums->sizeOnDisk = AddSaturating(sums->sizeOnDisk, sizeOnDisk);
    }
}

void CFileTypeTable::AddTree(const CFolderData& root)
{
    BeginTree(root);
    ContinueTree(SIZE_MAX);
}

bool CFileTypeTable::ContinueTree(std::size_t maxFolders)
{
    // The lists are copies: the walk may still be adding to them.
    for (std::size_t counted = 0; counted < maxFolders && !m_pending.empty(); ++counted) {
        const CFolderData* folder = m_pending.back();
        m_pending.pop_back();
        for (const CFileData* file : folder->GetFiles())
            Add(file->GetName().View(), file->GetSize(), file->GetSizeOnDisk());
        for (const CFolderData* child : folder->GetFolders())
            if (child)
                m_pending.push_back(child);
    }
    return m_pending.empty();
}

std::vector<FileTypeRow> CFileTypeTable::Rows() const
{
    std::vector<FileTypeRow> rows;
    rows.reserve(m_rows.size());
    for (const auto& [extension, row] : m_rows) {
        rows.push_back(row);
        rows.back().share = m_total.size > 0 ? 100.0 * static_cast<double>(row.size) / static_cast<double>(m_total.size) : 0;
    }
    std::sort(rows.begin(), rows.end(), [](const FileTypeRow& a, const FileTypeRow& b) {
        return a.size != b.size ? a.size > b.size : a.extension < b.extension;
    });
    return rows;
}

} // namespace Velmora
