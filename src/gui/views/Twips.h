// Window geometry is designed in twips (1/1440 inch). Qt measures widgets in
// device-independent pixels of 1/96 inch, so a pixel is 15 twips whatever the
// screen's real density; every window converts through these two functions.
#pragma once

namespace qv {

inline constexpr int kTwipsPerPixel = 15;

// Rounded to the nearest pixel, so that 400 twips give 27 pixels, not 26.
constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
constexpr int PixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

}  // namespace qv
