// Folders a walk leaves out: glob patterns matched against a folder's full
// path. `*` and `?` stay within one path component, `**` spans components
// ("**/node_modules", "/home/*/.cache"); a pattern without a "/" names a
// folder anywhere. A matched folder is shown but never opened.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Velmora {

class CExcludePatterns {
public:
    CExcludePatterns() = default;
    // Blank entries are dropped, surrounding blanks and a trailing "/" trimmed.
    explicit CExcludePatterns(const std::vector<std::string>& patterns);
    // One pattern per line.
    static CExcludePatterns FromText(std::string_view text);

    bool IsEmpty() const noexcept { return m_patterns.empty(); }
    const std::vector<std::string>& Patterns() const noexcept { return m_patterns; }
    bool Matches(std::string_view path) const;

    // One glob against one path (exposed for tests).
    static bool Glob(std::string_view pattern, std::string_view path);

private:
    std::vector<std::string> m_patterns;
};

} // namespace Velmora
