// CEmbeddedDateTimeCtrl: the date and time editor the date reflectors put
// over a cell. It shows the value as a row of numeric segments (day, month,
// year, hour, minute, second, millisecond) laid out from a date format's
// flag word and the process-wide date and time settings, in their order.
//
// The user selects a segment (mouse, Left and Right) and types digits into
// it, steps it with Up, Down, Home and End or with the spin buttons (which
// repeat faster while held, timed on the grid clock), or picks a date from
// the month-calendar pop-up below the control (its button, or Alt+Down). A
// date picked there is announced with selectionConfirmed, which the grid
// takes as a confirmed choice (edit code 21). When the pop-up closes the
// control takes the keyboard back, so Enter, Esc and Tab reach it again.
//
// Left and Right, and the closing of the pop-up, are posted to the control
// itself as events of its registered type (kEventName) and carried out when
// they arrive.
//
// The segments themselves (their limits, stepping, typing, the value they
// compose) are a CDateTimeSegments (DateTimeSegments.h); the control keeps
// the painting, the events, the focus, the spin repeat and the pop-up.
#pragma once

#include "gui/platform/Export.h"

#include <QWidget>
#include <cstdint>
#include <memory>

#include "gui/edit/DateReflectors.h"

class QCalendarWidget;

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CEmbeddedDateTimeCtrl : public QWidget, public IDateTimeEditor {
    Q_OBJECT

public:
    static constexpr const char* kClassName = "Kestrum.EmbeddedDateTimeCtrl";
    static constexpr const char* kEventName = "Kestrum.EmbeddedDateTimeEvent";
    // The arguments of the control's own event.
    enum PostedEvent : int { EventSelectPrevious = 1, EventSelectNext = 2, EventPopupClosed = 3 };
    // The registered event type (registered once per process).
    static int EventType();

    // A part of the control under a point.
    enum Part : int { PartNone = 0, PartSegments = 1, PartCalendar = 2, PartSpinUp = 3, PartSpinDown = 4 };

    // Before any value is set every segment holds its minimum.
    explicit CEmbeddedDateTimeCtrl(std::int32_t flags, QWidget* parent = nullptr);
    ~CEmbeddedDateTimeCtrl() override;

    // IDateTimeEditor
    QWidget* Window() override { return this; }
    bool SetValue(int kind, std::int64_t value) override;
    bool GetValue(int kind, std::int64_t& value) override;
    void PassMousePress(QPoint point) override;

    std::int32_t Flags() const;
    bool HasCalendarButton() const;
    bool HasSpinButtons() const;

    // The segments in display order.
    int SegmentCount() const;
    int SegmentField(int index) const; // its flag bit
    int SegmentValue(int index) const;
    QString SegmentText(int index) const;
    QRect SegmentRect(int index) const;
    // The index of the segment of a field (flag bit), or -1.
    int FindSegment(int field) const;
    int SelectedSegment() const;
    void SelectSegment(int index);
    // Every segment's text and separator.
    QString Text() const;

    QRect CalendarButtonRect() const; // empty without the button
    QRect SpinButtonRect() const;     // both halves; empty without them
    Part PartAt(QPoint point) const;

    // The open month-calendar pop-up, or null.
    QCalendarWidget* Calendar() const;
    void OpenCalendar();
    void CloseCalendar();

    // The spin repeat: the timer that wakes the control, when the next step
    // is due on the grid clock, and the interval it was scheduled with.
    int RepeatTimerId() const;
    std::int64_t RepeatDue() const;
    int RepeatInterval() const;

    QSize sizeHint() const override;

signals:
    void selectionConfirmed();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void AnnounceChanges();
    // Once the pop-up has closed: the keyboard comes back to the control.
    void TakeFocusBack();

    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace Kestrum::GUI
