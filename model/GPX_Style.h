#pragma once

#include <string>
#include <string_view>

#include "model/CommonTypes.h"
#include "platform/Object.h"

// The colour that marks a line style without a colour of its own (bit 24 set).
inline constexpr TColor kNoLineColor = 0x1000000;

// Six upper-case hexadecimal digits RRGGBB; bits 24 and above are ignored.
std::string ColorToHex(TColor Color);
// From six hexadecimal digits RRGGBB (either case) after trimming blanks and
// control characters: a shorter text is padded on the left with '0', a longer
// one counts by its first six characters, a pair that is not hexadecimal gives 0.
TColor HexToColor(std::string_view Text);

// The colour and opacity of a route or track line (GPX line-style extension).
class TGPX_StyleLine : public TObject {
public:
  TGPX_StyleLine() = default;
  const char* ClassName() const override { return "TGPX_StyleLine"; }

  void CopyFrom(const TGPX_StyleLine& GPX_StyleLine);

  bool IsDefaultColor() const { return (fColor & kNoLineColor) != 0; }

  TColor Color() const { return fColor; }
  void SetColor(TColor value) { fColor = value; }
  std::string ColorStr() const { return ColorToHex(fColor); }
  void SetColorStr(std::string_view text) { fColor = HexToColor(text); }

  double Opacity() const { return fOpacity; }
  void SetOpacity(double value) { fOpacity = value; }
  // The absolute opacity in the general number format, fixed from 0.00001 up to
  // 15 digits before the point: 1 reads "1", 0.5 "0.5", 0.00005 "0.00005".
  std::string OpacityStr() const;
  // The absolute value of a number with '.'; 1.0 for any other text.
  void SetOpacityStr(std::string_view text);

private:
  TColor fColor = kNoLineColor;
  double fOpacity = 1.0;
};
