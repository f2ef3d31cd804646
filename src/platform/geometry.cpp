#include "platform/geometry.h"

#include <cmath>
#include <limits>

#include "platform/error.h"

namespace tarnhold::platform {

std::int32_t RoundHalfEven(double value) {
  if (!std::isfinite(value)) throw Error("overflow");
  const double rounded = std::nearbyint(value);  // default mode: to nearest, ties to even
  if (rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    throw Error("overflow");
  }
  return static_cast<std::int32_t>(rounded);
}

std::int32_t TwipsToPixels(double twips, double twipsPerPixel) {
  if (!(twipsPerPixel > 0)) throw Error("invalid twips per pixel");
  return RoundHalfEven(twips / twipsPerPixel);
}

double PixelsToTwips(std::int32_t pixels, double twipsPerPixel) {
  return static_cast<double>(pixels) * twipsPerPixel;
}

}  // namespace tarnhold::platform
