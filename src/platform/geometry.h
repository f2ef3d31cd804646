#pragma once
#include <cstdint>

namespace tarnhold::platform {

// The screen the layout is designed for: 96 dots an inch, 15 twips a pixel.
// Backends that do not ask the system for its resolution hold it there.
inline constexpr double kTwipsPerPixel = 15;

// Rounds to the nearest integer, a half to the even neighbour, the way the
// runtime converts a Single to a Long. Throws Error when the value does not fit.
std::int32_t RoundHalfEven(double value);

// Window geometry is held in whole pixels: a value written in twips is rounded
// to a pixel, so reading it back gives what the window really has.
std::int32_t TwipsToPixels(double twips, double twipsPerPixel);
double PixelsToTwips(std::int32_t pixels, double twipsPerPixel);

}  // namespace tarnhold::platform
