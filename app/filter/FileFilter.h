// CNameGlob and CFileFilter: what the filter bar asks of a file or folder,
// without Qt. A glob is matched against the whole name (`*` any run, `?` one
// character, `[a-z]`, `[!...]`); a pattern without any of `*?[` is looked
// for anywhere in the name. Case is folded for ASCII letters unless asked.
// A regular expression (ECMAScript) is searched for in the name.
#pragma once

#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace Kestrum::Common {
class CDataObject;
}

namespace Velmora {

class CNameGlob {
public:
    CNameGlob() = default;
    explicit CNameGlob(std::string_view pattern, bool caseSensitive = false);
    bool Matches(std::string_view name) const;
    bool IsEmpty() const noexcept { return m_tokens.empty(); }

private:
    struct Token {
        enum Kind : std::uint8_t { Literal, AnyOne, AnyRun, Class } kind;
        bool negated = false;
        std::string text; // the literal, or the class as ranges: pairs of bytes
    };
    bool MatchesToken(const Token& token, std::string_view name, std::size_t& at) const;
    std::vector<Token> m_tokens;
    bool m_caseSensitive = false;
};

// Which rows the filter may take; the others show only as the path to one.
enum class FilterKind : int { Both = 0, Files = 1, Folders = 2 };

struct FilterCriteria {
    std::string pattern;
    bool regex = false;
    bool caseSensitive = false;
    std::int64_t minSize = 0;
    FilterKind kind = FilterKind::Both;
    // Nothing to narrow by.
    bool IsEmpty() const { return pattern.empty() && minSize <= 0 && kind == FilterKind::Both; }
};

class CFileFilter {
public:
    // False (and `error` says why) when the regular expression does not parse.
    bool SetCriteria(const FilterCriteria& criteria, std::string* error = nullptr);
    const FilterCriteria& Criteria() const noexcept { return m_criteria; }
    // A file or folder object (anything else never matches).
    bool Matches(Kestrum::Common::CDataObject* object) const;
    bool MatchesName(std::string_view name) const;

private:
    FilterCriteria m_criteria;
    CNameGlob m_glob;
    std::unique_ptr<std::regex> m_regex;
};

// "1.5G", "500 MiB", "10k", "1234": bytes (binary units; a trailing "B",
// "iB" or spaces allowed); -1 when the text is not a size, 0 when empty.
std::int64_t ParseSize(std::string_view text);

} // namespace Velmora
