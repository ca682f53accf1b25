#pragma once
// The eleven bar pictures of the HTML report: how far a smoke chamber has drifted, as a bar
// that shrinks and turns from green to red as the result grows.
//
//   barIndex   the picture for a chamber result in percent: 0 for 0..9, 1 for 10..19, ...,
//              9 for 90..99, 10 for 100 and more; -1 (no picture) for a negative result
//   barPng     the PNG file of picture 0..10: 100 x 10 pixels, 8-bit RGBA, opaque, gamma
//              1/2.2 (a gAMA chunk). Rows 0 and 9 and columns 0 and 99 are a frame in the bar
//              colour; inside it the first L columns are in the bar colour, the rest in
//              (255, 191, 191). L is 100 (no empty part) for picture 0, 90 for 1, ..., 10 for
//              9, and 1 for 10 (frame only).
#include <string>

namespace korvane::reports {

inline constexpr int kBarPictures = 11;

int barIndex(int percent);
std::string barPng(int index);

}  // namespace korvane::reports
