#pragma once

#include <QRect>

namespace platform {

// Layout is given in twips: 15 twips to a pixel at 96 dots per inch. Qt scales the pixels for
// higher densities itself.
constexpr int kTwipsPerPixel = 15;
constexpr int twipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}
constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

} // namespace platform
