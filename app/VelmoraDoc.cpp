#include "app/VelmoraDoc.h"

namespace Velmora {

CVelmoraDoc::CVelmoraDoc(std::vector<std::string> roots, std::shared_ptr<IScanFileSystem> fileSystem)
    : m_roots(std::move(roots)), m_fileSystem(std::move(fileSystem)),
      m_scanner(std::make_unique<CFolderScanner>(m_roots, m_fileSystem))
{
}

void CVelmoraDoc::Renew()
{
    m_scanner->RequestStop();
    m_scanner.reset();
    m_scanner = std::make_unique<CFolderScanner>(m_roots, m_fileSystem);
}

CVelmoraDoc::~CVelmoraDoc()
{
    // The scanner's destructor joins its thread before it frees the tree.
    m_scanner->RequestStop();
    m_scanner.reset();
}

void CVelmoraDoc::Start() { m_scanner->Start(); }

void CVelmoraDoc::RequestClose()
{
    m_scanner->RequestStop();
    m_scanner->Wait(1000);
}

} // namespace Velmora
