#pragma once

// Colour values as the logic keeps them: 0x00BBGGRR for a fixed colour, 0x800000nn for the
// desktop's system colour nn. The logic compares them for exact equality, so they are stored as set
// and only turned into real colours when drawn.

#include <cstdint>

namespace velmor {

using ColorValue = std::uint32_t;

inline constexpr ColorValue kBlue = 0x00FF0000;
inline constexpr ColorValue kMenuBackground = 0x80000004;
inline constexpr ColorValue kWindowBackground = 0x80000005;
inline constexpr ColorValue kWindowText = 0x80000008;
inline constexpr ColorValue kButtonFace = 0x8000000F;
inline constexpr ColorValue kGrayText = 0x80000011;  // disabled text
inline constexpr ColorValue kButtonText = 0x80000012;
inline constexpr ColorValue k3DHighlight = 0x80000014;
inline constexpr ColorValue kTooltipText = 0x80000017;
inline constexpr ColorValue kHotLight = 0x8000001A;  // a hyperlink

constexpr bool IsSystemColor(ColorValue value) { return (value & 0xFFFFFF00u) == 0x80000000u; }
constexpr int SystemColorIndex(ColorValue value) { return static_cast<int>(value & 0xFFu); }

}  // namespace velmor
