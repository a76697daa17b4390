// The reflectors that edit a cell as text: the plain edit box of the default
// reflector and the numeric edit box (CNumericEdit) of the integer, floating-
// point and duration reflectors.
//
// The control starts with the cell's display text, stripped of every
// character the reflector does not accept ("1 234" of a grouped long becomes
// "1234"), wholly selected, aligned as the column (a column of automatic
// alignment: right for numbers, left otherwise). While it is open, Left and
// Right leave it only from the matching end of its text with nothing
// selected, and a right-button press stays with it. Its text is written back
// through the grid's CGrid::SetCellValueText.
#pragma once

#include "gui/platform/Export.h"

#include "common/IntegerFormats.h"
#include "gui/edit/ControlReflector.h"

namespace Kestrum::GUI {

// What the integer reflectors keep of the display text.
inline constexpr const char* kSignedIntegerCharacters = "0123456789abcdefABCDEF.,-+xX";
inline constexpr const char* kUnsignedIntegerCharacters = "0123456789abcdefABCDEF.,+xX";

class KESTRUM_GUI_EXPORT CTextReflector : public CControlReflector {
public:
    bool CreateControl(const EditCell& cell, Common::CFormat* format) override;
    bool FilterInput(const EditCell& cell, int code) override;
    bool ApplyValue(const EditCell& cell, std::uint32_t flags) override;

    // The initial text: the display text stripped of what is not kept.
    std::string InitialText(const std::string& displayText) const;
    // The numeric edit's mode for the format; -1 for a plain edit box.
    virtual std::int32_t EditMode(const Common::CFormat* format) const = 0;

protected:
    // The characters kept of the display text (null: all of them).
    virtual const char* KeptCharacters() const { return nullptr; }
};

// Orders 8 to 12: hexadecimal (mode 2) when the format is exactly the
// type's standard class in its hexadecimal mode, else decimal (mode 1).
template <class Format> class CWordReflector : public CTextReflector {
public:
    CWordReflector(Common::FieldType type, const char* className, bool isSigned)
        : m_type(type), m_className(className), m_signed(isSigned)
    {
    }
    bool IsApplicable(const Common::CFormat* format) const override { return format && format->GetValueType() == m_type; }
    std::int32_t EditMode(const Common::CFormat* format) const override
    {
        const auto* exact = IsFormatClass(format, m_className) ? dynamic_cast<const Format*>(format) : nullptr;
        return exact && exact->GetMode() == 1 ? 2 : 1;
    }

protected:
    const char* KeptCharacters() const override { return m_signed ? kSignedIntegerCharacters : kUnsignedIntegerCharacters; }

private:
    Common::FieldType m_type;
    const char* m_className;
    bool m_signed;
};

// Orders 6 and 7: for a format of exactly their class, hexadecimal (mode 2)
// in its mode 1, decimal (mode 1) in its mode 0, else one character (mode 3).
template <class Format> class CByteReflector : public CTextReflector {
public:
    CByteReflector(Common::FieldType type, const char* className, bool isSigned)
        : m_type(type), m_className(className), m_signed(isSigned)
    {
    }
    bool IsApplicable(const Common::CFormat* format) const override { return format && format->GetValueType() == m_type; }
    std::int32_t EditMode(const Common::CFormat* format) const override
    {
        const auto* exact = IsFormatClass(format, m_className) ? dynamic_cast<const Format*>(format) : nullptr;
        if (!exact)
            return 3;
        return exact->GetMode() == 1 ? 2 : exact->GetMode() == 0 ? 1 : 3;
    }

protected:
    const char* KeptCharacters() const override { return m_signed ? kSignedIntegerCharacters : kUnsignedIntegerCharacters; }

private:
    Common::FieldType m_type;
    const char* m_className;
    bool m_signed;
};

class KESTRUM_GUI_EXPORT CCharReflector final : public CByteReflector<Common::CCharFormat> {
public:
    CCharReflector() : CByteReflector(Common::FT_CHAR, "Common::CCharFormat", true) {}
};
class KESTRUM_GUI_EXPORT CUCharReflector final : public CByteReflector<Common::CUCharFormat> {
public:
    CUCharReflector() : CByteReflector(Common::FT_UCHAR, "Common::CUCharFormat", false) {}
};
class KESTRUM_GUI_EXPORT CShortReflector final : public CWordReflector<Common::CShortFormat> {
public:
    CShortReflector() : CWordReflector(Common::FT_SHORT, "Common::CShortFormat", true) {}
};
class KESTRUM_GUI_EXPORT CUShortReflector final : public CWordReflector<Common::CUShortFormat> {
public:
    CUShortReflector() : CWordReflector(Common::FT_USHORT, "Common::CUShortFormat", false) {}
};
class KESTRUM_GUI_EXPORT CLongReflector final : public CWordReflector<Common::CLongFormat> {
public:
    CLongReflector() : CWordReflector(Common::FT_LONG, "Common::CLongFormat", true) {}
};
class KESTRUM_GUI_EXPORT CULongReflector final : public CWordReflector<Common::CULongFormat> {
public:
    CULongReflector() : CWordReflector(Common::FT_ULONG, "Common::CULongFormat", false) {}
};
class KESTRUM_GUI_EXPORT CInt64Reflector final : public CWordReflector<Common::CInt64Format> {
public:
    CInt64Reflector() : CWordReflector(Common::FT_INT64, "Common::CInt64Format", true) {}
};

// Orders 13 and 14: mode 4.
class KESTRUM_GUI_EXPORT CRealReflector : public CTextReflector {
public:
    explicit CRealReflector(Common::FieldType type) : m_type(type) {}
    bool IsApplicable(const Common::CFormat* format) const override { return format && format->GetValueType() == m_type; }
    std::int32_t EditMode(const Common::CFormat*) const override { return 4; }

protected:
    const char* KeptCharacters() const override { return "-+0123456789edED.,"; }

private:
    Common::FieldType m_type;
};
class KESTRUM_GUI_EXPORT CFloatReflector final : public CRealReflector {
public:
    CFloatReflector() : CRealReflector(Common::FT_FLOAT) {}
};
class KESTRUM_GUI_EXPORT CDoubleReflector final : public CRealReflector {
public:
    CDoubleReflector() : CRealReflector(Common::FT_DOUBLE) {}
};

// Order 4: a long with the duration format, mode 6, the text unchanged.
class KESTRUM_GUI_EXPORT CLongMsecTimeReflector final : public CTextReflector {
public:
    bool IsApplicable(const Common::CFormat* format) const override;
    std::int32_t EditMode(const Common::CFormat*) const override { return 6; }
};

// Order 15: every format, a plain edit box, the text unchanged.
class KESTRUM_GUI_EXPORT CDefaultReflector final : public CTextReflector {
public:
    bool IsApplicable(const Common::CFormat*) const override { return true; }
    std::int32_t EditMode(const Common::CFormat*) const override { return -1; }
};

} // namespace Kestrum::GUI
