// The date and time editor as assistive technology reads it: a spin box
// whose value is the whole text, with one child per segment, named after
// its field ("Day", "Month", ...), valued by its digits, focused while it
// is the selected segment of the focused editor.
#pragma once

#include <QAccessibleWidget>
#include <vector>

namespace Kestrum::GUI {

class CEmbeddedDateTimeCtrl;

class CDateTimeCtrlAccessible final : public QAccessibleWidget {
public:
    explicit CDateTimeCtrlAccessible(CEmbeddedDateTimeCtrl* control);
    ~CDateTimeCtrlAccessible() override;
    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    CEmbeddedDateTimeCtrl* Control() const;

private:
    std::vector<QAccessible::Id> m_segments; // registered on first ask, by index
};

// The name of a segment's field (its flag bit).
QString DateTimeFieldName(int field);

} // namespace Kestrum::GUI
