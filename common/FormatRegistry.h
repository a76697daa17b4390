// The process-wide format registry (class name to creator), the shared
// default format of each value type, and storing a format inside a holder.
//
// The registry is usable from any thread; the built-in formats are registered
// before the first lookup. Default formats are created on first request and
// live until the process ends: callers never delete them.
#pragma once

#include "common/Export.h"

#include <cstdint>
#include <string>
#include <vector>

#include "common/Format.h"

namespace Kestrum::Common {

using FormatCreator = CFormat* (*)();

// Adds name -> creator; false (and nothing changes) when the name exists.
KESTRUM_COMMON_EXPORT bool RegisterFormat(const std::string& name, FormatCreator creator);
// A new instance with default settings, owned by the caller; null for an
// unknown name.
KESTRUM_COMMON_EXPORT CFormat* CreateFormat(const std::string& name);
// The shared default format of a value type code.
KESTRUM_COMMON_EXPORT CFormat* GetDefaultFormat(std::int32_t valueType);

// A format kept by a holder: its class name and the bytes its Serialize
// wrote into a store-mode serializer.
struct KESTRUM_COMMON_EXPORT StoredFormat {
    std::string className;
    std::vector<std::uint8_t> settings;
};

// False (nothing to store) for a null or non-serializable format.
KESTRUM_COMMON_EXPORT bool CaptureFormat(const CFormat* format, StoredFormat& stored);
// Re-creates a captured format, or null for an unknown class name. Throws the
// serializer's exceptions when the settings are damaged or too new; nothing
// leaks then.
KESTRUM_COMMON_EXPORT CFormat* RecreateFormat(const StoredFormat& stored);

// The holder layout on a serializer: a bool that tells whether a format
// follows, then its class name, the settings byte count and the bytes.
KESTRUM_COMMON_EXPORT void StoreHeldFormat(CSerializer& serializer, const CFormat* format);
// Reads that layout; null when none was stored or its class is unknown (the
// bytes are skipped). The count is checked against the remaining bytes.
KESTRUM_COMMON_EXPORT CFormat* RestoreHeldFormat(CSerializer& serializer);

} // namespace Kestrum::Common
