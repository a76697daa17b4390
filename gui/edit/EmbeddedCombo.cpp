#include "gui/edit/EmbeddedCombo.h"

#include <QPointer>
#include <QTimer>

#include "gui/platform/QtText.h"

namespace Kestrum::GUI {

CEmbeddedCombo::CEmbeddedCombo(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) { OnActivated(); });
}

void CEmbeddedCombo::AddItem(const std::string& text, std::int32_t value) { addItem(ToQString(text), QVariant(value)); }

int CEmbeddedCombo::FindValue(std::int32_t value) const { return findData(QVariant(value)); }

bool CEmbeddedCombo::GetSelectedValue(std::int32_t& value) const
{
    if (currentIndex() < 0)
        return false;
    bool ok = false;
    const int data = currentData().toInt(&ok);
    if (!ok)
        return false;
    value = static_cast<std::int32_t>(data);
    return true;
}

void CEmbeddedCombo::showPopup()
{
    m_popupOpen = true;
    m_picked = false;
    QComboBox::showPopup();
}

void CEmbeddedCombo::hidePopup()
{
    QComboBox::hidePopup();
    if (!m_popupOpen)
        return;
    // A pick is announced (activated) after the list has closed, in the same
    // turn of the event loop: whether the closing was a cancel is known after it.
    QTimer::singleShot(0, this, [this] {
        if (!m_popupOpen)
            return;
        m_popupOpen = false;
        if (!m_picked)
            emit selectionCancelled();
    });
}

void CEmbeddedCombo::OnActivated()
{
    if (!m_popupOpen)
        return; // an arrow key on the closed list
    m_picked = true;
    m_popupOpen = false;
    emit selectionConfirmed();
}

} // namespace Kestrum::GUI
