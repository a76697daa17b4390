#include "gui/edit/EmbeddedDateTimeCtrl.h"

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
#include "common/DateFormats.h"
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

constexpr int kDateBits = Common::DF_YEAR4 | Common::DF_YEAR2 | Common::DF_MONTH | Common::DF_DAY;
constexpr int kTimeBits = Common::DF_HOUR | Common::DF_MINUTE | Common::DF_SECOND | Common::DF_MILLISECOND;

// A value read back starts from here where the editor has nothing better.
constexpr CalendarTime kFileTimeBase{2000, 1, 1, 1, 1, 1, 0};

struct Limits {
    int field;
    int digits;
    int minimum;
    int maximum;
};
constexpr Limits kLimits[] = {
    {Common::DF_YEAR4, 4, 1970, 2038}, {Common::DF_YEAR2, 2, 1970, 2038}, {Common::DF_MONTH, 2, 1, 12},
    {Common::DF_DAY, 2, 1, 31},        {Common::DF_HOUR, 2, 0, 23},       {Common::DF_MINUTE, 2, 0, 59},
    {Common::DF_SECOND, 2, 0, 59},     {Common::DF_MILLISECOND, 3, 0, 999},
};

const Limits& LimitsOf(int field)
{
    for (const Limits& limits : kLimits)
        if (limits.field == field)
            return limits;
    return kLimits[0];
}

int PowerOfTen(int digits)
{
    int power = 1;
    for (int i = 0; i < digits; ++i)
        power *= 10;
    return power;
}

Color PaletteColor(const QWidget& widget, QPalette::ColorGroup group, QPalette::ColorRole role)
{
    return FromQColor(widget.palette().color(group, role));
}

// A year as typed into a two-digit segment is completed as the date formats
// complete it; a full year (a value set, or stepped within the limits) stays.
int FullYear(int year) { return year >= 100 ? year : year < 70 ? 2000 + year : 1900 + year; }

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
    struct Segment {
        int digits = 2;
        int minimum = 0;
        int maximum = 0;
        int field = 0;
        int value = 0;
        int length = 2; // digits shown at least (the typing rule's text length)
        QString text;
        QString separator;
    };

    std::vector<Segment> segments;
    int selected = -1;
    std::int32_t flags = 0;
    bool calendarButton = false;
    bool spinButtons = false;
    int digitWidth = 8;
    int repeatInterval = kFirstRepeatDelay;
    QPointer<CCalendarPopup> popup;
    int kind = 0;
    std::int64_t lastValue = 0;
    bool hasValue = false;

    // The mouse: the part pressed (while the left button is held) and
    // whether the pointer is still over it.
    Part pressed = PartNone;
    bool pressedOver = false;
    QBasicTimer repeat;
    std::int64_t repeatDue = 0;

    void Build(std::int32_t wanted)
    {
        flags = wanted;
        calendarButton = (wanted & kDateBits) != 0;
        spinButtons = (wanted & kTimeBits) != 0;
        const Common::DateTimeSettings& settings = Common::GetDateTimeSettings();
        std::vector<int> date;
        const auto years = [&] {
            if (wanted & Common::DF_YEAR4)
                date.push_back(Common::DF_YEAR4);
            if (wanted & Common::DF_YEAR2)
                date.push_back(Common::DF_YEAR2);
        };
        const auto field = [&](int bit) {
            if (wanted & bit)
                date.push_back(bit);
        };
        if (settings.dateOrder == 0) {
            field(Common::DF_DAY);
            field(Common::DF_MONTH);
            years();
        } else if (settings.dateOrder == 1) {
            field(Common::DF_MONTH);
            field(Common::DF_DAY);
            years();
        } else {
            years();
            field(Common::DF_MONTH);
            field(Common::DF_DAY);
        }
        segments.clear();
        for (std::size_t i = 0; i < date.size(); ++i)
            Add(date[i], i + 1 < date.size() ? ToQString(settings.dateSeparator) : QStringLiteral(" "));
        const int time[] = {Common::DF_HOUR, Common::DF_MINUTE, Common::DF_SECOND, Common::DF_MILLISECOND};
        for (int i = 0; i < 4; ++i) {
            if (!(wanted & time[i]))
                continue;
            QString separator;
            const bool next = i + 1 < 4 && (wanted & time[i + 1]);
            if (next && i < 2)
                separator = ToQString(settings.timeSeparator);
            else if (next && i == 2)
                separator = ToQString(settings.decimalSeparator);
            Add(time[i], separator);
        }
    }

    void Add(int field, const QString& separator)
    {
        const Limits& limits = LimitsOf(field);
        Segment segment;
        segment.field = field;
        segment.digits = limits.digits;
        segment.minimum = limits.minimum;
        segment.maximum = limits.maximum;
        segment.value = limits.minimum;
        segment.length = limits.digits;
        segment.separator = separator;
        segments.push_back(segment);
        UpdateText(segments.back());
    }

    static void UpdateText(Segment& segment)
    {
        const int shown = segment.value % PowerOfTen(segment.digits);
        const int width = std::clamp(segment.length, 1, segment.digits);
        segment.text = QStringLiteral("%1").arg(shown, width, 10, QLatin1Char('0'));
    }

    void Put(Segment& segment, int value)
    {
        segment.value = value;
        segment.length = segment.digits;
        UpdateText(segment);
    }

    Segment* Find(int field)
    {
        for (Segment& segment : segments)
            if (segment.field == field)
                return &segment;
        return nullptr;
    }

    void Fill(const CalendarTime& time)
    {
        for (Segment& segment : segments) {
            switch (segment.field) {
            case Common::DF_YEAR4:
            case Common::DF_YEAR2: Put(segment, time.year); break;
            case Common::DF_MONTH: Put(segment, time.month); break;
            case Common::DF_DAY: Put(segment, time.day); break;
            case Common::DF_HOUR: Put(segment, time.hour); break;
            case Common::DF_MINUTE: Put(segment, time.minute); break;
            case Common::DF_SECOND: Put(segment, time.second); break;
            case Common::DF_MILLISECOND: Put(segment, time.millisecond); break;
            default: break;
            }
        }
    }

    // The fields of the segments over `time`; the four-digit year wins over
    // the two-digit one.
    void Read(CalendarTime& time)
    {
        if (Segment* year = Find(Common::DF_YEAR4))
            time.year = year->value;
        else if (Segment* shortYear = Find(Common::DF_YEAR2))
            time.year = FullYear(shortYear->value);
        if (Segment* month = Find(Common::DF_MONTH))
            time.month = month->value;
        if (Segment* day = Find(Common::DF_DAY))
            time.day = day->value;
        if (Segment* hour = Find(Common::DF_HOUR))
            time.hour = hour->value;
        if (Segment* minute = Find(Common::DF_MINUTE))
            time.minute = minute->value;
        if (Segment* second = Find(Common::DF_SECOND))
            time.second = second->value;
        if (Segment* millisecond = Find(Common::DF_MILLISECOND))
            time.millisecond = millisecond->value;
    }

    // Up (+1) or Down (-1), wrapping at the limits; with nothing selected the
    // first segment is selected instead.
    void Step(int direction)
    {
        if (selected < 0 || selected >= static_cast<int>(segments.size())) {
            if (!segments.empty())
                selected = 0;
            return;
        }
        Segment& segment = segments[static_cast<std::size_t>(selected)];
        int value = segment.value + direction;
        if (direction > 0 && (value > segment.maximum || value < segment.minimum))
            value = segment.minimum;
        else if (direction < 0 && (value < segment.minimum || value > segment.maximum))
            value = segment.maximum;
        Put(segment, value);
    }

    void Type(int digit)
    {
        if (selected < 0 || selected >= static_cast<int>(segments.size()))
            return;
        Segment& segment = segments[static_cast<std::size_t>(selected)];
        const int limit = PowerOfTen(segment.digits);
        const int length = static_cast<int>(segment.text.size());
        if (segment.value >= limit) {
            // A value wider than the segment (a full year in two digits):
            // the digit starts the segment afresh.
            segment.value = digit;
            segment.length = 1;
        } else if (length + 1 > segment.digits) {
            segment.value = digit;
            segment.length = 1;
        } else {
            segment.value = segment.value * 10 + digit;
            segment.length = length + 1;
        }
        UpdateText(segment);
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

CEmbeddedDateTimeCtrl::CEmbeddedDateTimeCtrl(std::int32_t flags, QWidget* parent) : QWidget(parent), m(std::make_unique<Impl>())
{
    setObjectName(QLatin1String(kClassName));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    m->digitWidth = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0')));
    m->Build(flags);
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
    CalendarTime time;
    if (kind == SecondsSince1970) {
        if (value < 0 || value > INT32_MAX || !Common::LocalSecondsToCalendar(static_cast<std::int32_t>(value), time))
            return false;
    } else if (kind == FileTime) {
        if (!Common::FileTimeToCalendar(value, time))
            return false;
    } else {
        return false;
    }
    m->kind = kind;
    m->lastValue = value;
    m->hasValue = true;
    m->Fill(time);
    update();
    return true;
}

bool CEmbeddedDateTimeCtrl::GetValue(int kind, std::int64_t& value)
{
    const bool known = m->hasValue && m->kind == kind;
    if (kind == SecondsSince1970) {
        CalendarTime time;
        if (known)
            Common::LocalSecondsToCalendar(static_cast<std::int32_t>(m->lastValue), time);
        else
            time = kFileTimeBase;
        m->Read(time);
        std::int32_t seconds = 0;
        if (!Common::CalendarToLocalSeconds(time, seconds)) {
            // An impossible date is never read as another one: the value
            // last set stands.
            if (!known)
                return false;
            value = m->lastValue;
            return true;
        }
        value = seconds;
        return true;
    }
    if (kind == FileTime) {
        // Fields without a segment, and the ticks below a millisecond, come
        // from the value last set: opening and closing the editor changes
        // nothing.
        CalendarTime time = kFileTimeBase;
        std::int64_t belowMillisecond = 0;
        if (known && Common::FileTimeToCalendar(m->lastValue, time))
            belowMillisecond = m->lastValue % Common::kTicksPerMillisecond;
        m->Read(time);
        std::int64_t fileTime = 0;
        if (!Common::CalendarToFileTime(time, fileTime))
            return false;
        value = fileTime + belowMillisecond;
        return true;
    }
    return false;
}

void CEmbeddedDateTimeCtrl::PassMousePress(QPoint point)
{
    // The press that opened the editor: on the cell's drop-down button (the
    // control's buttons now) it opens the calendar; on the text it selects.
    const Part part = PartAt(point);
    if (m->calendarButton && part != PartSegments && part != PartNone) {
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

std::int32_t CEmbeddedDateTimeCtrl::Flags() const { return m->flags; }
bool CEmbeddedDateTimeCtrl::HasCalendarButton() const { return m->calendarButton; }
bool CEmbeddedDateTimeCtrl::HasSpinButtons() const { return m->spinButtons; }
int CEmbeddedDateTimeCtrl::SegmentCount() const { return static_cast<int>(m->segments.size()); }

int CEmbeddedDateTimeCtrl::SegmentField(int index) const
{
    return index >= 0 && index < SegmentCount() ? m->segments[static_cast<std::size_t>(index)].field : 0;
}

int CEmbeddedDateTimeCtrl::SegmentValue(int index) const
{
    return index >= 0 && index < SegmentCount() ? m->segments[static_cast<std::size_t>(index)].value : 0;
}

QString CEmbeddedDateTimeCtrl::SegmentText(int index) const
{
    return index >= 0 && index < SegmentCount() ? m->segments[static_cast<std::size_t>(index)].text : QString();
}

QRect CEmbeddedDateTimeCtrl::SegmentRect(int index) const
{
    if (index < 0 || index >= SegmentCount())
        return {};
    const QFontMetrics metrics = fontMetrics();
    int x = kTextMargin;
    for (int i = 0; i < index; ++i) {
        const Impl::Segment& segment = m->segments[static_cast<std::size_t>(i)];
        x += segment.digits * m->digitWidth + metrics.horizontalAdvance(segment.separator);
    }
    return {x, 0, m->segments[static_cast<std::size_t>(index)].digits * m->digitWidth, height()};
}

int CEmbeddedDateTimeCtrl::FindSegment(int field) const
{
    for (int i = 0; i < SegmentCount(); ++i)
        if (m->segments[static_cast<std::size_t>(i)].field == field)
            return i;
    return -1;
}

int CEmbeddedDateTimeCtrl::SelectedSegment() const { return m->selected; }

void CEmbeddedDateTimeCtrl::SelectSegment(int index)
{
    if (index < -1 || index >= SegmentCount())
        return;
    m->selected = index;
    // A freshly selected segment shows all its digits: the next digit typed
    // replaces it.
    if (index >= 0) {
        Impl::Segment& segment = m->segments[static_cast<std::size_t>(index)];
        segment.length = segment.digits;
        Impl::UpdateText(segment);
    }
    update();
}

QString CEmbeddedDateTimeCtrl::Text() const
{
    QString text;
    for (const Impl::Segment& segment : m->segments)
        text += segment.text + segment.separator;
    return text;
}

QRect CEmbeddedDateTimeCtrl::SpinButtonRect() const
{
    if (!m->spinButtons)
        return {};
    const int side = height();
    return {width() - side, 0, side, side};
}

QRect CEmbeddedDateTimeCtrl::CalendarButtonRect() const
{
    if (!m->calendarButton)
        return {};
    const int side = height();
    const int right = m->spinButtons ? width() - side : width();
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
    for (const Impl::Segment& segment : m->segments)
        width += segment.digits * m->digitWidth + metrics.horizontalAdvance(segment.separator);
    width += (m->calendarButton ? side : 0) + (m->spinButtons ? side : 0);
    return {width, side};
}

// --- the calendar ------------------------------------------------------------------------

QCalendarWidget* CEmbeddedDateTimeCtrl::Calendar() const
{
    return m->popup && m->popup->isVisible() ? m->popup->calendar : nullptr;
}

void CEmbeddedDateTimeCtrl::OpenCalendar()
{
    if (!m->calendarButton || Calendar())
        return;
    // The segments' date; what has no segment is today's.
    const QDate today = QDate::currentDate();
    CalendarTime time{today.year(), today.month(), today.day(), kCalendarHour, 0, 0, 0};
    if (Impl::Segment* year = m->Find(Common::DF_YEAR4))
        time.year = year->value;
    else if (Impl::Segment* shortYear = m->Find(Common::DF_YEAR2))
        time.year = FullYear(shortYear->value);
    if (Impl::Segment* month = m->Find(Common::DF_MONTH))
        time.month = std::clamp(month->value, 1, 12);
    QDate date(time.year, time.month, 1);
    if (Impl::Segment* day = m->Find(Common::DF_DAY))
        time.day = day->value;
    date = QDate(time.year, time.month, std::clamp(time.day, 1, date.isValid() ? date.daysInMonth() : 28));

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
        for (Impl::Segment& segment : m->segments) {
            if (segment.field == Common::DF_YEAR4 || segment.field == Common::DF_YEAR2)
                m->Put(segment, picked.year());
            else if (segment.field == Common::DF_MONTH)
                m->Put(segment, picked.month());
            else if (segment.field == Common::DF_DAY)
                m->Put(segment, picked.day());
        }
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
            if (SegmentCount() > 0)
                SelectSegment(m->selected <= 0 ? SegmentCount() - 1 : m->selected - 1);
            break;
        case EventSelectNext:
            if (SegmentCount() > 0)
                SelectSegment(m->selected < 0 || m->selected >= SegmentCount() - 1 ? 0 : m->selected + 1);
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

void CEmbeddedDateTimeCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    CDeviceContext dc(painter);
    dc.SelectFont(font());
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    dc.FillSolid(FromQRect(rect()), PaletteColor(*this, group, QPalette::Base));
    const Color text = PaletteColor(*this, group, QPalette::Text);
    const bool highlight = hasFocus() && !Calendar();
    const QFontMetrics metrics = fontMetrics();
    for (int i = 0; i < SegmentCount(); ++i) {
        const Impl::Segment& segment = m->segments[static_cast<std::size_t>(i)];
        const QRect box = SegmentRect(i);
        Color ink = text;
        if (highlight && i == m->selected) {
            dc.FillSolid(FromQRect(box), PaletteColor(*this, group, QPalette::Highlight));
            ink = PaletteColor(*this, group, QPalette::HighlightedText);
        }
        dc.Text(FromQRect(box), segment.text, ink, TextCenter);
        if (!segment.separator.trimmed().isEmpty()) {
            // Room to spare: the text is left-aligned, and a rect cut to the
            // glyph's advance could end the separator in an ellipsis.
            const QRect after(box.right() + 1, 0, metrics.horizontalAdvance(segment.separator) + m->digitWidth, height());
            dc.Text(FromQRect(after), segment.separator, text, TextLeft);
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
        if (m->selected >= 0 && m->selected < SegmentCount()) {
            Impl::Segment& segment = m->segments[static_cast<std::size_t>(m->selected)];
            m->Put(segment, key == KeyHome ? segment.minimum : segment.maximum);
            update();
        }
        return;
    case KeyUp:
    case KeyDown:
        // Alt+Down opens the month calendar, as drop-down fields do.
        if (key == KeyDown && (event->modifiers() & Qt::AltModifier) && plain) {
            OpenCalendar();
            return;
        }
        if (plain) {
            m->Step(key == KeyUp ? 1 : -1);
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
        m->Type(key - Key0);
        update();
        return;
    }
    if (key >= KeyNumpad0 && key <= KeyNumpad9) {
        m->Type(key - KeyNumpad0);
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
        m->Step(part == PartSpinUp ? 1 : -1);
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
        m->Step(m->pressed == PartSpinUp ? 1 : -1);
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
