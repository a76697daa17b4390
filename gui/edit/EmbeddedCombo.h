// CEmbeddedCombo: the drop-down list the enumeration reflector puts over a
// cell. A list only (no typing); each item carries its value as item data.
//
// It reports the end of a choice made in its open list: selectionConfirmed
// when an item was picked there, selectionCancelled when the list closed
// without a pick. Arrow keys on the closed list only move the current item.
#pragma once

#include "gui/platform/Export.h"

#include <QComboBox>
#include <cstdint>
#include <string>

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CEmbeddedCombo : public QComboBox {
    Q_OBJECT

public:
    explicit CEmbeddedCombo(QWidget* parent = nullptr);

    void AddItem(const std::string& text, std::int32_t value);
    // The index of the item holding the value, or -1.
    int FindValue(std::int32_t value) const;
    // The current item's value; false when no item is current.
    bool GetSelectedValue(std::int32_t& value) const;

    void showPopup() override;
    void hidePopup() override;

signals:
    void selectionConfirmed();
    void selectionCancelled();

private:
    void OnActivated();

    bool m_popupOpen = false;
    bool m_picked = false;
};

} // namespace Kestrum::GUI
