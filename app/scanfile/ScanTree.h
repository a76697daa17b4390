// Saved scans and the data model: CScanImport builds the tree of a scan
// file on the scanner's thread (announcing each entry as a walk does, so
// the window fills the same way), and WriteTree writes a tree back.
//
// What the model has no place for (a folder's own sizes, device, inode and
// time, the inode and links of a hard-linked file, why an entry was
// excluded) is kept beside the tree, per object, so writing an imported
// tree keeps every member that was read.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/FolderScanner.h"
#include "app/scanfile/ScanJsonReader.h"
#include "app/scanfile/ScanRecord.h"

namespace Velmora::ScanFile {

// The members of imported entries the model does not hold, by object.
class CScanExtras {
public:
    void Keep(const void* object, const ScanRecord& record);
    const ScanRecord* Find(const void* object) const;
    std::size_t Size() const { return m_records.size(); }

private:
    std::unordered_map<const void*, ScanRecord> m_records;
};

class CScanImport : public IScanImport {
public:
    explicit CScanImport(std::string path) : m_path(std::move(path)) {}
    void Import(CFolderScanner& scanner) override;

    const std::string& Path() const noexcept { return m_path; }
    // Once the scanner has finished: the outcome (ok, stopped, or the error).
    ReadOutcome Outcome() const;
    // Progress while reading (any thread).
    std::uint64_t BytesRead() const noexcept { return m_done.load(std::memory_order_relaxed); }
    std::uint64_t BytesTotal() const noexcept { return m_total.load(std::memory_order_relaxed); }
    // Once the scanner has finished.
    const CScanExtras& Extras() const noexcept { return m_extras; }

private:
    std::string m_path;
    std::atomic<std::uint64_t> m_done{0}, m_total{0};
    mutable std::mutex m_mutex;
    ReadOutcome m_outcome;
    CScanExtras m_extras;
};

// Builds a tree from a reader's events through a scanner's import calls.
class CTreeBuilder : public IScanSink {
public:
    CTreeBuilder(CFolderScanner& scanner, CScanExtras& extras) : m_scanner(scanner), m_extras(extras) {}
    bool OpenFolder(const ScanRecord& folder) override;
    bool AddFile(const ScanRecord& file) override;
    bool CloseFolder() override;
    // Ends the populating marks of the folders a file cut short or a stop
    // left open.
    void CloseOpenFolders();

private:
    struct Frame {
        CFolderData* folder; // null: the holder of several roots
        std::uint64_t device;
    };
    struct InodeKey {
        std::uint64_t device, inode;
        bool operator==(const InodeKey&) const = default;
    };
    struct InodeHash {
        std::size_t operator()(const InodeKey& key) const noexcept { return std::hash<std::uint64_t>()(key.inode * 31 + key.device); }
    };
    CFolderScanner& m_scanner;
    CScanExtras& m_extras;
    std::vector<Frame> m_stack;
    std::unordered_map<InodeKey, bool, InodeHash> m_counted; // hard-linked inodes whose blocks are counted
};

// Writes the drives (several below a holder of roots, as ExportWalk does) with what `extras`
// kept of them. False when the sink refused.
bool WriteTree(const std::vector<CFolderData*>& drives, const CScanExtras* extras, IScanSink& sink);

} // namespace Velmora::ScanFile
