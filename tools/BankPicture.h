#pragma once
// Pictures from question banks made into pictures the player shows. JPEG and BMP files (and
// EMF and WMF) are kept byte for byte; PNG and GIF, which the player cannot show, are decoded
// (libpng, giflib) and written again: as an 8-bit BMP when the picture has at most 256 colours
// (drawings, diagrams, text: nothing blurs), else as a JPEG (photographs). Transparent pixels
// are drawn on white; of an animated GIF the first frame is kept. Every result passes the
// player's own checks.

#include <string>

struct TBankPicture {
    std::string Extension;  // "JPG", "BMP", "EMF" or "WMF"
    std::string Bytes;
    bool Converted = false;
};

// False with the reason for a file that is no picture of these kinds, is damaged or is too
// large to decode.
bool MakePlayerPicture(const std::string& bytes, TBankPicture& picture, std::string& reason);
