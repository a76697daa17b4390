// A temporary folder for file-system tests, removed with everything in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace Velmora::Test {

class CTempTree {
public:
    // In `base`, or in the system's temporary folder.
    explicit CTempTree(const std::filesystem::path& base = std::filesystem::temp_directory_path())
    {
        std::string pattern = (base / "velmora-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_root = pattern;
    }
    ~CTempTree()
    {
        // Make every folder writable again so it can be removed.
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(
                 m_root, std::filesystem::directory_options::skip_permission_denied, error);
             it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_directory(error) && !it->is_symlink(error))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, error);
        }
        std::filesystem::remove_all(m_root, error);
    }
    CTempTree(const CTempTree&) = delete;
    CTempTree& operator=(const CTempTree&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path Dir(const std::string& relative) const
    {
        std::filesystem::create_directories(m_root / relative);
        return m_root / relative;
    }
    std::filesystem::path File(const std::string& relative, std::size_t bytes = 0) const
    {
        const auto path = m_root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << std::string(bytes, 'x');
        return path;
    }

private:
    std::filesystem::path m_root;
};

} // namespace Velmora::Test
