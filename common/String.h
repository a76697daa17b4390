// CString: the library's own narrow string, kept as a type distinct from
// std::string so that overloads for value codes 1 and 2 never collide.
//
// Content semantics are those of std::string (bytes, UTF-8 by convention).
// Copies share one immutable buffer; a write detaches first, so copying is
// cheap and a CString may be copied on one thread while another reads its own
// copy. One CString object itself belongs to one thread at a time.
#pragma once

#include "common/Export.h"

#include <compare>
#include <cstddef>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace Kestrum::Common {

class KESTRUM_COMMON_EXPORT CString {
public:
    CString() noexcept = default;
    explicit CString(const char* text) { Assign(text ? std::string_view(text) : std::string_view()); }
    CString(const char* data, std::size_t length) { Assign(std::string_view(data ? data : "", data ? length : 0)); }
    explicit CString(std::string_view text) { Assign(text); }
    explicit CString(const std::string& text) { Assign(text); }
    CString(const CString& other) noexcept : m_buffer(other.m_buffer) { Retain(); }
    CString(CString&& other) noexcept : m_buffer(other.m_buffer) { other.m_buffer = nullptr; }
    CString& operator=(const CString& other) noexcept
    {
        if (m_buffer != other.m_buffer) {
            Buffer* kept = other.m_buffer;
            if (kept)
                kept->refs.fetch_add(1, std::memory_order_relaxed);
            Release();
            m_buffer = kept;
        }
        return *this;
    }
    CString& operator=(CString&& other) noexcept
    {
        if (this != &other) {
            Release();
            m_buffer = other.m_buffer;
            other.m_buffer = nullptr;
        }
        return *this;
    }
    ~CString() { Release(); }

    std::size_t GetLength() const noexcept { return m_buffer ? m_buffer->length : 0; }
    bool IsEmpty() const noexcept { return m_buffer == nullptr; }
    const char* GetString() const noexcept { return m_buffer ? m_buffer->text : ""; }
    std::string_view View() const noexcept
    {
        return m_buffer ? std::string_view(m_buffer->text, m_buffer->length) : std::string_view();
    }
    std::string ToStdString() const { return std::string(View()); }
    char operator[](std::size_t index) const { return View()[index]; }

    void Empty() noexcept { Release(); }
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
    // One allocation per distinct text: the count, the length and the bytes
    // with a terminating zero. A file tree holds hundreds of thousands of
    // names, so the header is kept to eight bytes.
    struct Buffer {
        std::atomic<std::uint32_t> refs;
        std::uint32_t length;
        char text[1];
    };
    static Buffer* Allocate(std::string_view first, std::string_view second);
    static void Free(Buffer* buffer) noexcept;
    void Assign(std::string_view text);
    void Retain() noexcept
    {
        if (m_buffer)
            m_buffer->refs.fetch_add(1, std::memory_order_relaxed);
    }
    void Release() noexcept
    {
        if (m_buffer && m_buffer->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            Free(m_buffer);
        m_buffer = nullptr;
    }

    Buffer* m_buffer = nullptr; // null for the empty string
};

} // namespace Kestrum::Common
