#include "gui/edit/NumericEdit.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace Kestrum::GUI {

namespace {
// What each mode accepts besides the digits.
const char* AcceptedBesidesDigits(std::int32_t mode)
{
    switch (mode) {
    case NumericDecimal: return "";
    case NumericHexadecimal: return "abcdefABCDEFxX";
    case NumericFloat: return ".,edED-+";
    case NumericTime: return ":";
    case NumericDuration: return ":.,";
    default: return nullptr; // modes 0 and 3: no character test
    }
}
} // namespace

CNumericEdit::CNumericEdit(std::int32_t mode, QWidget* parent) : QLineEdit(parent), m_mode(mode) {}

bool CNumericEdit::IsAcceptable(const QString& text, std::int32_t mode)
{
    QStringView checked(text);
    if (checked.startsWith(u'-'))
        checked = checked.mid(1);
    const qsizetype points = checked.count(u'.');
    const qsizetype commas = checked.count(u',');
    if ((points > 0 && commas > 0) || points > 1 || commas > 1)
        return false;
    if (mode == NumericCharacter)
        return text.size() <= 1;
    const char* accepted = AcceptedBesidesDigits(mode);
    if (!accepted)
        return true;
    const QString extra = QString::fromLatin1(accepted);
    for (const QChar character : checked)
        if (!(character >= u'0' && character <= u'9') && !extra.contains(character))
            return false;
    return true;
}

template <class Change> void CNumericEdit::Guarded(Change&& change)
{
    m_savedText = text();
    m_savedCursor = cursorPosition();
    m_savedStart = selectionStart();
    m_savedLength = static_cast<int>(selectedText().size());
    change();
    if (text() == m_savedText || IsAcceptable(text(), m_mode))
        return;
    setText(m_savedText);
    if (m_savedStart >= 0 && m_savedLength > 0) {
        // The caret goes back to the end of the selection it was at.
        if (m_savedCursor == m_savedStart)
            setSelection(m_savedStart + m_savedLength, -m_savedLength);
        else
            setSelection(m_savedStart, m_savedLength);
    } else {
        setCursorPosition(m_savedCursor);
    }
}

void CNumericEdit::keyPressEvent(QKeyEvent* event)
{
    Guarded([&] {
        const QString typed = event->text();
        const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (m_mode == NumericCharacter && plain && typed.size() == 1 && typed[0].unicode() >= 32 && typed[0].unicode() <= 127) {
            // One character: what is typed replaces it.
            setText(typed);
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    });
}

void CNumericEdit::inputMethodEvent(QInputMethodEvent* event)
{
    Guarded([&] { QLineEdit::inputMethodEvent(event); });
}

void CNumericEdit::dropEvent(QDropEvent* event)
{
    Guarded([&] { QLineEdit::dropEvent(event); });
}

void CNumericEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    Guarded([&] { menu->exec(event->globalPos()); });
}

} // namespace Kestrum::GUI
