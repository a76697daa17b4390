#include "app/scanfile/ScanTree.h"

#include "app/scanfile/ScanExport.h"

namespace Velmora::ScanFile {

void CScanExtras::Keep(const void* object, const ScanRecord& record)
{
    ScanRecord& kept = m_records[object];
    kept = record;
    kept.name.clear(); // the object has it
    kept.name.shrink_to_fit();
}

const ScanRecord* CScanExtras::Find(const void* object) const
{
    const auto it = m_records.find(object);
    return it == m_records.end() ? nullptr : &it->second;
}

bool CTreeBuilder::OpenFolder(const ScanRecord& record)
{
    const Frame* parent = m_stack.empty() ? nullptr : &m_stack.back();
    const std::uint64_t device = record.Has(ScanRecord::Dev) ? record.dev : parent ? parent->device : 0;
    CFolderData* folder = nullptr;
    if (!parent && record.Has(ScanRecord::Roots)) {
        m_stack.push_back({nullptr, device});
        return !m_scanner.IsStopRequested();
    }
    if (!parent || !parent->folder) {
        folder = m_scanner.AddImportedDrive(CString(record.name));
    } else {
        folder = new CFolderData(CString(record.name), parent->folder);
        parent->folder->AddFolder(folder);
        m_scanner.AnnounceFolder(folder);
    }
    folder->BeginPopulate();
    if (record.Has(ScanRecord::ReadError))
        m_scanner.MarkUnreadable(folder, CFolderData::kUnknownReadError);
    else if (record.Has(ScanRecord::Excluded) && record.excluded == "pattern")
        folder->MarkExcluded();
    if (record.present != 0)
        m_extras.Keep(folder, record);
    m_stack.push_back({folder, device});
    return !m_scanner.IsStopRequested();
}

bool CTreeBuilder::AddFile(const ScanRecord& record)
{
    CFolderData* parent = m_stack.back().folder;
    if (!parent)
        return true; // a file beside the drives has no place to be shown
    std::int64_t allocated = record.dsize;
    // Blocks of a hard-linked inode count once, at the first link read.
    // Some writers give the inode only on the further links (marked, without
    // a link count), the first one going as a plain file: such a mark is a
    // link counted already.
    const bool linked = record.Has(ScanRecord::Ino) &&
                        (record.Has(ScanRecord::Hlnkc) || (record.Has(ScanRecord::Nlink) && record.nlink > 1));
    const bool furtherLink = record.Has(ScanRecord::Hlnkc) && !record.Has(ScanRecord::Nlink);
    if (linked && (!m_counted.try_emplace(InodeKey{m_stack.back().device, record.ino}, true).second || furtherLink))
        allocated = 0;
    const std::int64_t mtime = record.Has(ScanRecord::Mtime) ? ToFileTime(record.mtime, 0) : 0;
    auto* file = new CFileData(CString(record.name), parent, record.asize, 0, 0, mtime, allocated);
    parent->AddFile(file);
    constexpr std::uint32_t kBeyondModel = ScanRecord::Ino | ScanRecord::Nlink | ScanRecord::Hlnkc |
                                           ScanRecord::Dev | ScanRecord::ReadError | ScanRecord::Excluded |
                                           ScanRecord::NotReg;
    if ((record.present & kBeyondModel) != 0 || (record.present & (ScanRecord::Asize | ScanRecord::Dsize)) !=
                                                    (ScanRecord::Asize | ScanRecord::Dsize))
        m_extras.Keep(file, record);
    m_scanner.AnnounceFile(file);
    return !m_scanner.IsStopRequested();
}

void CTreeBuilder::CloseOpenFolders()
{
    while (!m_stack.empty())
        CloseFolder();
}

bool CTreeBuilder::CloseFolder()
{
    if (CFolderData* folder = m_stack.back().folder)
        folder->EndPopulate();
    m_stack.pop_back();
    return true;
}

void CScanImport::Import(CFolderScanner& scanner)
{
    ReadOutcome outcome;
    std::string why;
    std::unique_ptr<CInput> input = CInput::Open(m_path, why);
    if (!input) {
        outcome.error = "cannot open it: " + why;
    } else {
        CTreeBuilder builder(scanner, m_extras);
        outcome = ReadScan(*input, builder, [&](std::uint64_t done, std::uint64_t total) {
            m_done.store(done, std::memory_order_relaxed);
            m_total.store(total, std::memory_order_relaxed);
            return !scanner.IsStopRequested();
        });
        builder.CloseOpenFolders();
    }
    std::lock_guard lock(m_mutex);
    m_outcome = outcome;
}

ReadOutcome CScanImport::Outcome() const
{
    std::lock_guard lock(m_mutex);
    return m_outcome;
}

namespace {
ScanRecord RecordOf(const CFolderData* folder, const CScanExtras* extras)
{
    const ScanRecord* kept = extras ? extras->Find(folder) : nullptr;
    ScanRecord record = kept ? *kept : ScanRecord();
    record.name = folder->GetName().ToStdString();
    if (folder->IsUnreadable())
        record.present |= ScanRecord::ReadError;
    if (folder->IsExcluded()) {
        record.present |= ScanRecord::Excluded;
        record.excluded = "pattern";
    }
    return record;
}

ScanRecord RecordOf(const CFileData* file, const CScanExtras* extras)
{
    const ScanRecord* kept = extras ? extras->Find(file) : nullptr;
    ScanRecord record;
    if (kept) {
        record = *kept;
    } else {
        // Walked here: the model has it all.
        record.present = ScanRecord::Asize | ScanRecord::Dsize;
        record.asize = file->GetSize();
        record.dsize = file->GetSizeOnDisk();
        if (file->GetLastWriteTime() != 0) {
            record.present |= ScanRecord::Mtime;
            record.mtime = UnixSeconds(file->GetLastWriteTime());
        }
    }
    record.name = file->GetName().ToStdString();
    return record;
}
} // namespace

bool WriteTree(const std::vector<CFolderData*>& drives, const CScanExtras* extras, IScanSink& sink)
{
    const bool holdsRoots = drives.size() != 1;
    ScanRecord holder;
    holder.name = "/";
    holder.present = ScanRecord::Roots;
    if (holdsRoots && !sink.OpenFolder(holder))
        return false;
    struct Level {
        std::vector<CFolderData*> folders;
        std::size_t next;
    };
    std::vector<Level> stack;
    const auto enter = [&](const CFolderData* folder) {
        if (!sink.OpenFolder(RecordOf(folder, extras)))
            return false;
        for (const CFileData* file : folder->GetFiles())
            if (!sink.AddFile(RecordOf(file, extras)))
                return false;
        stack.push_back({folder->GetFolders(), 0});
        return true;
    };
    for (const CFolderData* drive : drives) {
        if (!enter(drive))
            return false;
        while (!stack.empty()) {
            Level& top = stack.back();
            if (top.next == top.folders.size()) {
                stack.pop_back();
                if (!sink.CloseFolder())
                    return false;
                continue;
            }
            if (!enter(top.folders[top.next++]))
                return false;
        }
    }
    return !holdsRoots || sink.CloseFolder();
}

} // namespace Velmora::ScanFile
