// CNumericEdit: an edit box that refuses keystrokes which would make its text
// something other than a number of its mode. Before each change it saves its
// text and selection; a change whose result fails the mode's test is undone
// (text and caret as they were), one that passes becomes the saved state.
//
// Modes and what they accept besides the digits 0-9:
//   0 anything (only the decimal-mark rule)   4 ".,edED-+" (floating point)
//   1 nothing (decimal integers)              5 ":"
//   2 "abcdefABCDEFxX" (hexadecimal)          6 ":.," (durations)
//   3 one character: a typed printable character replaces the whole text
// In every mode a leading '-' is not looked at, and the text holds at most
// one decimal mark (not both '.' and ',', neither twice).
//
// Every way the text can change by the user (keys, input methods, a drop, the
// context menu's paste) goes through the same test.
#pragma once

#include "gui/platform/Export.h"

#include <QLineEdit>
#include <cstdint>

namespace Kestrum::GUI {

enum NumericEditMode : std::int32_t {
    NumericAny = 0,
    NumericDecimal = 1,
    NumericHexadecimal = 2,
    NumericCharacter = 3,
    NumericFloat = 4,
    NumericTime = 5,
    NumericDuration = 6,
};

class KESTRUM_GUI_EXPORT CNumericEdit : public QLineEdit {
public:
    explicit CNumericEdit(std::int32_t mode, QWidget* parent = nullptr);

    std::int32_t GetMode() const noexcept { return m_mode; }
    void SetMode(std::int32_t mode) noexcept { m_mode = mode; }
    // Does the text pass the test of the mode?
    static bool IsAcceptable(const QString& text, std::int32_t mode);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Runs a change with the text and selection saved before it, and undoes
    // it when the result fails the test.
    template <class Change> void Guarded(Change&& change);

    std::int32_t m_mode;
    QString m_savedText;
    int m_savedCursor = 0;
    int m_savedStart = -1; // the selection (-1: none)
    int m_savedLength = 0;
};

} // namespace Kestrum::GUI
