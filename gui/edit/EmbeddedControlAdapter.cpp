#include "gui/edit/EmbeddedControlAdapter.h"

#include <QEvent>
#include <algorithm>

#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

namespace {
// Where a control goes while its cell is out of view.
constexpr int kAway = -10000;
} // namespace

bool CEmbeddedControlAdapter::ISink::OnControlMessage(CEmbeddedControlAdapter*, QEvent*) { return false; }

CEmbeddedControlAdapter::CEmbeddedControlAdapter(QWidget* control, CGridItem* item, Common::FieldId field,
                                                 std::weak_ptr<CEmbeddedRegistry> registry, bool autoDelete)
    : m_control(control), m_item(item), m_field(field), m_registry(std::move(registry)), m_autoDelete(autoDelete)
{
    if (control) {
        m_recorded = FromQRect(control->geometry());
        control->installEventFilter(this);
    }
    if (auto shared = m_registry.lock())
        shared->adapters.push_back(this);
}

CEmbeddedControlAdapter::~CEmbeddedControlAdapter()
{
    Unregister();
    if (m_control)
        m_control->removeEventFilter(this);
}

void CEmbeddedControlAdapter::Unregister()
{
    if (auto shared = m_registry.lock()) {
        auto& list = shared->adapters;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    m_registry.reset();
}

CRect CEmbeddedControlAdapter::LayoutIn(const CRect& cell) const
{
    const int width = m_recorded.Width();
    const int height = m_recorded.Height();
    CRect rect;
    if (m_flags & AnchorLeft)
        rect.left = cell.left + m_margins.left;
    else if (m_flags & AnchorRight)
        rect.left = cell.right - width;
    else
        rect.left = cell.left + m_margins.left;
    rect.right = (m_flags & AnchorRight) ? cell.right + m_margins.right : rect.left + width;
    if (m_flags & AnchorTop)
        rect.top = cell.top + m_margins.top;
    else if (m_flags & AnchorBottom)
        rect.top = cell.bottom - height;
    else
        rect.top = cell.top + m_margins.top;
    rect.bottom = (m_flags & AnchorBottom) ? cell.bottom + m_margins.bottom : rect.top + height;
    return rect;
}

void CEmbeddedControlAdapter::Position(const CRect& cell)
{
    if (!m_control)
        return;
    const CRect rect = LayoutIn(cell);
    const CRect now = FromQRect(m_control->geometry());
    // A control whose size limits keep it from the rectangle is not asked
    // again at every paint (each move repaints, which would place it again).
    if (now == rect || (m_placed == rect && m_applied == now))
        return;
    m_control->setGeometry(ToQRect(rect));
    m_placed = rect;
    m_applied = FromQRect(m_control->geometry());
    m_control->update();
}

QWidget* CEmbeddedControlAdapter::GetControl() const { return m_control.data(); }

void CEmbeddedControlAdapter::Bind(const CellDrawContext& context, const PaintState&, std::uint32_t)
{
    // Only copies: the context lives for one paint pass.
    m_boundRect = context.fullRect;
    m_boundBack = context.backColor;
}

void CEmbeddedControlAdapter::MoveAway()
{
    m_placed = m_applied = {};
    if (m_control && m_control->pos() != QPoint(kAway, kAway))
        m_control->move(kAway, kAway);
}

void CEmbeddedControlAdapter::Hide()
{
    if (m_control)
        m_control->hide();
}

void CEmbeddedControlAdapter::Show()
{
    if (m_control)
        m_control->show();
}

void CEmbeddedControlAdapter::AddSink(ISink* sink)
{
    if (sink && std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end())
        m_sinks.push_back(sink);
}

void CEmbeddedControlAdapter::RemoveSink(ISink* sink) { m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end()); }

std::uint32_t& CEmbeddedControlAdapter::LayoutFlags() { return m_flags; }

void CEmbeddedControlAdapter::OnRowShown(bool shown)
{
    // Shown again: the next paint pass puts it back in its cell.
    if (!shown)
        MoveAway();
}

void CEmbeddedControlAdapter::OnDetached()
{
    Unregister();
    m_item = nullptr;
    if (m_control)
        m_control->removeEventFilter(this);
    m_sinks.clear();
}

bool CEmbeddedControlAdapter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_control.data() || m_sinks.empty())
        return false;
    // A sink may leave (or end the edit) while it is told: a copy.
    const std::vector<ISink*> sinks = m_sinks;
    bool keep = false;
    for (ISink* sink : sinks)
        if (std::find(m_sinks.begin(), m_sinks.end(), sink) != m_sinks.end())
            keep = sink->OnControlMessage(this, event) || keep;
    return keep;
}

} // namespace Kestrum::GUI
