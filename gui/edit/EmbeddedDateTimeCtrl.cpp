#include "gui/edit/EmbeddedDateTimeCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QBasicTimer>
#include <QCalendarWidget>
#include <QDate>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/Calendar.h"
#include "gui/edit/DateTimeSegments.h"
#include "gui/grid/GridClock.h"
#include "gui/platform/DeviceContext.h"
#include "gui/platform/KeyCodes.h"
#include "gui/platform/QtText.h"

namespace Kestrum::GUI {

using Common::CalendarTime;

namespace {

constexpr int kTextMargin = 2;           // left of the first segment
constexpr int kFirstRepeatDelay = 500;   // ms from the press to the first repeat
constexpr int kRepeatStart = 200;        // the interval the shortening starts from
constexpr int kRepeatStep = 30;          // taken off before each repeat is scheduled
constexpr int kShortestRepeat = 30;
constexpr int kCalendarHour = 12;        // the pop-up opens at noon of the date

Color PaletteColor(const QWidget& widget, QPalette::ColorGroup group, QPalette::ColorRole role)
{
    return FromQColor(widget.palette().color(group, role));
}

class CDateTimeEvent final : public QEvent {
public:
    explicit CDateTimeEvent(int code) : QEvent(static_cast<QEvent::Type>(CEmbeddedDateTimeCtrl::EventType())), code(code) {}
    const int code;
};

// The month calendar in a pop-up window of its own; it says when it hides,
// however that came about (a pick, a click outside, Esc, its owner).
class CCalendarPopup final : public QFrame {
public:
    explicit CCalendarPopup(QWidget* owner) : QFrame(owner, Qt::Popup)
    {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setAttribute(Qt::WA_WindowPropagation);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(1, 1, 1, 1);
        calendar = new QCalendarWidget(this);
        calendar->setGridVisible(true);
        layout->addWidget(calendar);
    }
    QCalendarWidget* calendar;
    std::function<void()> onHidden;

protected:
    void hideEvent(QHideEvent* event) override
    {
        QFrame::hideEvent(event);
        if (onHidden)
            onHidden();
    }
};

// Once a pop-up has closed, the platform may tell of its activation late and
// then leave no window active, so no key reaches the window any more. This
// undoes the first such loss of the window's focus; it goes at the window's
// first key or press, at that loss, or after a while.
class CActivationKeeper final : public QObject {
public:
    static void Watch(QWidget* window)
    {
        if (!window || window->findChild<QObject*>(QLatin1String(kName), Qt::FindDirectChildrenOnly))
            return;
        qApp->installEventFilter(new CActivationKeeper(window));
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        const auto* widget = qobject_cast<QWidget*>(object);
        if (m_done || !widget || widget->window() != m_window)
            return false;
        switch (event->type()) {
        case QEvent::FocusOut:
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason)
                break;
            [[fallthrough]];
        case QEvent::WindowDeactivate: {
            const QWidget* active = QApplication::activeWindow();
            if (!active || !active->isVisible())
                m_window->activateWindow();
            Done();
            break;
        }
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress: Done(); break;
        default: break;
        }
        return false;
    }

private:
    // Every widget of the window hears of one change: the first one acts.
    void Done()
    {
        m_done = true;
        deleteLater();
    }

    static constexpr int kLifetimeMs = 2000;
    static constexpr const char* kName = "Kestrum.ActivationKeeper";
    explicit CActivationKeeper(QWidget* window) : QObject(window), m_window(window)
    {
        setObjectName(QLatin1String(kName));
        QTimer::singleShot(kLifetimeMs, this, [this] { Done(); });
    }
    QWidget* m_window;
    bool m_done = false;
};

} // namespace

struct CEmbeddedDateTimeCtrl::Impl {
    explicit Impl(std::int32_t flags) : segments(flags) {}

    CDateTimeSegments segments;
    // What assistive technology was last told.
    QString announcedText;
    int announcedSegment = -1;
    int digitWidth = 8;
    int repeatInterval = kFirstRepeatDelay;
    QPointer<CCalendarPopup> popup;

    // The mouse: the part pressed (while the left button is held) and
    // whether the pointer is still over it.
    Part pressed = PartNone;
    bool pressedOver = false;
    QBasicTimer repeat;
    std::int64_t repeatDue = 0;

    const CDateTimeSegments::Segment& At(int index) const
    {
        return segments.Segments()[static_cast<std::size_t>(index)];
    }

    void StopRepeat()
    {
        repeat.stop();
        repeatInterval = kFirstRepeatDelay;
    }
};

int CEmbeddedDateTimeCtrl::EventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

CEmbeddedDateTimeCtrl::CEmbeddedDateTimeCtrl(std::int32_t flags, QWidget* parent)
    : QWidget(parent), m(std::make_unique<Impl>(flags))
{
    setObjectName(QLatin1String(kClassName));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    m->digitWidth = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0')));
}

CEmbeddedDateTimeCtrl::~CEmbeddedDateTimeCtrl()
{
    // The pop-up goes first, and tells nobody.
    if (m->popup) {
        m->popup->onHidden = nullptr;
        delete m->popup.data();
    }
}

// --- value --------------------------------------------------------------------------------

bool CEmbeddedDateTimeCtrl::SetValue(int kind, std::int64_t value)
{
    if (!m->segments.SetValue(kind, value))
        return false;
    update();
    return true;
}

bool CEmbeddedDateTimeCtrl::GetValue(int kind, std::int64_t& value) { return m->segments.GetValue(kind, value); }

void CEmbeddedDateTimeCtrl::PassMousePress(QPoint point)
{
    // The press that opened the editor: on the cell's drop-down button (the
    // control's buttons now) it opens the calendar; on the text it selects.
    const Part part = PartAt(point);
    if (HasCalendarButton() && part != PartSegments && part != PartNone) {
        OpenCalendar();
        return;
    }
    if (part == PartSegments)
        for (int i = SegmentCount() - 1; i >= 0; --i)
            if (point.x() >= SegmentRect(i).left()) {
                SelectSegment(i);
                break;
            }
}

// --- queries ------------------------------------------------------------------------------

std::int32_t CEmbeddedDateTimeCtrl::Flags() const { return m->segments.Flags(); }
bool CEmbeddedDateTimeCtrl::HasCalendarButton() const { return m->segments.HasDateSegments(); }
bool CEmbeddedDateTimeCtrl::HasSpinButtons() const { return m->segments.HasTimeSegments(); }
int CEmbeddedDateTimeCtrl::SegmentCount() const { return m->segments.Count(); }

int CEmbeddedDateTimeCtrl::SegmentField(int index) const
{
    return index >= 0 && index < SegmentCount() ? m->At(index).field : 0;
}

int CEmbeddedDateTimeCtrl::SegmentValue(int index) const
{
    return index >= 0 && index < SegmentCount() ? m->At(index).value : 0;
}

QString CEmbeddedDateTimeCtrl::SegmentText(int index) const
{
    return index >= 0 && index < SegmentCount() ? ToQString(m->At(index).text) : QString();
}

QRect CEmbeddedDateTimeCtrl::SegmentRect(int index) const
{
    if (index < 0 || index >= SegmentCount())
        return {};
    const QFontMetrics metrics = fontMetrics();
    int x = kTextMargin;
    for (int i = 0; i < index; ++i)
        x += m->At(i).digits * m->digitWidth + metrics.horizontalAdvance(ToQString(m->At(i).separator));
    return {x, 0, m->At(index).digits * m->digitWidth, height()};
}

int CEmbeddedDateTimeCtrl::FindSegment(int field) const { return m->segments.Find(field); }

int CEmbeddedDateTimeCtrl::SelectedSegment() const { return m->segments.Selected(); }

void CEmbeddedDateTimeCtrl::SelectSegment(int index)
{
    if (m->segments.Select(index))
        update();
}

QString CEmbeddedDateTimeCtrl::Text() const { return ToQString(m->segments.Text()); }

QRect CEmbeddedDateTimeCtrl::SpinButtonRect() const
{
    if (!HasSpinButtons())
        return {};
    const int side = height();
    return {width() - side, 0, side, side};
}

QRect CEmbeddedDateTimeCtrl::CalendarButtonRect() const
{
    if (!HasCalendarButton())
        return {};
    const int side = height();
    const int right = HasSpinButtons() ? width() - side : width();
    return {right - side, 0, side, side};
}

CEmbeddedDateTimeCtrl::Part CEmbeddedDateTimeCtrl::PartAt(QPoint point) const
{
    if (!rect().contains(point))
        return PartNone;
    const QRect spin = SpinButtonRect();
    if (spin.contains(point))
        return point.y() < spin.top() + spin.height() / 2 ? PartSpinUp : PartSpinDown;
    if (CalendarButtonRect().contains(point))
        return PartCalendar;
    return PartSegments;
}

int CEmbeddedDateTimeCtrl::RepeatTimerId() const { return m->repeat.timerId(); }
std::int64_t CEmbeddedDateTimeCtrl::RepeatDue() const { return m->repeatDue; }
int CEmbeddedDateTimeCtrl::RepeatInterval() const { return m->repeatInterval; }

QSize CEmbeddedDateTimeCtrl::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const int side = metrics.height() + 4;
    int width = 2 * kTextMargin;
    for (const CDateTimeSegments::Segment& segment : m->segments.Segments())
        width += segment.digits * m->digitWidth + metrics.horizontalAdvance(ToQString(segment.separator));
    width += (HasCalendarButton() ? side : 0) + (HasSpinButtons() ? side : 0);
    return {width, side};
}

// --- the calendar ------------------------------------------------------------------------

QCalendarWidget* CEmbeddedDateTimeCtrl::Calendar() const
{
    return m->popup && m->popup->isVisible() ? m->popup->calendar : nullptr;
}

void CEmbeddedDateTimeCtrl::OpenCalendar()
{
    if (!HasCalendarButton() || Calendar())
        return;
    // The segments' date; what has no segment is today's.
    const QDate today = QDate::currentDate();
    const CalendarTime time =
        m->segments.CalendarDate({today.year(), today.month(), today.day(), kCalendarHour, 0, 0, 0});
    const QDate date(time.year, time.month, time.day);

    if (m->popup) { // closed, not yet released
        m->popup->onHidden = nullptr;
        m->popup->deleteLater();
    }
    auto* popup = new CCalendarPopup(this);
    m->popup = popup;
    popup->calendar->setSelectedDate(date);
    popup->calendar->setCurrentPage(date.year(), date.month());
    const auto pick = [this](QDate picked) {
        if (!picked.isValid())
            return;
        m->segments.PutDate(picked.year(), picked.month(), picked.day());
        CloseCalendar();
        update();
        emit selectionConfirmed();
    };
    connect(popup->calendar, &QCalendarWidget::clicked, this, pick);
    connect(popup->calendar, &QCalendarWidget::activated, this, pick);
    QPointer<CEmbeddedDateTimeCtrl> self(this);
    popup->onHidden = [self] {
        if (self)
            QCoreApplication::postEvent(self, new CDateTimeEvent(EventPopupClosed));
    };
    popup->adjustSize();
    // Below the control, kept on its screen.
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize size = popup->sizeHint();
        if (at.y() + size.height() > area.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    }
    popup->move(at);
    m->pressed = PartNone;
    popup->show();
    popup->calendar->setFocus(Qt::PopupFocusReason);
    update();
}

void CEmbeddedDateTimeCtrl::CloseCalendar()
{
    if (m->popup && m->popup->isVisible())
        m->popup->hide();
}

void CEmbeddedDateTimeCtrl::TakeFocusBack()
{
    // The pop-up had the keyboard; when it closes the platform may leave the
    // window inactive or the focus nowhere, and Enter, Esc and Tab would
    // reach no one. Taken back unless the user put the focus elsewhere.
    if (!isVisible())
        return;
    QWidget* focus = QApplication::focusWidget();
    const bool elsewhere = focus && focus != this && !focus->isAncestorOf(this);
    if (elsewhere)
        return;
    CActivationKeeper::Watch(window());
    if (QApplication::activeWindow() != window()) // the pop-up may still count as active
        window()->activateWindow();
    setFocus(Qt::PopupFocusReason);
}

// --- events -------------------------------------------------------------------------------

bool CEmbeddedDateTimeCtrl::event(QEvent* event)
{
    if (event->type() == EventType()) {
        switch (static_cast<CDateTimeEvent*>(event)->code) {
        case EventSelectPrevious:
            m->segments.SelectPrevious();
            update();
            break;
        case EventSelectNext:
            m->segments.SelectNext();
            update();
            break;
        case EventPopupClosed:
            if (m->popup && !m->popup->isVisible()) {
                m->popup->onHidden = nullptr;
                m->popup->deleteLater();
                m->popup = nullptr;
                TakeFocusBack();
            }
            update();
            break;
        default: break;
        }
        return true;
    }
    return QWidget::event(event);
}

// Every change of the segments repaints, so the paint tells assistive
// technology which segment is selected and what the value reads now.
void CEmbeddedDateTimeCtrl::AnnounceChanges()
{
    const int selected = m->segments.Selected();
    const QString text = Text();
    if (text != m->announcedText) {
        m->announcedText = text;
        QAccessibleValueChangeEvent changed(this, text);
        QAccessible::updateAccessibility(&changed);
    }
    if (selected != m->announcedSegment) {
        m->announcedSegment = selected;
        if (selected >= 0 && hasFocus()) {
            QAccessibleEvent focus(this, QAccessible::Focus);
            focus.setChild(selected);
            QAccessible::updateAccessibility(&focus);
        }
    }
}

void CEmbeddedDateTimeCtrl::paintEvent(QPaintEvent*)
{
    AnnounceChanges();
    QPainter painter(this);
    CDeviceContext dc(painter);
    dc.SelectFont(font());
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    dc.FillSolid(FromQRect(rect()), PaletteColor(*this, group, QPalette::Base));
    const Color text = PaletteColor(*this, group, QPalette::Text);
    const bool highlight = hasFocus() && !Calendar();
    const QFontMetrics metrics = fontMetrics();
    for (int i = 0; i < SegmentCount(); ++i) {
        const CDateTimeSegments::Segment& segment = m->At(i);
        const QString separator = ToQString(segment.separator);
        const QRect box = SegmentRect(i);
        Color ink = text;
        if (highlight && i == m->segments.Selected()) {
            dc.FillSolid(FromQRect(box), PaletteColor(*this, group, QPalette::Highlight));
            ink = PaletteColor(*this, group, QPalette::HighlightedText);
        }
        dc.Text(FromQRect(box), ToQString(segment.text), ink, TextCenter);
        if (!separator.trimmed().isEmpty()) {
            // Room to spare: the text is left-aligned, and a rect cut to the
            // glyph's advance could end the separator in an ellipsis.
            const QRect after(box.right() + 1, 0, metrics.horizontalAdvance(separator) + m->digitWidth, height());
            dc.Text(FromQRect(after), separator, text, TextLeft);
        }
    }

    const Color face = PaletteColor(*this, group, QPalette::Button);
    const Color light = PaletteColor(*this, group, QPalette::Light);
    const Color shadow = PaletteColor(*this, group, QPalette::Dark);
    const Color arrow = PaletteColor(*this, group, QPalette::ButtonText);
    const auto button = [&](const QRect& area, bool down) {
        const CRect box = FromQRect(area);
        dc.FillSolid(box, face);
        if (down)
            dc.Edge3D(box, shadow, light);
        else
            dc.Edge3D(box, light, shadow);
    };
    // An arrow pointing up or down, centred in `area` (one pixel lower and to
    // the right while pressed).
    const auto triangle = [&](const QRect& area, bool up, bool down) {
        const int half = std::max(2, std::min(area.width(), area.height() * 2) / 5);
        const int cx = area.left() + area.width() / 2 + (down ? 1 : 0);
        const int cy = area.top() + area.height() / 2 + (down ? 1 : 0);
        const int h = std::max(1, half / 2);
        if (up)
            dc.Polygon({{cx - half, cy + h}, {cx + half + 1, cy + h}, {cx, cy - h - 1}}, arrow);
        else
            dc.Polygon({{cx - half, cy - h}, {cx + half + 1, cy - h}, {cx, cy + h + 1}}, arrow);
    };
    const bool held = m->pressedOver;
    if (const QRect calendar = CalendarButtonRect(); !calendar.isEmpty()) {
        const bool down = held && m->pressed == PartCalendar;
        button(calendar, down);
        triangle(calendar, false, down);
    }
    if (const QRect spin = SpinButtonRect(); !spin.isEmpty()) {
        const QRect upper(spin.left(), spin.top(), spin.width(), spin.height() / 2);
        const QRect lower(spin.left(), upper.bottom() + 1, spin.width(), spin.height() - upper.height());
        const bool upDown = held && m->pressed == PartSpinUp;
        const bool downDown = held && m->pressed == PartSpinDown;
        button(upper, upDown);
        button(lower, downDown);
        triangle(upper, true, upDown);
        triangle(lower, false, downDown);
    }
}

void CEmbeddedDateTimeCtrl::keyPressEvent(QKeyEvent* event)
{
    const int key = VirtualKeyOf(*event);
    const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    switch (key) {
    case KeyHome:
    case KeyEnd:
        m->segments.StepToLimit(key == KeyEnd);
        update();
        return;
    case KeyUp:
    case KeyDown:
        // Alt+Down opens the month calendar, as drop-down fields do.
        if (key == KeyDown && (event->modifiers() & Qt::AltModifier) && plain) {
            OpenCalendar();
            return;
        }
        if (plain) {
            m->segments.Step(key == KeyUp ? 1 : -1);
            update();
        }
        return;
    case KeyLeft:
    case KeyRight:
        if (plain)
            QCoreApplication::postEvent(this, new CDateTimeEvent(key == KeyLeft ? EventSelectPrevious : EventSelectNext));
        return;
    default: break;
    }
    if (key >= Key0 && key <= Key9) {
        m->segments.Type(key - Key0);
        update();
        return;
    }
    if (key >= KeyNumpad0 && key <= KeyNumpad9) {
        m->segments.Type(key - KeyNumpad0);
        update();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CEmbeddedDateTimeCtrl::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const Part part = PartAt(point);
    switch (part) {
    case PartSpinUp:
    case PartSpinDown:
        m->pressed = part;
        m->pressedOver = true;
        m->segments.Step(part == PartSpinUp ? 1 : -1);
        m->repeatInterval = kFirstRepeatDelay;
        m->repeatDue = GridClockNow() + kFirstRepeatDelay;
        m->repeat.start(kFirstRepeatDelay, this);
        break;
    case PartCalendar:
        m->pressed = part;
        m->pressedOver = true;
        OpenCalendar();
        break;
    case PartSegments:
        for (int i = SegmentCount() - 1; i >= 0; --i)
            if (point.x() >= SegmentRect(i).left()) {
                SelectSegment(i);
                break;
            }
        CloseCalendar();
        break;
    default: break;
    }
    update();
}

void CEmbeddedDateTimeCtrl::mouseMoveEvent(QMouseEvent* event)
{
    if (m->pressed == PartNone)
        return;
    const bool over = PartAt(event->position().toPoint()) == m->pressed;
    if (over != m->pressedOver) {
        m->pressedOver = over;
        update();
    }
}

void CEmbeddedDateTimeCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m->pressed = PartNone;
        m->pressedOver = false;
        m->StopRepeat();
        update();
    }
}

void CEmbeddedDateTimeCtrl::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m->repeat.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    const std::int64_t now = GridClockNow();
    if (now < m->repeatDue) {
        // Woken early (the clock is the grid's, not the timer's).
        m->repeat.start(static_cast<int>(std::min<std::int64_t>(m->repeatDue - now, 1 << 30)), this);
        return;
    }
    if (m->pressed != PartSpinUp && m->pressed != PartSpinDown) {
        m->StopRepeat();
        return;
    }
    if (m->pressedOver) {
        m->segments.Step(m->pressed == PartSpinUp ? 1 : -1);
        update();
    }
    if (m->repeatInterval >= kFirstRepeatDelay)
        m->repeatInterval = kRepeatStart;
    m->repeatInterval = std::max(kShortestRepeat, m->repeatInterval - kRepeatStep);
    m->repeatDue = now + m->repeatInterval;
    m->repeat.start(m->repeatInterval, this);
}

void CEmbeddedDateTimeCtrl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CEmbeddedDateTimeCtrl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    // Opening the pop-up moves the focus into it; any other loss closes it
    // and ends a held spin.
    if (event->reason() != Qt::PopupFocusReason) {
        CloseCalendar();
        m->pressed = PartNone;
        m->pressedOver = false;
        m->StopRepeat();
    }
    update();
}

void CEmbeddedDateTimeCtrl::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    CloseCalendar();
    m->pressed = PartNone;
    m->pressedOver = false;
    m->StopRepeat();
}

void CEmbeddedDateTimeCtrl::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m->digitWidth = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0')));
        update();
    }
}

} // namespace Kestrum::GUI
