// CVelmoraDoc: the document. It owns the folder scanner and with it the whole
// tree of folders and files; the scanner starts when the document is created.
//
// Closing: the stop is requested, the grid is put into closing (so a scanner
// call waiting for the GUI thread is answered at once), the scanner thread is
// joined, and only then is the tree freed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/FolderScanner.h"

namespace Velmora {

namespace ScanFile {
class CScanImport;
}

class CVelmoraDoc {
public:
    // No roots: the machine's local disks.
    explicit CVelmoraDoc(std::vector<std::string> roots,
                         std::shared_ptr<IScanFileSystem> fileSystem = std::make_shared<CLocalFileSystem>());
    ~CVelmoraDoc();

    CFolderScanner& Scanner() noexcept { return *m_scanner; }
    void Start();
    // Requests the stop and waits up to a second; the destructor joins.
    void RequestClose();
    // A new scanner over the same roots, not started: the old one and its
    // tree go (no row may show them any more).
    void Renew();
    // What the next Renew shows: a walk of `folder`, or the scan saved in
    // `file`. Either names the document (ShownName).
    void ShowFolder(const std::string& folder);
    void ShowScanFile(const std::string& file);
    // The scan file being shown (null while walking).
    ScanFile::CScanImport* ScanFileImport() const;
    // The chosen folder's or scan file's name, for the title; empty for the
    // roots the document was made with.
    const std::string& ShownName() const noexcept { return m_shownName; }

    // Folders the next walk or refresh leaves out: the command line's
    // patterns and the settings' text (one pattern per line), together.
    void SetCommandLineExcludes(std::vector<std::string> patterns);
    void SetExcludedFolders(const std::string& text);
    const std::string& ExcludedFolders() const noexcept { return m_excludedText; }
    // Whether the next walk or refresh enters other file systems than its
    // drives' (no by default).
    void SetEnterOtherFileSystems(bool enter);
    bool EntersOtherFileSystems() const noexcept { return m_enterOthers; }

private:
    std::unique_ptr<CFolderScanner> MakeScanner() const;
    CExcludePatterns ExcludePatterns() const;

    std::vector<std::string> m_roots;
    std::string m_scanFile; // empty: walk the roots
    std::string m_shownName;
    std::vector<std::string> m_commandLineExcludes;
    std::string m_excludedText;
    bool m_enterOthers = false;
    std::shared_ptr<IScanFileSystem> m_fileSystem;
    std::unique_ptr<CFolderScanner> m_scanner;
};

} // namespace Velmora
