#include "app/FileSystemData.h"

#include "common/DateFormats.h"
#include "common/FieldMap.h"
#include "app/SizeUnitsFormat.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace Velmora {

using namespace Kestrum::Common;

std::int64_t AddSaturating(std::int64_t total, std::int64_t amount) noexcept
{
    std::int64_t sum = 0;
    if (__builtin_add_overflow(total, amount, &sum))
        return amount > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return sum;
}

namespace {
template <class T> void AddSaturatingAtomic(std::atomic<T>& total, T amount) noexcept
{
    if (amount == 0)
        return;
    T current = total.load(std::memory_order_relaxed);
    for (;;) {
        T sum = 0;
        if (__builtin_add_overflow(current, amount, &sum))
            sum = amount > 0 ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
        if (sum == current || total.compare_exchange_weak(current, sum, std::memory_order_relaxed))
            return;
    }
}

// Folders of the process that have a subscriber other than their parent
// folder. While there are none, no announcement of a size or count can be
// heard by anyone and none is made.
std::atomic<std::int64_t> s_heardFolders{0};
} // namespace

void AddSaturating(std::atomic<std::int64_t>& total, std::int64_t amount) noexcept { AddSaturatingAtomic(total, amount); }
void AddSaturating(std::atomic<std::int32_t>& total, std::int32_t amount) noexcept { AddSaturatingAtomic(total, amount); }

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
    map.Add(FIELD_SIZE_ON_DISK, KESTRUM_FIELD(FIELD_SIZE_ON_DISK, "Size on disk", &CFileData::GetSizeOnDisk, 0, nullptr));
    map.Add(FIELD_PERCENT_OF_PARENT, KESTRUM_FIELD(FIELD_PERCENT_OF_PARENT, "% of parent", &CFileData::GetPercentOfParent,
                                                   0, new CPercentFormat));
}

KESTRUM_REGISTER_FIELDS(CFolderData)
{
    map.Add(FIELD_NAME, KESTRUM_FIELD(FIELD_NAME, "Name", &CFolderData::GetName, 0, nullptr));
    map.Add(FIELD_FULL_NAME, KESTRUM_FIELD(FIELD_FULL_NAME, "Full Name", &CFolderData::GetFullName, 0, nullptr));
    map.Add(FIELD_SIZE, KESTRUM_FIELD(FIELD_SIZE, "Size", &CFolderData::GetSize, 0, nullptr));
    map.Add(FIELD_FILES_COUNT, KESTRUM_FIELD(FIELD_FILES_COUNT, "Files Count", &CFolderData::GetFilesCount, 0, nullptr));
    map.Add(FIELD_POPULATING, KESTRUM_FIELD(FIELD_POPULATING, "Populating", &CFolderData::IsPopulating, 0, nullptr));
    map.Add(FIELD_TYPE, KESTRUM_FIELD(FIELD_TYPE, "Type", &CFolderData::GetType, 0, nullptr));
    map.Add(FIELD_SIZE_ON_DISK,
            KESTRUM_FIELD(FIELD_SIZE_ON_DISK, "Size on disk", &CFolderData::GetSizeOnDisk, 0, nullptr));
    map.Add(FIELD_PERCENT_OF_PARENT, KESTRUM_FIELD(FIELD_PERCENT_OF_PARENT, "% of parent",
                                                   &CFolderData::GetPercentOfParent, 0,
                                                   new CPercentFormat));
}

namespace {
// The sizes on disk that are neither none nor whole blocks of the size, by
// file; sharded, as the scanner adds while the GUI thread reads.
struct ListedDiskUse {
    std::mutex lock;
    std::unordered_map<const CFileData*, std::int64_t> bytes;
};

// The size rounded up to whole 4 KiB blocks; -1 where that has no answer.
std::int64_t WholeBlocksOf(std::int64_t size)
{
    constexpr std::int64_t kBlock = 4096;
    if (size <= 0 || size > std::numeric_limits<std::int64_t>::max() - (kBlock - 1))
        return -1;
    return (size + kBlock - 1) / kBlock * kBlock;
}

ListedDiskUse& ListedDiskUseOf(const CFileData* file)
{
    constexpr std::size_t kShards = 16;
    // Never destroyed: files may be freed during static destruction.
    static ListedDiskUse* const shards = new ListedDiskUse[kShards];
    // Files are 8-byte aligned and 72 bytes apart: the bits above the third spread them.
    return shards[(reinterpret_cast<std::uintptr_t>(file) >> 3) % kShards];
}
} // namespace

CFileData::CFileData(const CString& name, CFolderData* parent, std::int64_t size, std::int64_t creationTime,
                     std::int64_t lastAccessTime, std::int64_t lastWriteTime, std::int64_t allocated)
    : m_name(name), m_size(size), m_creationTime(creationTime), m_lastAccessTime(lastAccessTime),
      m_lastWriteTime(lastWriteTime), m_parentAndDiskUse(reinterpret_cast<std::uintptr_t>(parent))
{
    static_assert(alignof(CFolderData) > kDiskUseMask, "the low bits of a folder's address are free");
    if (allocated == 0) {
        m_parentAndDiskUse |= kNoBlocks;
    } else if (allocated == WholeBlocksOf(size)) {
        m_parentAndDiskUse |= kWholeBlocks;
    } else {
        ListedDiskUse& listed = ListedDiskUseOf(this);
        std::lock_guard lock(listed.lock);
        listed.bytes[this] = allocated;
        m_parentAndDiskUse |= kListedBlocks;
    }
}

CFileData::~CFileData()
{
    if ((m_parentAndDiskUse & kDiskUseMask) == kListedBlocks) {
        ListedDiskUse& listed = ListedDiskUseOf(this);
        std::lock_guard lock(listed.lock);
        listed.bytes.erase(this);
    }
}

std::int64_t CFileData::GetSizeOnDisk() const
{
    switch (m_parentAndDiskUse & kDiskUseMask) {
    case kWholeBlocks:
        return WholeBlocksOf(m_size);
    case kListedBlocks: {
        ListedDiskUse& listed = ListedDiskUseOf(this);
        std::lock_guard lock(listed.lock);
        return listed.bytes.at(this);
    }
    default:
        return 0;
    }
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

CString CFileData::GetFullName() const { return FullNameOf(GetParent(), m_name); }

namespace {
double PercentOf(std::int64_t part, const CFolderData* parent)
{
    if (!parent)
        return 100.0;
    const std::int64_t whole = parent->GetSize();
    // Read apart, the two may disagree for a moment while the walk adds.
    return whole <= 0 ? 0.0 : std::clamp(100.0 * static_cast<double>(part) / static_cast<double>(whole), 0.0, 100.0);
}
} // namespace

double CFileData::GetPercentOfParent() const { return PercentOf(m_size, GetParent()); }
double CFolderData::GetPercentOfParent() const { return PercentOf(GetSize(), m_parent); }

void CFileData::OnFieldChanged(FieldId, CDataObject*) {}

CFolderData::CFolderData(const CString& name, CFolderData* parent) : m_name(name), m_parent(parent) {}

CFolderData::~CFolderData()
{
    if (m_heard.exchange(false))
        s_heardFolders.fetch_sub(1);
    // The subtree goes in the order a recursive destruction would take: a
    // folder's files first, then each subfolder's whole subtree, the
    // subfolder itself last. The loop keeps the stack flat at any depth:
    // every folder is emptied before it is deleted, so its own destructor
    // finds nothing more to do.
    struct Level {
        CFolderData* folder;
        std::vector<CFolderData*> children;
        std::size_t next = 0;
    };
    const auto takeLists = [](CFolderData* folder, std::vector<CFolderData*>& children) {
        std::vector<CFileData*> files;
        {
            std::lock_guard lock(folder->m_lock);
            children.swap(folder->m_folders);
            files.swap(folder->m_files);
        }
        // In the order of the list, their slots given back in one go.
        CFileData::DestroyMany(files.data(), files.size());
    };
    std::vector<Level> stack;
    stack.push_back({this, {}});
    takeLists(this, stack.back().children);
    while (!stack.empty()) {
        Level& top = stack.back();
        if (top.next < top.children.size()) {
            CFolderData* child = top.children[top.next++];
            child->Unsubscribe(top.folder);
            Level level{child, {}};
            takeLists(child, level.children);
            stack.push_back(std::move(level));
            continue;
        }
        CFolderData* done = top.folder;
        stack.pop_back();
        if (done != this)
            delete done;
    }
}

CString CFolderData::GetFullName() const { return FullNameOf(m_parent, m_name); }

std::int64_t CFolderData::GetDirectFilesSize() const
{
    std::lock_guard lock(m_lock);
    return m_directFilesSize;
}

void CFolderData::MarkUnreadable(std::int32_t error) noexcept
{
    m_readError.store(error != 0 ? error : kUnknownReadError, std::memory_order_relaxed);
}

namespace {
// The text an excluded folder shows in place of a field's value; null: the value's own.
const char* ExcludedText(FieldId id)
{
    switch (id) {
    case FIELD_SIZE:
    case FIELD_SIZE_ON_DISK: return CFolderData::kExcludedText;
    case FIELD_FILES_COUNT:
    case FIELD_PERCENT_OF_PARENT: return "";
    default: return nullptr;
    }
}
} // namespace

std::string CFolderData::GetValueText(FieldId id, CFormat* format)
{
    if (IsExcluded())
        if (const char* text = ExcludedText(id))
            return text;
    return CDataObject::GetValueText(id, format);
}

CString CFolderData::GetValueTextAsCString(FieldId id, CFormat* format)
{
    if (IsExcluded())
        if (const char* text = ExcludedText(id))
            return CString(text);
    return CDataObject::GetValueTextAsCString(id, format);
}

void CFolderData::AddToTotals(std::int64_t size, std::int32_t files, std::int64_t allocated)
{
    if (size == 0 && files == 0 && allocated == 0)
        return; // an empty subfolder: no walk up a deep chain for nothing
    // Only folders already linked into their parent pass totals upwards; a
    // folder's earlier totals join its parent's when AddFolder links it.
    for (CFolderData* folder = this; folder; folder = folder->m_linked ? folder->m_parent : nullptr) {
        AddSaturating(folder->m_totalSize, size);
        AddSaturating(folder->m_totalFiles, files);
        AddSaturating(folder->m_totalAllocated, allocated);
    }
}

void CFolderData::OnSubscribersChanged(CDataObject::ISink* const* sinks, std::size_t count)
{
    const CDataObject::ISink* parent = m_parent;
    bool heard = false;
    for (std::size_t i = 0; i < count && !heard; ++i)
        heard = sinks[i] != parent;
    if (m_heard.exchange(heard) != heard)
        s_heardFolders.fetch_add(heard ? 1 : -1);
}

void CFolderData::AnnounceUpwards(FieldId id)
{
    if (s_heardFolders.load() == 0)
        return;
    // One frame per folder whose announcement is under way, with its copy of
    // the subscriber list; a parent folder met in a list gets its own frame,
    // so its subscribers hear the id before the rest of the child's list.
    struct Frame {
        CFolderData* folder;
        std::size_t begin, next, end;
    };
    std::vector<CDataObject::ISink*> sinks;
    std::vector<Frame> frames;
    const auto push = [&](CFolderData* folder) {
        const std::size_t begin = sinks.size();
        folder->AppendSubscribers(sinks);
        frames.push_back({folder, begin, begin, sinks.size()});
    };
    push(this);
    while (!frames.empty()) {
        Frame& top = frames.back();
        if (top.next == top.end) {
            sinks.resize(top.begin);
            frames.pop_back();
            continue;
        }
        CDataObject::ISink* sink = sinks[top.next++];
        CFolderData* folder = top.folder;
        if (folder->m_parent && sink == static_cast<CDataObject::ISink*>(folder->m_parent)) {
            push(folder->m_parent);
            continue;
        }
        sink->OnFieldChanged(id, folder);
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
        AddToTotals(child->GetSize(), child->GetFilesCount(), child->GetSizeOnDisk());
    AnnounceUpwards(FIELD_SIZE);
    AnnounceUpwards(FIELD_FILES_COUNT);
}

void CFolderData::AddFile(CFileData* file)
{
    if (!file)
        return;
    {
        std::lock_guard lock(m_lock);
        m_directFilesSize = AddSaturating(m_directFilesSize, file->GetSize());
        m_files.push_back(file);
    }
    AddToTotals(file->GetSize(), 1, file->GetSizeOnDisk());
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

void CFolderData::ReplaceContents(CFolderData& fresh)
{
    std::vector<CFolderData*> folders;
    std::vector<CFileData*> files;
    std::int64_t direct = 0;
    {
        std::lock_guard lock(fresh.m_lock);
        folders.swap(fresh.m_folders);
        files.swap(fresh.m_files);
        direct = fresh.m_directFilesSize;
        fresh.m_directFilesSize = 0;
    }
    // No row shows the fresh objects yet: only this thread sees them move.
    for (CFolderData* child : folders) {
        child->Unsubscribe(&fresh);
        child->m_parent = this;
        child->Subscribe(this);
    }
    for (CFileData* file : files)
        file->SetParent(this);
    const std::int64_t size = fresh.GetSize();
    const std::int32_t count = fresh.GetFilesCount();
    const std::int64_t allocated = fresh.GetSizeOnDisk();
    fresh.m_totalSize = 0;
    fresh.m_totalFiles = 0;
    fresh.m_totalAllocated = 0;
    {
        std::lock_guard lock(m_lock);
        m_folders.swap(folders);
        m_files.swap(files);
        m_directFilesSize = direct;
    }
    m_readError.store(fresh.m_readError.load(std::memory_order_relaxed), std::memory_order_relaxed);
    // `folders` and `files` now hold the previous contents.
    AddToTotals(AddSaturating(size, -GetSize()), static_cast<std::int32_t>(count - GetFilesCount()),
                AddSaturating(allocated, -GetSizeOnDisk()));
    for (CFileData* file : files)
        delete file;
    for (CFolderData* child : folders) {
        child->Unsubscribe(this);
        delete child;
    }
    AnnounceUpwards(FIELD_SIZE);
    AnnounceUpwards(FIELD_FILES_COUNT);
}

void CFolderData::OnFieldChanged(FieldId id, CDataObject*)
{
    if (id == FIELD_SIZE || id == FIELD_FILES_COUNT)
        AnnounceUpwards(id);
}

} // namespace Velmora
