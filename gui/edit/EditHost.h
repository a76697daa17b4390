// IEditHost: all in-place editing knows of its grid. The grid implements it
// (gui/grid/GridEditHost.h); the edit room reaches nothing else of the grid.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

#include "common/Types.h"
#include "gui/platform/Geometry.h"

class QWidget;

namespace Kestrum::GUI {

class CColumn;
class CGrid;
class CGridItem;
class CHeader;
struct EditSettings;
struct GridEditNotification;

class KESTRUM_GUI_EXPORT IEditHost {
public:
    virtual CGrid* Owner() const = 0;
    // The body the controls are laid on.
    virtual QWidget* Viewport() const = 0;
    virtual CHeader* Header() const = 0;
    virtual const EditSettings& Settings() const = 0;
    virtual CRect Client() const = 0;
    virtual int HeaderHeight() const = 0;
    // The item whose row is under a viewport point (null: none).
    virtual CGridItem* ItemAt(CPoint point) = 0;
    virtual CRect CellRect(CGridItem* item, Common::FieldId field) = 0;
    virtual int RowIndexOf(CGridItem* item) = 0;
    // Counts removals: an unchanged count means every item seen before is alive.
    virtual std::uint64_t RemovalCount() const = 0;
    virtual bool IsAlive(CGridItem* item) = 0;
    virtual void BringIntoView(CGridItem* item) = 0;
    virtual void RepaintCell(CGridItem* item, Common::FieldId field) = 0;
    virtual void UpdateViewport() = 0;
    // Tells the grid's listener, when notifications are on.
    virtual void Notify(const GridEditNotification& notification) = 0;

protected:
    ~IEditHost() = default;
};

} // namespace Kestrum::GUI
