#include "common/String.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace Kestrum::Common {

CString::Buffer* CString::Allocate(std::string_view first, std::string_view second)
{
    const std::size_t length = first.size() + second.size();
    if (length > std::numeric_limits<std::uint32_t>::max() - 16)
        throw std::length_error("CString: text too long");
    void* memory = ::operator new(std::max(sizeof(Buffer), offsetof(Buffer, text) + length + 1));
    auto* buffer = new (memory) Buffer{{1}, static_cast<std::uint32_t>(length), {}};
    if (!first.empty())
        std::memcpy(buffer->text, first.data(), first.size());
    if (!second.empty())
        std::memcpy(buffer->text + first.size(), second.data(), second.size());
    buffer->text[length] = '\0';
    return buffer;
}

void CString::Assign(std::string_view text)
{
    // The new text may be a view of this string's own buffer.
    Buffer* replacement = text.empty() ? nullptr : Allocate(text, {});
    Release();
    m_buffer = replacement;
}

CString& CString::operator+=(std::string_view text)
{
    if (text.empty())
        return *this;
    Buffer* joined = Allocate(View(), text);
    Release();
    m_buffer = joined;
    return *this;
}

} // namespace Kestrum::Common
