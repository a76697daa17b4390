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
    CString(const CString& other) noexcept : m_handle(other.m_handle) { Retain(); }
    CString(CString&& other) noexcept : m_handle(other.m_handle) { other.m_handle = 0; }
    CString& operator=(const CString& other) noexcept
    {
        if (m_handle != other.m_handle) {
            const std::uintptr_t kept = other.m_handle;
            if (kept)
                RefsOf(kept).fetch_add(1, std::memory_order_relaxed);
            Release();
            m_handle = kept;
        }
        return *this;
    }
    CString& operator=(CString&& other) noexcept
    {
        if (this != &other) {
            Release();
            m_handle = other.m_handle;
            other.m_handle = 0;
        }
        return *this;
    }
    ~CString() { Release(); }

    std::size_t GetLength() const noexcept
    {
        if (m_handle & kShort)
            return m_handle >> kAddressBits;
        return m_handle ? reinterpret_cast<const Buffer*>(m_handle)->length : 0;
    }
    bool IsEmpty() const noexcept { return m_handle == 0; }
    const char* GetString() const noexcept
    {
        if (m_handle & kShort)
            return reinterpret_cast<const char*>((m_handle & kAddressMask) + kShortHeader);
        return m_handle ? reinterpret_cast<const Buffer*>(m_handle)->text : "";
    }
    std::string_view View() const noexcept { return std::string_view(GetString(), GetLength()); }
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
    // One allocation per distinct text: a reference count, then the bytes
    // with a terminating zero. A file tree holds a million names, so a short
    // text (up to 123 bytes, nearly every name) has a 4-byte header,
    // comes from a pool of 4-byte size steps and keeps its length in the
    // top bits of the handle, above the 48 bits of a user-space address,
    // tagged by the low bit. A longer text comes from the heap with its
    // length after the count.
    struct Buffer {
        std::atomic<std::uint32_t> refs;
        std::uint32_t length;
        char text[1];
    };
    static constexpr std::uintptr_t kShort = 1;
    static constexpr unsigned kAddressBits = 48;
    static constexpr std::uintptr_t kAddressMask = ((std::uintptr_t{1} << kAddressBits) - 1) & ~kShort;
    static constexpr std::size_t kShortHeader = sizeof(std::uint32_t);

    static std::atomic<std::uint32_t>& RefsOf(std::uintptr_t handle) noexcept
    {
        return *reinterpret_cast<std::atomic<std::uint32_t>*>(handle & kShort ? handle & kAddressMask : handle);
    }
    static std::uintptr_t Allocate(std::string_view first, std::string_view second);
    static void Free(std::uintptr_t handle) noexcept;
    void Assign(std::string_view text);
    void Retain() noexcept
    {
        if (m_handle)
            RefsOf(m_handle).fetch_add(1, std::memory_order_relaxed);
    }
    void Release() noexcept
    {
        if (m_handle && RefsOf(m_handle).fetch_sub(1, std::memory_order_acq_rel) == 1)
            Free(m_handle);
        m_handle = 0;
    }

    std::uintptr_t m_handle = 0; // 0 for the empty string
};

} // namespace Kestrum::Common
