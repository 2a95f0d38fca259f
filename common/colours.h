#pragma once
// The colours both programs name, as 0xRRGGBB.
#include <cstdint>

namespace common {

using Rgb = std::uint32_t;

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kSilver = 0xC0C0C0;
constexpr Rgb kLime = 0x00FF00;
constexpr Rgb kGreen = 0x008000;
constexpr Rgb kYellow = 0xFFFF00;
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kMaroon = 0x800000;
constexpr Rgb kAqua = 0x00FFFF;
constexpr Rgb kBlue = 0x0000FF;
constexpr Rgb kPurple = 0x800080;
constexpr Rgb kFuchsia = 0xFF00FF;

}  // namespace common
