#include "model/GPX_Style.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "model/ColorInterpolate.h"
#include "tests/support/CommaLocale.h"

namespace {

TEST(LineStyle, ANewStyleHasNoColourAndFullOpacity) {
  TGPX_StyleLine style;
  EXPECT_TRUE(style.IsDefaultColor());
  EXPECT_EQ(style.Color(), 0x1000000u);
  EXPECT_EQ(style.ColorStr(), "000000");
  EXPECT_EQ(style.OpacityStr(), "1");
}

TEST(LineStyle, ColourTextIsRedGreenBlueAndRoundTrips) {
  EXPECT_EQ(ColorToHex(0x00FF8000), "0080FF");
  EXPECT_EQ(ColorToHex(0x7F123456), "563412");  // bits 24 and above ignored
  TGPX_StyleLine style;
  style.SetColorStr("0080FF");
  EXPECT_EQ(style.Color(), 0x00FF8000u);
  EXPECT_FALSE(style.IsDefaultColor());
  style.SetColor(0x1ABCDEF);
  EXPECT_TRUE(style.IsDefaultColor());
}

TEST(LineStyle, HexToColor) {
  struct Case {
    const char* text;
    TColor color;
  };
  const Case cases[] = {
      {"F", 0x0F0000},          // padded to 00000F: blue 15
      {"", 0},
      {"12345678", 0x563412},   // only the first six count
      {"#FF0000", 0x00F000},    // #F is no pair, F0 is green 240
      {"ff80c0", 0xC080FF},     // either letter case
      {" \t0000FF\r\n", 0xFF0000},
      {"zz80zz", 0x008000},     // a bad pair gives 0 for its channel only
      {"\xC3\xA9" "F", 0},      // "éF": padded by characters to 0000éF, blue pair is no hex
  };
  for (const Case& c : cases) EXPECT_EQ(HexToColor(c.text), c.color) << '"' << c.text << '"';
}

TEST(LineStyle, OpacityTextUnderACommaLocale) {
  REQUIRE_COMMA_LOCALE(guard);
  struct Case {
    const char* text;
    double opacity;
    const char* shown;
  };
  const Case cases[] = {
      {"0.5", 0.5, "0.5"}, {"0,5", 1.0, "1"},  {"-0.5", 0.5, "0.5"}, {"abc", 1.0, "1"},
      {"", 1.0, "1"},      {"2.5", 2.5, "2.5"}, {" 0.25 ", 0.25, "0.25"}, {"0.3", 0.3, "0.3"},
  };
  for (const Case& c : cases) {
    TGPX_StyleLine style;
    style.SetOpacity(0.1);
    style.SetOpacityStr(c.text);
    EXPECT_EQ(style.Opacity(), c.opacity) << '"' << c.text << '"';
    EXPECT_EQ(style.OpacityStr(), c.shown) << '"' << c.text << '"';
  }
  TGPX_StyleLine negative;
  negative.SetOpacity(-0.75);
  EXPECT_EQ(negative.OpacityStr(), "0.75");
}

TEST(LineStyle, OpacityTextIsFixedFromOneHundredThousandthUpTo15Digits) {
  struct Case {
    double opacity;
    const char* shown;
  };
  const Case cases[] = {
      {0.00005, "0.00005"},   {0.00001, "0.00001"},   {0.000015, "0.000015"},
      {0.0000099, "9.9E-6"},  {0.0001, "0.0001"},     {0.1 + 0.2, "0.3"},  // 15 significant digits
      {123456789012345, "123456789012345"},            {1e15, "1E15"},
  };
  for (const Case& c : cases) {
    TGPX_StyleLine style;
    style.SetOpacity(c.opacity);
    EXPECT_EQ(style.OpacityStr(), c.shown) << c.opacity;
  }
}

TEST(LineStyle, CopyFromTakesColourAndOpacity) {
  TGPX_StyleLine source, target;
  source.SetColor(0x123456);
  source.SetOpacity(0.4);
  target.CopyFrom(source);
  EXPECT_EQ(target.Color(), 0x123456u);
  EXPECT_EQ(target.Opacity(), 0.4);
}

TEST(InterpolateColor, EndsAreReturnedUnchanged) {
  const TColor c0 = 0x01ABCDEF, c1 = 0x02123456;  // bit 24 and above survive at the ends
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double t : {0.0, -1.0, -0.0, nan}) EXPECT_EQ(InterpolateColor(c0, c1, t), c0) << t;
  for (double t : {1.0, 2.0, std::numeric_limits<double>::infinity()}) EXPECT_EQ(InterpolateColor(c0, c1, t), c1) << t;
}

TEST(InterpolateColor, ChannelsRoundHalvesToEven) {
  struct Case {
    TColor c0, c1;
    double t;
    TColor expected;
  };
  const Case cases[] = {
      {0x000000, 0x0000FF, 0.5, 0x000080},   // red 127.5 -> 128
      {0x000001, 0x000002, 0.5, 0x000002},   // 1.5 -> 2
      {0x000002, 0x000003, 0.5, 0x000002},   // 2.5 -> 2
      {0x00FF00, 0xFF0000, 0.25, 0x40BF00},  // green 191.25, blue 63.75
      {0x00FF00, 0xFF0000, 0.5, 0x808000},   // 127.5 each: 128
      {0x01000000, 0x02000000, 0.5, 0},      // bits 24 and above are 0 between the ends
  };
  for (const Case& c : cases)
    EXPECT_EQ(InterpolateColor(c.c0, c.c1, c.t), c.expected) << std::hex << c.c0 << " " << c.c1 << " " << c.t;
}

}  // namespace
