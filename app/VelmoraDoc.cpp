#include "app/VelmoraDoc.h"

namespace Velmora {

CVelmoraDoc::CVelmoraDoc(std::vector<std::string> roots)
    : m_scanner(std::make_unique<CFolderScanner>(std::move(roots)))
{
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
