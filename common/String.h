// CString: the library's own narrow string, kept as a type distinct from
// std::string so that overloads for value codes 1 and 2 never collide.
//
// Content semantics are those of std::string (bytes, UTF-8 by convention).
// Copies share one immutable buffer; a write detaches first, so copying is
// cheap and a CString may be copied on one thread while another reads its own
// copy. One CString object itself belongs to one thread at a time.
#pragma once

#include <compare>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace Kestrum::Common {

class CString {
public:
    CString() noexcept = default;
    explicit CString(const char* text) { Assign(text ? std::string_view(text) : std::string_view()); }
    CString(const char* data, std::size_t length) { Assign(std::string_view(data ? data : "", data ? length : 0)); }
    explicit CString(std::string_view text) { Assign(text); }
    explicit CString(const std::string& text) { Assign(text); }

    std::size_t GetLength() const noexcept { return m_text ? m_text->size() : 0; }
    bool IsEmpty() const noexcept { return GetLength() == 0; }
    const char* GetString() const noexcept { return m_text ? m_text->c_str() : ""; }
    std::string_view View() const noexcept { return m_text ? std::string_view(*m_text) : std::string_view(); }
    std::string ToStdString() const { return std::string(View()); }
    char operator[](std::size_t index) const { return View()[index]; }

    void Empty() noexcept { m_text.reset(); }
    CString& operator=(std::string_view text) { Assign(text); return *this; }
    CString& operator=(const char* text) { Assign(text ? std::string_view(text) : std::string_view()); return *this; }
    CString& operator+=(std::string_view text);
    CString& operator+=(const CString& other) { return *this += other.View(); }
    CString& operator+=(char c) { return *this += std::string_view(&c, 1); }

    friend bool operator==(const CString& a, const CString& b) noexcept { return a.View() == b.View(); }
    friend bool operator==(const CString& a, std::string_view b) noexcept { return a.View() == b; }
    friend std::strong_ordering operator<=>(const CString& a, const CString& b) noexcept { return a.View() <=> b.View(); }
    friend CString operator+(CString a, std::string_view b) { a += b; return a; }

private:
    void Assign(std::string_view text);
    std::shared_ptr<const std::string> m_text; // null for the empty string
};

} // namespace Kestrum::Common
