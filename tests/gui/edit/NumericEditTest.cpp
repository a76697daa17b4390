// CNumericEdit on a real widget, typed into with QTest: what each mode lets
// through, and that a refused keystroke leaves text and caret as they were.
#include <gtest/gtest.h>

#include <QTest>

#include "gui/edit/NumericEdit.h"

using namespace Kestrum::GUI;

namespace {

struct TextCase {
    std::int32_t mode;
    const char* text;
    bool accepted;
};

class NumericEditText : public ::testing::TestWithParam<TextCase> {};

TEST_P(NumericEditText, PassesTheTestOfItsMode)
{
    const TextCase& c = GetParam();
    EXPECT_EQ(CNumericEdit::IsAcceptable(QString::fromLatin1(c.text), c.mode), c.accepted) << c.text << " in mode " << c.mode;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, NumericEditText,
    ::testing::Values(
        // The decimal-mark rule holds in every mode, past a leading '-'.
        TextCase{0, "anything at all", true}, TextCase{0, "1.5", true}, TextCase{0, "1.5.", false},
        TextCase{0, "1,5.", false}, TextCase{0, "-,5", true}, TextCase{0, "--5", true},
        // Decimal integers: digits only.
        TextCase{1, "-1234", true}, TextCase{1, "12a", false}, TextCase{1, "1 234", false}, TextCase{1, "1+2", false},
        TextCase{1, "", true},
        // Hexadecimal.
        TextCase{2, "0x1F", true}, TextCase{2, "ff", true}, TextCase{2, "FFx", true}, TextCase{2, "g", false},
        TextCase{2, "1.2.3", false}, TextCase{2, "1.2", false},
        // One character.
        TextCase{3, "a", true}, TextCase{3, "", true}, TextCase{3, "ab", false}, TextCase{3, ".", true},
        // Floating point.
        TextCase{4, "1,5", true}, TextCase{4, "1,5,", false}, TextCase{4, "1,5.", false}, TextCase{4, "-1.5e+3", true},
        TextCase{4, "1.5E-3", true}, TextCase{4, "1.5x", false},
        // Times and durations.
        TextCase{5, "12:30", true}, TextCase{5, "12:30.5", false}, TextCase{6, "1:02:03.004", true},
        TextCase{6, "1:02:03,004", true}, TextCase{6, "1 02", false}));

struct NumericEditTyping : ::testing::Test {
    CNumericEdit edit{NumericDecimal};
    NumericEditTyping()
    {
        edit.show();
        edit.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&edit));
        edit.setFocus();
    }
    void Type(std::int32_t mode, const char* keys)
    {
        edit.SetMode(mode);
        QTest::keyClicks(&edit, QString::fromLatin1(keys));
    }
};

struct TypingCase {
    std::int32_t mode;
    const char* typed;
    const char* result;
};

class NumericEditTypes : public NumericEditTyping, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(NumericEditTypes, KeepsOnlyTheKeystrokesTheModeAccepts)
{
    const TypingCase& c = GetParam();
    Type(c.mode, c.typed);
    EXPECT_EQ(edit.text().toStdString(), c.result) << "typed " << c.typed << " in mode " << c.mode;
}

INSTANTIATE_TEST_SUITE_P(Keystrokes, NumericEditTypes,
                         ::testing::Values(
                             // A hexadecimal long: "0x1F" and "ff" go in, "g" and the second mark do not.
                             TypingCase{2, "0x1F", "0x1F"}, TypingCase{2, "ff", "ff"}, TypingCase{2, "g", ""},
                             TypingCase{2, "1.2.3", "123"}, TypingCase{2, "1g2", "12"},
                             // A double: "1,5", then neither a second ',' nor a '.'.
                             TypingCase{4, "1,5", "1,5"}, TypingCase{4, "1,5,", "1,5"}, TypingCase{4, "1,5.", "1,5"},
                             TypingCase{4, "-2e5", "-2e5"},
                             // A decimal integer.
                             TypingCase{1, "-12a3", "-123"}, TypingCase{1, "1 2", "12"},
                             // A char: each keystroke replaces the content.
                             TypingCase{3, "a", "a"}, TypingCase{3, "abc", "c"}, TypingCase{3, "x1", "1"},
                             // A duration.
                             TypingCase{6, "1:02.5", "1:02.5"}, TypingCase{6, "1:02x", "1:02"}));

TEST_F(NumericEditTyping, ARefusedKeystrokeLeavesTextAndCaretAsTheyWere)
{
    edit.SetMode(NumericHexadecimal);
    edit.setText("12ab");
    edit.setCursorPosition(2);
    QTest::keyClick(&edit, 'g');
    EXPECT_EQ(edit.text(), "12ab");
    EXPECT_EQ(edit.cursorPosition(), 2);
    EXPECT_FALSE(edit.hasSelectedText());
}

TEST_F(NumericEditTyping, ARefusedKeystrokeOverASelectionKeepsTheSelection)
{
    edit.SetMode(NumericFloat);
    edit.setText("1,5");
    edit.setSelection(3, -2); // ",5" selected, the caret at its start
    QTest::keyClick(&edit, 'x');
    EXPECT_EQ(edit.text(), "1,5");
    EXPECT_EQ(edit.selectedText(), ",5");
    EXPECT_EQ(edit.cursorPosition(), 1);
}

TEST_F(NumericEditTyping, TheCharacterModeReplacesASelectedTextToo)
{
    edit.SetMode(NumericCharacter);
    edit.setText("q");
    edit.selectAll();
    QTest::keyClick(&edit, 'z');
    EXPECT_EQ(edit.text(), "z");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "");
}

TEST_F(NumericEditTyping, EditingKeysStillWork)
{
    edit.SetMode(NumericDecimal);
    edit.setText("1234");
    edit.setCursorPosition(4);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), "23");
}

} // namespace
