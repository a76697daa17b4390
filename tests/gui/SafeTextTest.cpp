// Cell text drawn safely: names cannot reorder, hide or blank themselves.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "gui/platform/DeviceContext.h"
#include "gui/platform/QtText.h"

using namespace Kestrum::GUI;

namespace {
struct Shown {
    const char* name;
    QString text;
    QString shown;
};

class DisplayTextShows : public ::testing::TestWithParam<Shown> {};

const Shown kShown[] = {
    {"plain", QStringLiteral("report.txt"), QStringLiteral("report.txt")},
    {"right_to_left_override", QString::fromUtf8("RTL-\u202Eoverride.txt"), QString::fromUtf8("RTL-\uFFFDoverride.txt")},
    {"every_bidi_control", QString::fromUtf8("a\u202Ab\u202Bc\u202Cd\u202De\u2066f\u2067g\u2068h\u2069i\u200Ej\u200Fk\u061Cl"),
     QString::fromUtf8("a\uFFFDb\uFFFDc\uFFFDd\uFFFDe\uFFFDf\uFFFDg\uFFFDh\uFFFDi\uFFFDj\uFFFDk\uFFFDl")},
    {"tab_newline_escape", QString::fromUtf8("a\tb\nc\x1b" "d\x7f"), QString::fromUtf8("a\u2409b\u240Ac\u241Bd\u2421")},
    {"c1_control", QString::fromUtf8("a\u0085b"), QString::fromUtf8("a\uFFFDb")},
    {"line_separator", QString::fromUtf8("a\u2028b"), QString::fromUtf8("a\u2424b")},
    {"only_spaces", QStringLiteral("   "), QString::fromUtf8("\u2423\u2423\u2423")},
    {"only_no_break_space", QString::fromUtf8("\u00A0\u3000"), QString::fromUtf8("\u2423\u2423")},
    {"spaces_and_tab", QString::fromUtf8(" \t "), QString::fromUtf8(" \u2409 ")},
    {"spaces_inside_a_name", QStringLiteral(" a b "), QStringLiteral(" a b ")},
    {"right_to_left_letters_stay", QString::fromUtf8("\u05D0\u05D1.txt"), QString::fromUtf8("\u05D0\u05D1.txt")},
    {"empty", QString(), QString()},
};
} // namespace

TEST_P(DisplayTextShows, ItsVisibleForm)
{
    EXPECT_EQ(DisplayText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(SafeText, DisplayTextShows, ::testing::ValuesIn(kShown),
                         [](const auto& test) { return std::string(test.param.name); });

namespace {
QImage Draw(const QString& text, bool safe, Qt::LayoutDirection direction = Qt::LeftToRight)
{
    QImage image(400, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setLayoutDirection(direction);
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    CDeviceContext dc(painter);
    dc.SetSafeText(safe);
    dc.Text({2, 0, 398, 24}, text, 0, TextLeft);
    return image;
}

int InkedPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != qRgb(255, 255, 255);
    return count;
}
} // namespace

TEST(SafeText, AnOverrideCannotReverseTheNameThatFollowsIt)
{
    const QString disguised = QString::fromUtf8("RTL-\u202Eoverride.txt");
    const QString escaped = QString::fromUtf8("RTL-\uFFFDoverride.txt");
    // Drawn raw, the override reverses the rest: not what the safe drawing shows.
    ASSERT_NE(Draw(disguised, false), Draw(escaped, false));
    EXPECT_EQ(Draw(disguised, true), Draw(escaped, false));
    // An isolate opened in the name cannot turn the cell right to left either.
    const QString isolated = QString::fromUtf8("\u2067\u05D0\u05D1 report.txt");
    EXPECT_EQ(Draw(isolated, true), Draw(QString::fromUtf8("\uFFFD\u05D0\u05D1 report.txt"), false));
}

TEST(SafeText, ControlCharactersAndBlankNamesAreVisibleAndMeasured)
{
    EXPECT_EQ(InkedPixels(Draw(QStringLiteral("   "), false)), 0);
    EXPECT_GT(InkedPixels(Draw(QStringLiteral("   "), true)), 10);

    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    CDeviceContext dc(painter);
    EXPECT_TRUE(dc.IsSafeText());
    // The tab's symbol where a font at hand has it, else U+FFFD: never an empty box.
    const QString tab = dc.Shown(QStringLiteral("a\tb"));
    EXPECT_TRUE(tab == QString::fromUtf8("a\u2409b") || tab == QString::fromUtf8("a\uFFFDb")) << tab.toStdString();
    EXPECT_EQ(Draw(QStringLiteral("a\tb"), true), Draw(tab, false));
    EXPECT_EQ(dc.TextWidth(QStringLiteral("a\tb")), QFontMetrics(font).horizontalAdvance(tab));
    EXPECT_EQ(dc.Shown(QStringLiteral("   ")), QString::fromUtf8("\u2423\u2423\u2423"));
    EXPECT_GT(dc.TextWidth(QStringLiteral("   ")), 0);
}

TEST(SafeText, AnApplicationCanDrawRawText)
{
    CDeviceContext::SetSafeTextByDefault(false);
    QImage image(10, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    CDeviceContext raw(painter);
    CDeviceContext::SetSafeTextByDefault(true);
    CDeviceContext safe(painter);
    EXPECT_FALSE(raw.IsSafeText());
    EXPECT_TRUE(safe.IsSafeText());
}
