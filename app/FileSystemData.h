// The explorer's data objects: CFolderData (a drive or folder) and CFileData
// (a file). The scanner thread creates and fills them while the GUI thread
// reads their fields.
//
// A folder owns its subfolders and files and subscribes to each subfolder,
// repeating its size (2) and files-count (3) announcements, so a change
// travels up to the drive, innermost first. Subtree totals are kept as
// running sums updated on every addition, so reading a folder's size or
// count costs the same at any depth; they always equal the sums over the
// subtree, held at the largest value instead of wrapping. Notifications are
// sent without holding any folder lock.
//
// Trees may be a hundred thousand folders deep: the repeat up the chain,
// the full name and destruction walk the chain in loops, never by
// recursion, and an announcement that no subscriber other than a parent
// folder could hear (no folder of the process has such a subscriber) is not
// made at all.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "common/DataObject.h"
#include "common/FixedPool.h"

namespace Velmora {

using Kestrum::Common::CDataObject;
using Kestrum::Common::CString;
using Kestrum::Common::FieldId;

enum FileSystemField : FieldId {
    FIELD_NAME = 0,
    FIELD_FULL_NAME = 1,
    FIELD_SIZE = 2,
    FIELD_FILES_COUNT = 3,
    FIELD_POPULATING = 4,
    FIELD_CREATION_TIME = 5,
    FIELD_LAST_ACCESS_TIME = 6,
    FIELD_LAST_WRITE_TIME = 7,
    FIELD_TYPE = 8,
    // Beyond the nine of the design: what a subtree takes on its disk, and
    // its share of its parent's size.
    FIELD_SIZE_ON_DISK = 9,
    FIELD_PERCENT_OF_PARENT = 10,
};

enum FileSystemType : std::int32_t { TYPE_FOLDER = 1, TYPE_FILE = 2 };

// Date flags of the three time fields: four-digit year, month, day, hours,
// minutes and seconds.
inline constexpr std::int32_t kFileTimeFlags = 125;

class CFolderData;

// Additions that stop at the type's limits instead of wrapping.
std::int64_t AddSaturating(std::int64_t total, std::int64_t amount) noexcept;
void AddSaturating(std::atomic<std::int64_t>& total, std::int64_t amount) noexcept;
void AddSaturating(std::atomic<std::int32_t>& total, std::int32_t amount) noexcept;

class CFileData final : public CDataObject, public CDataObject::ISink {
    KESTRUM_DECLARE_FIELD_MAP();
    // A tree holds a million of them: no heap header or rounding per file.
    KESTRUM_POOLED_ALLOCATION(CFileData)

public:
    // `allocated`: the bytes of the blocks the file takes on its disk (0 for
    // a further link of an inode already counted on the drive).
    CFileData(const CString& name, CFolderData* parent, std::int64_t size, std::int64_t creationTime,
              std::int64_t lastAccessTime, std::int64_t lastWriteTime, std::int64_t allocated = 0);
    ~CFileData() override;

    CString GetName() const { return m_name; }
    CString GetFullName() const;
    std::int64_t GetSize() const { return m_size; }
    std::int64_t GetCreationTime() const { return m_creationTime; }
    std::int64_t GetLastAccessTime() const { return m_lastAccessTime; }
    std::int64_t GetLastWriteTime() const { return m_lastWriteTime; }
    std::int32_t GetType() const { return TYPE_FILE; }
    CFolderData* GetParent() const { return reinterpret_cast<CFolderData*>(m_parentAndDiskUse & ~kDiskUseMask); }
    std::int64_t GetSizeOnDisk() const;
    // The size as a share of the folder's size, 0 to 100.
    double GetPercentOfParent() const;

    void OnFieldChanged(FieldId id, CDataObject* object) override;

private:
    friend class CFolderData; // a refresh moves files into the folder they belong to
    void SetParent(CFolderData* parent) noexcept
    {
        m_parentAndDiskUse = reinterpret_cast<std::uintptr_t>(parent) | (m_parentAndDiskUse & kDiskUseMask);
    }

    // What the file takes on its disk is nearly always none (a further link,
    // a file without data) or its size in whole 4 KiB blocks, so it is kept
    // as one of those in the low bits of the parent's address (a folder is
    // 8-byte aligned); only another figure is looked up in a table beside.
    enum DiskUse : std::uintptr_t { kNoBlocks = 0, kWholeBlocks = 1, kListedBlocks = 2 };
    static constexpr std::uintptr_t kDiskUseMask = 3;

    CString m_name;
    std::int64_t m_size;
    std::int64_t m_creationTime;
    std::int64_t m_lastAccessTime;
    std::int64_t m_lastWriteTime;
    std::uintptr_t m_parentAndDiskUse;
};

class CFolderData : public CDataObject, public CDataObject::ISink {
    KESTRUM_DECLARE_FIELD_MAP();

public:
    CFolderData(const CString& name, CFolderData* parent);
    ~CFolderData() override;

    CString GetName() const { return m_name; }
    CString GetFullName() const;
    std::int64_t GetSize() const { return m_totalSize.load(std::memory_order_relaxed); }
    std::int32_t GetFilesCount() const { return m_totalFiles.load(std::memory_order_relaxed); }
    bool IsPopulating() const { return m_populating.load(std::memory_order_relaxed); }
    std::int32_t GetType() const { return TYPE_FOLDER; }
    CFolderData* GetParent() const { return m_parent; }
    std::int64_t GetSizeOnDisk() const { return m_totalAllocated.load(std::memory_order_relaxed); }
    // The size as a share of the parent's size, 0 to 100; 100 for a drive.
    double GetPercentOfParent() const;
    std::int64_t GetDirectFilesSize() const;
    // The scanner could not list this folder: the error number (errno), or
    // kUnknownReadError when the file system did not say why. 0 when the
    // folder was read.
    bool IsUnreadable() const noexcept { return GetReadError() != 0 && GetReadError() != kExcluded; }
    std::int32_t GetReadError() const noexcept { return m_readError.load(std::memory_order_relaxed); }
    void MarkUnreadable(std::int32_t error) noexcept;
    static constexpr std::int32_t kUnknownReadError = -1;
    // Left out of the walk by an exclude pattern: never opened, no size.
    // Kept where the read error is, as a folder is one or the other.
    bool IsExcluded() const noexcept { return GetReadError() == kExcluded; }
    void MarkExcluded() noexcept { m_readError.store(kExcluded, std::memory_order_relaxed); }
    static constexpr std::int32_t kExcluded = -2;
    // An excluded folder's sizes read "excluded" (its count and share
    // nothing), for every reader of cell texts: the painting, the
    // accessible cells, a copy. Its values stay 0 for sorting.
    std::string GetValueText(FieldId id, Kestrum::Common::CFormat* format) override;
    CString GetValueTextAsCString(FieldId id, Kestrum::Common::CFormat* format) override;
    static constexpr const char* kExcludedText = "excluded";

    // Takes ownership, subscribes to the child, then announces 2 and 3
    // (also for a null child).
    void AddFolder(CFolderData* child);
    // Takes ownership; announces nothing.
    void AddFile(CFileData* file);
    void BeginPopulate();
    void EndPopulate();
    // The scanner is the only writer of the lists; a copy keeps readers safe.
    std::vector<CFolderData*> GetFolders() const;
    std::vector<CFileData*> GetFiles() const;
    // A refresh: takes the folders and files of `fresh` (walked apart from
    // the tree, its parent unlinked) in place of this folder's; the totals
    // of this folder and of every ancestor move by the difference. The
    // previous contents are deleted: no row may show them any more. The
    // size and count are announced upwards.
    void ReplaceContents(CFolderData& fresh);

    void OnFieldChanged(FieldId id, CDataObject* object) override;

protected:
    void OnSubscribersChanged(CDataObject::ISink* const* sinks, std::size_t count) override;

private:
    // Adds to this folder's and every ancestor's running totals.
    void AddToTotals(std::int64_t size, std::int32_t files, std::int64_t allocated);
    // Announces `id` to this folder's subscribers, each parent folder among
    // them repeating it to its own in turn: the order of nested
    // notifications, made by a loop.
    void AnnounceUpwards(FieldId id);

    CString m_name;
    CFolderData* m_parent;
    std::vector<CFolderData*> m_folders;
    std::vector<CFileData*> m_files;
    std::int64_t m_directFilesSize = 0;
    std::atomic<bool> m_populating{false};
    std::atomic<bool> m_linked{false}; // added to its parent's subfolders
    std::atomic<std::int64_t> m_totalSize{0};
    std::atomic<std::int32_t> m_totalFiles{0};
    std::atomic<std::int64_t> m_totalAllocated{0};
    std::atomic<std::int32_t> m_readError{0};
    // Has a subscriber other than its parent folder (counted process-wide).
    std::atomic<bool> m_heard{false};
    mutable std::recursive_mutex m_lock;
};

// The full path of a child: the parent's full name, "/", the name, without a
// doubled slash after a root named "/".
CString JoinPath(const CString& parent, const CString& name);

} // namespace Velmora
