#include "gui/input/DragStart.h"

#include <QApplication>
#include <QPointer>
#include <algorithm>
#include <cstdlib>

#include "gui/grid/Grid.h"
#include "gui/grid/GridRows.h"
#include "gui/input/InputHost.h"

namespace Kestrum::GUI {

bool CDragStart::Arm(const Press& press)
{
    m_armed = press.item && m_host.MayStartDrag(press.item, press.area, press.point);
    if (m_armed)
        m_press = press;
    return m_armed;
}

bool CDragStart::Reached(CPoint point) const
{
    return m_armed && std::max(std::abs(point.x - m_press.point.x), std::abs(point.y - m_press.point.y)) >=
                          QApplication::startDragDistance();
}

CDragStart::Press CDragStart::Take()
{
    m_armed = false;
    return m_press;
}

bool CDragStart::Run(const Press& press)
{
    CGridItem* item = m_host.Rows().Validate(ToHandle(press.item));
    if (!item || !item->HasRow())
        return true;
    QPointer<CGrid> alive(&m_host.Grid());
    m_host.RunDrag(item, press.area);
    return !alive.isNull(); // something the drop did may have closed the grid
}

} // namespace Kestrum::GUI
