#pragma once

// What the viewer reads of a help file at most, for every part of it that reads or checks
// objects: larger ones are refused rather than read into memory.

#include <cstdint>

namespace qvx::chm {

inline constexpr std::int64_t maxObjectBytes = 64 * 1024 * 1024;
inline constexpr std::int64_t maxSystemBytes = 1024 * 1024; // #SYSTEM and the compression tables
// Real help pages stay under 1 MiB (the largest seen, a generated index, is 776 KiB with 9,158
// table cells and lays out in about 0.25 s).
inline constexpr std::int64_t maxPageBytes = 2 * 1024 * 1024;
// A full-screen 4K screenshot fits.
inline constexpr std::int64_t maxImageBytes = 4 * 1024 * 1024;
// Style sheets of real help files are a few KiB.
inline constexpr std::int64_t maxStyleSheetBytes = 512 * 1024;

} // namespace qvx::chm
