#include "common/Field.h"

#include "common/Format.h"

namespace Kestrum::Common {

namespace {
// Descriptors are written with a macro that passes a missing setter as the
// literal 0, so a text starting with '0' stands for "none".
std::string DescriptiveText(const char* text)
{
    if (!text || text[0] == '\0' || text[0] == '0')
        return {};
    return text;
}
} // namespace

CField::CField(FieldId id, const char* caption, FieldType type, CFormat* format, const char* getterName,
               const char* setterName)
    : m_id(id), m_caption(DescriptiveText(caption)), m_type(type), m_format(format),
      m_getterName(DescriptiveText(getterName)), m_setterName(DescriptiveText(setterName))
{
}

CField::CField(const CField& other) { *this = other; }

CField& CField::operator=(const CField& other)
{
    if (this == &other)
        return *this;
    CFormat* format = other.m_format ? other.m_format->Clone() : nullptr;
    auto getter = other.m_getter ? other.m_getter->Clone() : nullptr;
    auto setter = other.m_setter ? other.m_setter->Clone() : nullptr;
    m_type = other.m_type;
    m_id = other.m_id;
    m_caption = other.m_caption;
    m_getter = std::move(getter);
    m_setter = std::move(setter);
    delete m_format;
    m_format = format;
    m_getterName = other.m_getterName;
    m_setterName = other.m_setterName;
    return *this;
}

CField::~CField() { delete m_format; }

CField* CField::Clone() const { return new CField(*this); }

} // namespace Kestrum::Common
