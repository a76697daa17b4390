#include "gui/tooltip/TooltipCtrl.h"
#include "gui/grid/GridDefaults.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QWheelEvent>
#include <QWidget>
#include <climits>

#include "gui/grid/Grid.h"
#include "gui/paint/CustomDraw.h"
#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

TooltipSettings DefaultTooltipSettings()
{
    const QPalette palette = QApplication::palette();
    TooltipSettings settings;
    settings.background = FromQColor(palette.color(QPalette::ToolTipBase));
    settings.text = FromQColor(palette.color(QPalette::ToolTipText));
    settings.border = kActiveBorderColor;
    return settings;
}

// The pop-up: paints through its control, never takes the focus, erases
// nothing (the paint fills it whole). It asks the window system to let the
// mouse through; where the system does not (X servers hand the pointer to
// the top window), it hands every mouse and wheel event on to the grid's
// body at the same screen position, so the grid sees the mouse move on over
// its cell.
class CTooltipCtrl::CWindow final : public QWidget {
public:
    CWindow(CTooltipCtrl& control, QWidget* owner)
        : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                             Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint),
          m_control(control)
    {
        setObjectName(QStringLiteral("Kestrum.Tooltip"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setMouseTracking(true); // moves without a button reach event() too
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_control.Paint(painter, size());
    }
    bool event(QEvent* event) override
    {
        auto* grid = qobject_cast<QAbstractScrollArea*>(parentWidget());
        QWidget* body = grid ? grid->viewport() : nullptr;
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            if (!body)
                break;
            const auto* mouse = static_cast<QMouseEvent*>(event);
            QMouseEvent copy(mouse->type(), body->mapFromGlobal(mouse->globalPosition()), mouse->globalPosition(),
                             mouse->button(), mouse->buttons(), mouse->modifiers());
            QApplication::sendEvent(body, &copy);
            return true;
        }
        case QEvent::Wheel: {
            if (!body)
                break;
            const auto* wheel = static_cast<QWheelEvent*>(event);
            QWheelEvent copy(body->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(), wheel->pixelDelta(),
                             wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(), wheel->inverted());
            QApplication::sendEvent(body, &copy);
            return true;
        }
        default: break;
        }
        return QWidget::event(event);
    }

private:
    CTooltipCtrl& m_control;
};

CTooltipCtrl::CTooltipCtrl(bool autoDelete) : m_autoDelete(autoDelete) {}

CTooltipCtrl::~CTooltipCtrl() { Detach(); }

bool CTooltipCtrl::Attach(CGrid* grid)
{
    if (m_grid || !grid)
        return false;
    auto* window = new CWindow(*this, grid);
    window->setGeometry(-100, -100, 0, 0);
    m_window = window;
    const QFont font = grid->GetGridFont();
    SetFont(&font);
    m_grid = grid;
    return true;
}

void CTooltipCtrl::Detach()
{
    delete m_window.data();
    m_window = nullptr;
    m_grid = nullptr;
}

QWidget* CTooltipCtrl::GetWindow() const { return m_window.data(); }

void CTooltipCtrl::SetFont(const QFont* font) { m_font = font ? std::make_unique<QFont>(*font) : nullptr; }

QFont CTooltipCtrl::TextFont() const
{
    if (m_font)
        return *m_font;
    const QFont* fallback = GridDefaults::Instance().GetFont();
    return fallback ? *fallback : QFont();
}

QStringList CTooltipCtrl::LinesOf(const QString& text) const { return text.split(QLatin1Char('\n')); }

QSize CTooltipCtrl::Measure(const QString& text, const TooltipSettings& settings) const
{
    // Measured the way the paint draws: through a device context in the
    // safe form of each line.
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    CDeviceContext dc(painter);
    dc.SelectFont(TextFont());
    const QStringList lines = LinesOf(text);
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, dc.TextWidth(line));
    const int height = dc.FontHeight() + (static_cast<int>(lines.size()) - 1) * QFontMetrics(dc.GetFont()).lineSpacing();
    return {width + 2 * settings.marginX, height + 2 * settings.marginY};
}

QSize CTooltipCtrl::CursorSize() const { return {kCursorMetric, kCursorMetric}; }

CRect CTooltipCtrl::VirtualScreen(CPoint point) const
{
    QScreen* screen = QGuiApplication::screenAt({point.x, point.y});
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {0, 0, INT_MAX / 2, INT_MAX / 2};
    return FromQRect(screen->virtualGeometry());
}

CPoint CTooltipCtrl::Place(CPoint cursor, QSize size, QSize cursorSize, const TooltipSettings& settings, const CRect& screen)
{
    const int w = size.width();
    const int h = size.height();
    CPoint place;
    switch (settings.position) {
    case 0: place = {cursor.x - w / 2, cursor.y - settings.offsetY - h}; break;
    case 1: place = {cursor.x - w / 2, cursor.y + settings.offsetY + std::min(cursorSize.height(), kCursorCap)}; break;
    case 2: place = {cursor.x - settings.offsetX - w, cursor.y - h / 2}; break;
    case 3: place = {cursor.x + settings.offsetX + std::min(cursorSize.width(), kCursorCap), cursor.y - h / 2}; break;
    default: place = {0, 0}; break;
    }
    // Onto the screen: past the left edge first, then back from the right.
    if (place.x < screen.left)
        place.x = screen.left;
    if (place.x + w > screen.right)
        place.x = screen.right - w;
    if (place.y < screen.top)
        place.y = screen.top;
    if (place.y + h > screen.bottom)
        place.y = screen.bottom - h;
    return place;
}

bool CTooltipCtrl::Show(const TooltipCell& cell)
{
    if (!m_window || !cell.source || !cell.context || !cell.settings)
        return false;
    SetText(cell.source->GetTooltipText(cell.grid, *cell.context));
    const CRect screen = VirtualScreen(cell.cursor);
    QSize size = Measure(m_text, *cell.settings);
    size.setWidth(std::min(size.width(), screen.Width())); // placed as wide as it is shown
    ShowAt(Place(cell.cursor, size, CursorSize(), *cell.settings, screen), size, *cell.settings);
    return true;
}

void CTooltipCtrl::FitOnScreen(CPoint& topLeft, QSize& size, const CRect& screen)
{
    // A text wider than the screen is cut to it (the paint ends each line
    // that does not fit with an ellipsis); then the pop-up is moved back
    // from the right and the bottom, and onto the left and the top.
    size = size.boundedTo(QSize(std::max(0, screen.Width()), std::max(0, screen.Height())));
    topLeft.x = std::max(screen.left, std::min(topLeft.x, screen.right - size.width()));
    topLeft.y = std::max(screen.top, std::min(topLeft.y, screen.bottom - size.height()));
}

void CTooltipCtrl::ShowAt(CPoint topLeft, QSize size, const TooltipSettings& settings)
{
    if (!m_window)
        return;
    m_shownWith = settings;
    FitOnScreen(topLeft, size, VirtualScreen(topLeft));
    m_window->setGeometry(topLeft.x, topLeft.y, size.width(), size.height());
    // A screen reader reads the pop-up's text as its name.
    if (m_window->accessibleName() != m_text) {
        m_window->setAccessibleName(m_text);
        QAccessibleEvent changed(m_window.data(), QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
    if (!m_window->isVisible())
        m_window->show();
    m_window->update();
}

void CTooltipCtrl::Hide()
{
    if (m_window)
        m_window->hide();
}

void CTooltipCtrl::Paint(QPainter& painter, QSize size)
{
    CDeviceContext dc(painter);
    const CRect client{0, 0, size.width(), size.height()};
    dc.FillSolid(client, m_shownWith.background);
    dc.FrameRect(client, m_shownWith.border);
    dc.SelectFont(TextFont());
    const int height = dc.FontHeight();
    const int spacing = QFontMetrics(dc.GetFont()).lineSpacing();
    int top = m_shownWith.marginY;
    // Not clipped to the margins: the lines run to the window's edge.
    for (const QString& line : LinesOf(m_text)) {
        dc.Text({m_shownWith.marginX, top, client.right, top + height}, line, m_shownWith.text, TextLeft);
        top += spacing;
    }
}

} // namespace Kestrum::GUI
