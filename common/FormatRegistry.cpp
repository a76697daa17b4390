#include "common/FormatRegistry.h"

#include <map>
#include <memory>
#include <mutex>

#include "common/DateFormats.h"
#include "common/EnumFormat.h"
#include "common/FloatFormats.h"
#include "common/IntegerFormats.h"
#include "common/StringFormats.h"

namespace Kestrum::Common {

namespace {

template <class F> CFormat* MakeFormat() { return new F(); }

class CFormatTable {
public:
    CFormatTable()
    {
        // Registered here rather than by per-file static objects, which a
        // static library link may drop.
        Add("Common::CEmptyFormat", &MakeFormat<CEmptyFormat>);
        Add("Common::CDefaultStlStringFormat", &MakeFormat<CDefaultStlStringFormat>);
        Add("Common::CDefaultMfcStringFormat", &MakeFormat<CDefaultMfcStringFormat>);
        Add("Common::CCharFormat", &MakeFormat<CCharFormat>);
        Add("Common::CUCharFormat", &MakeFormat<CUCharFormat>);
        Add("Common::CShortFormat", &MakeFormat<CShortFormat>);
        Add("Common::CUShortFormat", &MakeFormat<CUShortFormat>);
        Add("Common::CLongFormat", &MakeFormat<CLongFormat>);
        Add("Common::CULongFormat", &MakeFormat<CULongFormat>);
        Add("Common::CInt64Format", &MakeFormat<CInt64Format>);
        Add("Common::CBoolFormat", &MakeFormat<CBoolFormat>);
        Add("Common::CFloatFormat", &MakeFormat<CFloatFormat>);
        Add("Common::CDoubleFormat", &MakeFormat<CDoubleFormat>);
        Add("Common::CInt64DateFormat", &MakeFormat<CInt64DateFormat>);
        Add("Common::CLongDateFormat", &MakeFormat<CLongDateFormat>);
        Add("Common::CLongMsecTimeFormat", &MakeFormat<CLongMsecTimeFormat>);
        Add("Common::CLongEnumFormat", &MakeFormat<CLongEnumFormat>);
    }

    bool Add(const std::string& name, FormatCreator creator)
    {
        std::lock_guard lock(m_mutex);
        return m_creators.emplace(name, creator).second;
    }

    CFormat* Create(const std::string& name)
    {
        FormatCreator creator = nullptr;
        {
            std::lock_guard lock(m_mutex);
            const auto it = m_creators.find(name);
            if (it != m_creators.end())
                creator = it->second;
        }
        return creator ? creator() : nullptr;
    }

private:
    std::mutex m_mutex;
    std::map<std::string, FormatCreator> m_creators;
};

CFormatTable& Table()
{
    static CFormatTable table;
    return table;
}

} // namespace

bool RegisterFormat(const std::string& name, FormatCreator creator) { return Table().Add(name, creator); }

CFormat* CreateFormat(const std::string& name) { return Table().Create(name); }

CFormat* GetDefaultFormat(std::int32_t valueType)
{
    // Function-local statics: created on first request, thread-safe, and
    // destroyed at exit in reverse order of creation.
    switch (valueType) {
    case FT_MFCSTRING: { static CDefaultMfcStringFormat format; return &format; }
    case FT_STLSTRING: { static CDefaultStlStringFormat format; return &format; }
    case FT_CHAR: { static CCharFormat format; return &format; }
    case FT_UCHAR: { static CUCharFormat format; return &format; }
    case FT_SHORT: { static CShortFormat format; return &format; }
    case FT_USHORT: { static CUShortFormat format; return &format; }
    case FT_LONG: { static CLongFormat format; return &format; }
    case FT_ULONG: { static CULongFormat format; return &format; }
    case FT_INT64: { static CInt64Format format; return &format; }
    case FT_BOOL: { static CBoolFormat format; return &format; }
    case FT_FLOAT: { static CFloatFormat format; return &format; }
    case FT_DOUBLE: { static CDoubleFormat format; return &format; }
    case FT_HANDLE: { static CEmptyFormat format(FT_HANDLE); return &format; }
    default: { static CEmptyFormat format(FT_EMPTY); return &format; }
    }
}

bool CaptureFormat(const CFormat* format, StoredFormat& stored)
{
    if (!format || !format->IsSerializable())
        return false;
    CSerializer settings(CSerializer::StoreMode);
    // Serialize is not const (it also restores); a clone keeps the caller's
    // format untouched whatever a derived class does while storing.
    std::unique_ptr<CFormat> copy(format->Clone());
    copy->Serialize(settings);
    stored.className = format->GetClassName();
    stored.settings.resize(static_cast<std::size_t>(settings.GetSize()));
    settings.GetData(stored.settings.data());
    return true;
}

CFormat* RecreateFormat(const StoredFormat& stored)
{
    std::unique_ptr<CFormat> format(CreateFormat(stored.className));
    if (!format)
        return nullptr;
    if (!stored.settings.empty()) {
        CSerializer settings(CSerializer::RestoreMode);
        settings.SetData(stored.settings.data(), static_cast<std::int32_t>(stored.settings.size()));
        format->Serialize(settings);
    }
    return format.release();
}

void StoreHeldFormat(CSerializer& serializer, const CFormat* format)
{
    StoredFormat stored;
    const bool present = CaptureFormat(format, stored);
    serializer.Store(present);
    if (!present)
        return;
    serializer.Store(stored.className);
    serializer.Store(static_cast<std::int32_t>(stored.settings.size()));
    if (!stored.settings.empty())
        serializer.StoreBytes(stored.settings.data(), static_cast<std::int32_t>(stored.settings.size()));
}

CFormat* RestoreHeldFormat(CSerializer& serializer)
{
    bool present = false;
    serializer.Restore(present);
    if (!present)
        return nullptr;
    StoredFormat stored;
    serializer.Restore(stored.className);
    std::int32_t count = 0;
    serializer.Restore(count);
    if (count < 0 || count > serializer.GetRemaining())
        throw CSerializer::SerializationException("Not enough space to restore the value");
    stored.settings.resize(static_cast<std::size_t>(count));
    if (count > 0)
        serializer.RestoreBytes(stored.settings.data(), count);
    return RecreateFormat(stored);
}

} // namespace Kestrum::Common
