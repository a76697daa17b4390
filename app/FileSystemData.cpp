#include "app/FileSystemData.h"

#include "common/DateFormats.h"
#include "common/FieldMap.h"

namespace Velmora {

using namespace Kestrum::Common;

CString JoinPath(const CString& parent, const CString& name)
{
    CString path = parent;
    if (path.IsEmpty() || path.View().back() != '/')
        path += '/';
    path += name;
    return path;
}

KESTRUM_REGISTER_FIELDS(CFileData)
{
    map.Add(FIELD_NAME, KESTRUM_FIELD(FIELD_NAME, "Name", &CFileData::GetName, 0, nullptr));
    map.Add(FIELD_FULL_NAME, KESTRUM_FIELD(FIELD_FULL_NAME, "Full Name", &CFileData::GetFullName, 0, nullptr));
    map.Add(FIELD_SIZE, KESTRUM_FIELD(FIELD_SIZE, "Size", &CFileData::GetSize, 0, nullptr));
    map.Add(FIELD_CREATION_TIME, KESTRUM_FIELD(FIELD_CREATION_TIME, "Creation time", &CFileData::GetCreationTime, 0,
                                               new CInt64DateFormat(kFileTimeFlags)));
    map.Add(FIELD_LAST_ACCESS_TIME, KESTRUM_FIELD(FIELD_LAST_ACCESS_TIME, "Last Access time",
                                                  &CFileData::GetLastAccessTime, 0, new CInt64DateFormat(kFileTimeFlags)));
    map.Add(FIELD_LAST_WRITE_TIME, KESTRUM_FIELD(FIELD_LAST_WRITE_TIME, "Last write time", &CFileData::GetLastWriteTime,
                                                 0, new CInt64DateFormat(kFileTimeFlags)));
    map.Add(FIELD_TYPE, KESTRUM_FIELD(FIELD_TYPE, "Type", &CFileData::GetType, 0, nullptr));
}

KESTRUM_REGISTER_FIELDS(CFolderData)
{
    map.Add(FIELD_NAME, KESTRUM_FIELD(FIELD_NAME, "Name", &CFolderData::GetName, 0, nullptr));
    map.Add(FIELD_FULL_NAME, KESTRUM_FIELD(FIELD_FULL_NAME, "Full Name", &CFolderData::GetFullName, 0, nullptr));
    map.Add(FIELD_SIZE, KESTRUM_FIELD(FIELD_SIZE, "Size", &CFolderData::GetSize, 0, nullptr));
    map.Add(FIELD_FILES_COUNT, KESTRUM_FIELD(FIELD_FILES_COUNT, "Files Count", &CFolderData::GetFilesCount, 0, nullptr));
    map.Add(FIELD_POPULATING, KESTRUM_FIELD(FIELD_POPULATING, "Populating", &CFolderData::IsPopulating, 0, nullptr));
    map.Add(FIELD_TYPE, KESTRUM_FIELD(FIELD_TYPE, "Type", &CFolderData::GetType, 0, nullptr));
}

CFileData::CFileData(const CString& name, CFolderData* parent, std::int64_t size, std::int64_t creationTime,
                     std::int64_t lastAccessTime, std::int64_t lastWriteTime)
    : m_name(name), m_size(size), m_creationTime(creationTime), m_lastAccessTime(lastAccessTime),
      m_lastWriteTime(lastWriteTime), m_parent(parent)
{
}

namespace {
// Joins the names from the root down in one pass (no recursion: trees may be
// thousands of folders deep).
CString FullNameOf(const CFolderData* parent, const CString& name)
{
    std::vector<const CFolderData*> chain;
    for (const CFolderData* folder = parent; folder; folder = folder->GetParent())
        chain.push_back(folder);
    if (chain.empty())
        return name;
    std::string path(chain.back()->GetName().View());
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        if (path.empty() || path.back() != '/')
            path.push_back('/');
        path.append((*it)->GetName().View());
    }
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name.View());
    return CString(path);
}
} // namespace

CString CFileData::GetFullName() const { return FullNameOf(m_parent, m_name); }

void CFileData::OnFieldChanged(FieldId, CDataObject*) {}

CFolderData::CFolderData(const CString& name, CFolderData* parent) : m_name(name), m_parent(parent) {}

CFolderData::~CFolderData()
{
    std::vector<CFolderData*> folders;
    std::vector<CFileData*> files;
    {
        std::lock_guard lock(m_lock);
        folders.swap(m_folders);
        files.swap(m_files);
    }
    for (CFileData* file : files)
        delete file;
    for (CFolderData* folder : folders) {
        folder->Unsubscribe(this);
        delete folder;
    }
}

CString CFolderData::GetFullName() const { return FullNameOf(m_parent, m_name); }

std::int64_t CFolderData::GetDirectFilesSize() const
{
    std::lock_guard lock(m_lock);
    return m_directFilesSize;
}

void CFolderData::AddToTotals(std::int64_t size, std::int32_t files)
{
    // Only folders already linked into their parent pass totals upwards; a
    // folder's earlier totals join its parent's when AddFolder links it.
    for (CFolderData* folder = this; folder; folder = folder->m_linked ? folder->m_parent : nullptr) {
        // Atomic addition wraps (two's complement) instead of overflowing.
        folder->m_totalSize.fetch_add(size, std::memory_order_relaxed);
        folder->m_totalFiles.fetch_add(files, std::memory_order_relaxed);
    }
}

void CFolderData::AddFolder(CFolderData* child)
{
    if (child) {
        std::lock_guard lock(m_lock);
        m_folders.push_back(child);
        child->Subscribe(this);
    }
    if (child && child->m_parent == this && !child->m_linked.exchange(true))
        AddToTotals(child->GetSize(), child->GetFilesCount());
    NotifyFieldChanged(FIELD_SIZE);
    NotifyFieldChanged(FIELD_FILES_COUNT);
}

void CFolderData::AddFile(CFileData* file)
{
    if (!file)
        return;
    {
        std::lock_guard lock(m_lock);
        m_directFilesSize = static_cast<std::int64_t>(static_cast<std::uint64_t>(m_directFilesSize) +
                                                      static_cast<std::uint64_t>(file->GetSize()));
        m_files.push_back(file);
    }
    AddToTotals(file->GetSize(), 1);
}

void CFolderData::BeginPopulate()
{
    {
        // The scanner has added the folder's own files by now: a large tree
        // holds one such list per folder, so the growth slack is returned.
        std::lock_guard lock(m_lock);
        m_files.shrink_to_fit();
    }
    m_populating = true;
    NotifyFieldChanged(FIELD_ALL);
}

void CFolderData::EndPopulate()
{
    m_populating = false;
    NotifyFieldChanged(FIELD_ALL);
}

std::vector<CFolderData*> CFolderData::GetFolders() const
{
    std::lock_guard lock(m_lock);
    return m_folders;
}

std::vector<CFileData*> CFolderData::GetFiles() const
{
    std::lock_guard lock(m_lock);
    return m_files;
}

void CFolderData::OnFieldChanged(FieldId id, CDataObject*)
{
    if (id == FIELD_SIZE || id == FIELD_FILES_COUNT)
        NotifyFieldChanged(id);
}

} // namespace Velmora
