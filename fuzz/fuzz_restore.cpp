// Feeds arbitrary bytes to every restore path (values, strings, data objects,
// held formats, each registered format's settings, header archives) and as
// text to every
// format's parser. Each must either succeed or throw a CommonException;
// anything else is a finding.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/DynamicObject.h"
#include "common/FormatRegistry.h"
#include "common/Serializer.h"
#include "gui/header/Header.h"

using namespace Kestrum::Common;

namespace {
const std::vector<std::string>& FormatNames()
{
    static const std::vector<std::string> names = {
        "Common::CEmptyFormat",     "Common::CDefaultStlStringFormat", "Common::CDefaultMfcStringFormat",
        "Common::CCharFormat",      "Common::CUCharFormat",            "Common::CShortFormat",
        "Common::CUShortFormat",    "Common::CLongFormat",             "Common::CULongFormat",
        "Common::CInt64Format",     "Common::CBoolFormat",             "Common::CFloatFormat",
        "Common::CDoubleFormat",    "Common::CInt64DateFormat",        "Common::CLongDateFormat",
        "Common::CLongMsecTimeFormat", "Common::CLongEnumFormat",
    };
    return names;
}

template <class Fn> void Guarded(const std::uint8_t* data, std::size_t size, Fn&& fn)
{
    CSerializer reader(CSerializer::RestoreMode);
    reader.SetData(data, static_cast<std::int32_t>(size));
    try {
        fn(reader);
    } catch (const CommonException&) {
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const std::uint8_t selector = data[0];
    const std::uint8_t* body = data + 1;
    const std::size_t length = size - 1;

    switch (selector % 8) {
    case 0:
        Guarded(body, length, [](CSerializer& r) {
            CValue value;
            while (r.GetRemaining() > 0)
                r.Restore(value);
        });
        break;
    case 1:
        Guarded(body, length, [](CSerializer& r) {
            std::string text;
            CString ctext;
            r.Restore(text);
            r.Restore(ctext);
        });
        break;
    case 2:
        Guarded(body, length, [](CSerializer& r) {
            CDynamicObject object(true);
            object.AddField(new CField(0, "A", FT_STLSTRING));
            object.AddField(new CField(1, "B", FT_LONG));
            object.Serialize(r);
        });
        break;
    case 3:
        Guarded(body, length, [](CSerializer& r) { std::unique_ptr<CFormat> held(RestoreHeldFormat(r)); });
        break;
    case 4: {
        // Text through every format, both text types, then formatted back.
        const std::string text(reinterpret_cast<const char*>(body), length);
        for (const std::string& name : FormatNames()) {
            std::unique_ptr<CFormat> format(CreateFormat(name));
            CValue parsed;
            if (format->ParseValue(text, parsed, nullptr))
                (void)format->FormatValue(parsed, nullptr);
            CValue again;
            (void)format->ParseValue(CString(text), again, nullptr);
            (void)format->FormatValueAsCString(again, nullptr);
        }
        break;
    }
    case 5: {
        // A header archive: loads whole or raises the archive error.
        Kestrum::GUI::CHeader header(true);
        Kestrum::GUI::CArchive archive(body, length);
        try {
            header.Serialize(archive);
        } catch (const Kestrum::GUI::CArchiveException&) {
        }
        break;
    }
    default: {
        const auto& names = FormatNames();
        const std::string& name = names[(selector / 8u) % names.size()];
        Guarded(body, length, [&](CSerializer& r) {
            std::unique_ptr<CFormat> format(CreateFormat(name));
            if (format)
                format->Serialize(r);
        });
        break;
    }
    }
    return 0;
}
