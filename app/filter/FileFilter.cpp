#include "app/filter/FileFilter.h"

#include <cctype>
#include <cmath>

#include "app/FileSystemData.h"

namespace Velmora {

namespace {
char Fold(char c, bool caseSensitive)
{
    return caseSensitive || c < 'A' || c > 'Z' ? c : static_cast<char>(c - 'A' + 'a');
}
bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
} // namespace

CNameGlob::CNameGlob(std::string_view pattern, bool caseSensitive) : m_caseSensitive(caseSensitive)
{
    const bool wild = pattern.find_first_of("*?[") != std::string_view::npos;
    if (!wild && !pattern.empty()) // a plain word is looked for anywhere
        m_tokens.push_back({Token::AnyRun, false, {}});
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '*') {
            if (m_tokens.empty() || m_tokens.back().kind != Token::AnyRun)
                m_tokens.push_back({Token::AnyRun, false, {}});
        } else if (c == '?') {
            m_tokens.push_back({Token::AnyOne, false, {}});
        } else if (c == '[' && pattern.find(']', i + 2) != std::string_view::npos) {
            Token token{Token::Class, false, {}};
            std::size_t j = i + 1;
            if (pattern[j] == '!' || pattern[j] == '^') {
                token.negated = true;
                ++j;
            }
            // A ']' right after the opening is a member.
            for (bool first = true; j < pattern.size() && (first || pattern[j] != ']'); ++j, first = false) {
                const char low = Fold(pattern[j], caseSensitive);
                char high = low;
                if (j + 2 < pattern.size() && pattern[j + 1] == '-' && pattern[j + 2] != ']') {
                    high = Fold(pattern[j + 2], caseSensitive);
                    j += 2;
                }
                token.text += low;
                token.text += high;
            }
            m_tokens.push_back(std::move(token));
            i = j;
        } else {
            if (m_tokens.empty() || m_tokens.back().kind != Token::Literal)
                m_tokens.push_back({Token::Literal, false, {}});
            m_tokens.back().text += Fold(c, caseSensitive);
        }
    }
    if (!wild && !pattern.empty())
        m_tokens.push_back({Token::AnyRun, false, {}});
}

bool CNameGlob::MatchesToken(const Token& token, std::string_view name, std::size_t& at) const
{
    switch (token.kind) {
    case Token::Literal:
        if (name.size() - at < token.text.size())
            return false;
        for (std::size_t k = 0; k < token.text.size(); ++k)
            if (Fold(name[at + k], m_caseSensitive) != token.text[k])
                return false;
        at += token.text.size();
        return true;
    case Token::AnyOne:
        if (at >= name.size())
            return false;
        ++at; // one character: its continuation bytes go with it
        while (at < name.size() && IsContinuation(name[at]))
            ++at;
        return true;
    case Token::Class: {
        if (at >= name.size())
            return false;
        const char c = Fold(name[at], m_caseSensitive);
        bool in = false;
        for (std::size_t k = 0; k + 1 < token.text.size() && !in; k += 2)
            in = c >= token.text[k] && c <= token.text[k + 1];
        if (in == token.negated)
            return false;
        ++at;
        return true;
    }
    case Token::AnyRun:
        break;
    }
    return false;
}

bool CNameGlob::Matches(std::string_view name) const
{
    // Backtracking to the last star only: each star takes one more
    // character when what follows it fails, so a match costs at most the
    // name's length times the pattern's.
    std::size_t token = 0, at = 0;
    std::size_t starToken = std::string::npos, starAt = 0;
    while (true) {
        if (token < m_tokens.size() && m_tokens[token].kind == Token::AnyRun) {
            starToken = token++;
            starAt = at;
            if (token == m_tokens.size())
                return true; // a closing star takes the rest
            continue;
        }
        if (token == m_tokens.size()) {
            if (at == name.size())
                return true;
        } else {
            std::size_t next = at;
            if (MatchesToken(m_tokens[token], name, next)) {
                at = next;
                ++token;
                continue;
            }
        }
        if (starToken == std::string::npos || starAt >= name.size())
            return false;
        at = ++starAt;
        token = starToken + 1;
    }
}

bool CFileFilter::SetCriteria(const FilterCriteria& criteria, std::string* error)
{
    std::unique_ptr<std::regex> regex;
    if (criteria.regex && !criteria.pattern.empty()) {
        try {
            auto flags = std::regex::ECMAScript | std::regex::optimize;
            if (!criteria.caseSensitive)
                flags |= std::regex::icase;
            regex = std::make_unique<std::regex>(criteria.pattern, flags);
        } catch (const std::regex_error& e) {
            if (error)
                *error = e.what();
            return false;
        }
    }
    m_criteria = criteria;
    m_regex = std::move(regex);
    m_glob = criteria.regex ? CNameGlob() : CNameGlob(criteria.pattern, criteria.caseSensitive);
    return true;
}

bool CFileFilter::MatchesName(std::string_view name) const
{
    if (m_criteria.pattern.empty())
        return true;
    if (m_regex)
        return std::regex_search(name.begin(), name.end(), *m_regex);
    return m_glob.Matches(name);
}

bool CFileFilter::Matches(Kestrum::Common::CDataObject* object) const
{
    if (const auto* file = dynamic_cast<const CFileData*>(object)) {
        return m_criteria.kind != FilterKind::Folders && file->GetSize() >= m_criteria.minSize &&
               MatchesName(file->GetName().View());
    }
    if (const auto* folder = dynamic_cast<const CFolderData*>(object)) {
        return m_criteria.kind != FilterKind::Files && folder->GetSize() >= m_criteria.minSize &&
               MatchesName(folder->GetName().View());
    }
    return false;
}

std::int64_t ParseSize(std::string_view text)
{
    std::string s;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (s.empty())
        return 0;
    std::size_t used = 0;
    double number = 0;
    try {
        number = std::stod(s, &used);
    } catch (const std::exception&) {
        return -1;
    }
    std::string unit = s.substr(used);
    if (unit.size() > 1 && unit.back() == 'b')
        unit.pop_back();
    if (unit.size() == 2 && unit.back() == 'i')
        unit.pop_back();
    static const std::string kUnits = "kmgtp";
    double scale = 1;
    if (unit == "b" || unit.empty())
        scale = 1;
    else if (unit.size() == 1 && kUnits.find(unit[0]) != std::string::npos)
        scale = std::pow(1024.0, static_cast<double>(kUnits.find(unit[0]) + 1));
    else
        return -1;
    const double bytes = number * scale;
    if (!(bytes >= 0) || bytes > 9.0e18)
        return -1;
    return static_cast<std::int64_t>(std::llround(bytes));
}

} // namespace Velmora
