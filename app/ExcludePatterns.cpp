#include "app/ExcludePatterns.h"

namespace Velmora {

namespace {
std::string Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    while (text.size() > 1 && text.back() == '/')
        text.remove_suffix(1);
    return std::string(text);
}
} // namespace

CExcludePatterns::CExcludePatterns(const std::vector<std::string>& patterns)
{
    for (const std::string& pattern : patterns) {
        std::string trimmed = Trimmed(pattern);
        if (trimmed.empty())
            continue;
        // A bare name: that folder wherever it lies.
        if (trimmed.find('/') == std::string::npos)
            trimmed.insert(0, "**/");
        m_patterns.push_back(std::move(trimmed));
    }
}

CExcludePatterns CExcludePatterns::FromText(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return CExcludePatterns(lines);
}

bool CExcludePatterns::Matches(std::string_view path) const
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    for (const std::string& pattern : m_patterns)
        if (Glob(pattern, path))
            return true;
    return false;
}

bool CExcludePatterns::Glob(std::string_view pattern, std::string_view path)
{
    // Dynamic programming over (pattern position, path position): no
    // backtracking, so no pattern costs more than their product.
    const std::size_t n = path.size();
    std::vector<char> row(n + 1, 0), next(n + 1, 0);
    row[0] = 1;
    for (std::size_t p = 0; p < pattern.size();) {
        const bool star = pattern[p] == '*';
        const bool deep = star && p + 1 < pattern.size() && pattern[p + 1] == '*';
        std::fill(next.begin(), next.end(), 0);
        if (star) {
            for (std::size_t i = 0; i <= n; ++i)
                next[i] = row[i] || (i > 0 && next[i - 1] && (deep || path[i - 1] != '/'));
            p += deep ? 2 : 1;
        } else {
            for (std::size_t i = 1; i <= n; ++i)
                next[i] = row[i - 1] && (pattern[p] == '?' ? path[i - 1] != '/' : pattern[p] == path[i - 1]);
            ++p;
        }
        row.swap(next);
    }
    return row[n] != 0;
}

} // namespace Velmora
