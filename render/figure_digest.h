// Digests of what the drawing pass draws, so that two builds of the program (the native
// tool and the web page) can show that they compute the very same segment end points.
// Uses CurrentString, Settings.NumFractal, the drawing area and the extent: the caller's
// thread only, and nothing else drawing meanwhile.
#pragma once

#include <cstdint>
#include <string>

// FNV-1a, 64 bits, over every move, pen and line of the drawing pass of CurrentString
// (after its measuring pass), in the order drawn.
uint64_t FigureDigest();

// One line "ENTRY GENERATION DIGEST" (the digest in 16 hexadecimal digits) for every
// generation the settings dialog offers of every entry, drawn with the built-in start
// headings in a window of width x height. Leaves CurrentString empty, the catalogue as
// built in and the drawing area at that size; Settings.NumFractal is put back.
std::string AllFigureDigests(int32_t width, int32_t height);
