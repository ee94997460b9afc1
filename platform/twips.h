#pragma once
// Window and control sizes are designed in twips, 1440 to the inch. At the
// standard 96 logical dots per inch a logical pixel is 15 twips; Qt scales
// logical pixels to the screen.

namespace kolva {

constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

constexpr int pixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

} // namespace kolva
