#include "common/String.h"

namespace Kestrum::Common {

void CString::Assign(std::string_view text)
{
    if (text.empty())
        m_text.reset();
    else
        m_text = std::make_shared<const std::string>(text);
}

CString& CString::operator+=(std::string_view text)
{
    if (text.empty())
        return *this;
    std::string joined;
    joined.reserve(GetLength() + text.size());
    joined.append(View());
    joined.append(text);
    m_text = std::make_shared<const std::string>(std::move(joined));
    return *this;
}

} // namespace Kestrum::Common
