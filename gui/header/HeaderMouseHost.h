// IHeaderMouseHost: what the header strip's mouse modes (CHeaderMouse) need
// of the grid they sit in: the header and its scroll position, the strip's
// height, the viewport to draw the drag image and set the cursor on, and
// repaint requests. GUI thread only.
#pragma once

#include "common/Types.h"
#include "gui/platform/Geometry.h"

class QWidget;

namespace Kestrum::GUI {

class CHeader;
class IScrollPositionSource;

class IHeaderMouseHost {
public:
    virtual CHeader* Header() = 0;
    // What the header's geometry is measured against (the grid window).
    virtual const IScrollPositionSource* ScrollPosition() = 0;
    // 0 while the header is hidden.
    virtual int HeaderHeight() = 0;
    virtual CRect Client() = 0;
    virtual QWidget* Viewport() = 0;
    virtual void Invalidate(const CRect& rect) = 0;
    // A column's width was changed by the mouse: scroll bars and body follow.
    virtual void OnColumnResized() = 0;
    // A click on a caption: the grid's header-click sort rule (Shift clears
    // the sort, Ctrl adds a level).
    virtual void OnCaptionClick(Common::FieldId field, bool shift, bool ctrl) = 0;
    // Double click on a column's edge: the width its cells need.
    virtual void AutoFitColumn(Common::FieldId field) = 0;

protected:
    ~IHeaderMouseHost() = default;
};

} // namespace Kestrum::GUI
