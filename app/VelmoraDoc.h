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

private:
    std::vector<std::string> m_roots;
    std::shared_ptr<IScanFileSystem> m_fileSystem;
    std::unique_ptr<CFolderScanner> m_scanner;
};

} // namespace Velmora
