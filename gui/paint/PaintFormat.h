// The four paint-format interfaces (one per thing drawn) and their
// factories. Every paint format ends with the same persistence operations:
// GetVersion (0: not persisted), GetClassName and Serialize.
//
// The draw contexts and the paint state are filled by the grid's paint pass.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <functional>
#include <string>

#include "gui/platform/Geometry.h"

namespace Kestrum::GUI {

class CArchive;
class ICustomDraw;
struct CellDrawContext;
struct ColumnHeaderDrawContext;
struct HeaderDrawContext;
struct RowDrawContext;
struct PaintState;
using PaintFlags = std::uint32_t;

class KESTRUM_GRIDCORE_EXPORT ICellPaintFormat {
public:
    virtual ~ICellPaintFormat() = default;
    virtual int Paint(CellDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual Color GetBackColor(CellDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual Color GetTextColor(CellDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual int GetRequiredWidth(CellDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual CRect GetImageRect(CellDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual CRect GetTextRect(CellDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual ICellPaintFormat* Clone() const = 0;
    virtual std::int32_t GetVersion() const { return 0; }
    virtual std::string GetClassName() const { return {}; }
    virtual void Serialize(CArchive&) {}
};

class KESTRUM_GRIDCORE_EXPORT IColumnPaintFormat {
public:
    virtual ~IColumnPaintFormat() = default;
    virtual void Paint(ColumnHeaderDrawContext& context, PaintState& state, PaintFlags flags) = 0;
    virtual IColumnPaintFormat* Clone() const = 0;
    virtual std::int32_t GetVersion() const { return 0; }
    virtual std::string GetClassName() const { return {}; }
    virtual void Serialize(CArchive&) {}
};

class KESTRUM_GRIDCORE_EXPORT IHeaderPaintFormat {
public:
    virtual ~IHeaderPaintFormat() = default;
    virtual void Paint(HeaderDrawContext& context, PaintState& state, PaintFlags flags, ICustomDraw* customDraw) = 0;
    virtual std::int32_t GetVersion() const { return 0; }
    virtual std::string GetClassName() const { return {}; }
    virtual void Serialize(CArchive&) {}
};

class KESTRUM_GRIDCORE_EXPORT ILinePaintFormat {
public:
    virtual ~ILinePaintFormat() = default;
    virtual void Paint(RowDrawContext& context, PaintState& state, PaintFlags flags, ICustomDraw* customDraw) = 0;
    virtual std::int32_t GetVersion() const { return 0; }
    virtual std::string GetClassName() const { return {}; }
    virtual void Serialize(CArchive&) {}
};

// One registry per kind: class name to creator. Registering a name twice
// keeps the first; an unknown name creates nothing.
KESTRUM_GRIDCORE_EXPORT bool RegisterCellPaintFormat(const std::string& name, std::function<ICellPaintFormat*()> creator);
KESTRUM_GRIDCORE_EXPORT bool RegisterColumnPaintFormat(const std::string& name, std::function<IColumnPaintFormat*()> creator);
KESTRUM_GRIDCORE_EXPORT bool RegisterHeaderPaintFormat(const std::string& name, std::function<IHeaderPaintFormat*()> creator);
KESTRUM_GRIDCORE_EXPORT bool RegisterLinePaintFormat(const std::string& name, std::function<ILinePaintFormat*()> creator);
KESTRUM_GRIDCORE_EXPORT ICellPaintFormat* CreateCellPaintFormat(const std::string& name);
KESTRUM_GRIDCORE_EXPORT IColumnPaintFormat* CreateColumnPaintFormat(const std::string& name);
KESTRUM_GRIDCORE_EXPORT IHeaderPaintFormat* CreateHeaderPaintFormat(const std::string& name);
KESTRUM_GRIDCORE_EXPORT ILinePaintFormat* CreateLinePaintFormat(const std::string& name);

} // namespace Kestrum::GUI
