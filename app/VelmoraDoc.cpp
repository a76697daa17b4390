#include "app/VelmoraDoc.h"

#include <filesystem>

#include "app/scanfile/ScanTree.h"

namespace Velmora {

CVelmoraDoc::CVelmoraDoc(std::vector<std::string> roots, std::shared_ptr<IScanFileSystem> fileSystem)
    : m_roots(std::move(roots)), m_fileSystem(std::move(fileSystem)),
      m_scanner(std::make_unique<CFolderScanner>(m_roots, m_fileSystem))
{
}

std::unique_ptr<CFolderScanner> CVelmoraDoc::MakeScanner() const
{
    if (!m_scanFile.empty())
        return std::make_unique<CFolderScanner>(CFolderScanner::FromImport{}, std::make_shared<ScanFile::CScanImport>(m_scanFile),
                                                m_fileSystem);
    auto scanner = std::make_unique<CFolderScanner>(m_roots, m_fileSystem);
    scanner->SetExcludePatterns(ExcludePatterns());
    scanner->SetEnterOtherFileSystems(m_enterOthers);
    return scanner;
}

CExcludePatterns CVelmoraDoc::ExcludePatterns() const
{
    std::vector<std::string> patterns = m_commandLineExcludes;
    const CExcludePatterns fromText = CExcludePatterns::FromText(m_excludedText);
    const std::vector<std::string>& stored = fromText.Patterns();
    patterns.insert(patterns.end(), stored.begin(), stored.end());
    return CExcludePatterns(patterns);
}

void CVelmoraDoc::SetCommandLineExcludes(std::vector<std::string> patterns)
{
    m_commandLineExcludes = std::move(patterns);
    m_scanner->SetExcludePatterns(ExcludePatterns());
}

void CVelmoraDoc::SetExcludedFolders(const std::string& text)
{
    m_excludedText = text;
    m_scanner->SetExcludePatterns(ExcludePatterns());
}

void CVelmoraDoc::SetEnterOtherFileSystems(bool enter)
{
    m_enterOthers = enter;
    m_scanner->SetEnterOtherFileSystems(enter);
}

void CVelmoraDoc::Renew()
{
    m_scanner->RequestStop();
    m_scanner.reset();
    m_scanner = MakeScanner();
}

namespace {
std::string LastComponent(const std::string& path)
{
    const std::string name = std::filesystem::path(path).lexically_normal().filename().string();
    if (!name.empty())
        return name;
    const std::string parent = std::filesystem::path(path).lexically_normal().parent_path().filename().string();
    return parent.empty() ? path : parent;
}
} // namespace

void CVelmoraDoc::ShowFolder(const std::string& folder)
{
    m_roots = {folder};
    m_scanFile.clear();
    m_shownName = LastComponent(folder);
}

void CVelmoraDoc::ShowScanFile(const std::string& file)
{
    m_roots.clear();
    m_scanFile = file;
    m_shownName = LastComponent(file);
}

ScanFile::CScanImport* CVelmoraDoc::ScanFileImport() const
{
    return dynamic_cast<ScanFile::CScanImport*>(m_scanner->Import());
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
