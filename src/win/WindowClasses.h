#pragma once

// Class names of the program's two windows: outside probes find them by these too.
namespace qvx::win {
inline constexpr const wchar_t *mainWindowClass = L"QvxFrmPlayDemos";
inline constexpr const wchar_t *aboutWindowClass = L"QvxFrmAbout";
} // namespace qvx::win
