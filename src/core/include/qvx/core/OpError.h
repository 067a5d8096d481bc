#pragma once

#include "qvx/core/Platform.h"

#include <string_view>

// Failure numbers shown to the user, as support staff know them.
namespace qvx::OpError {
inline constexpr int FileNotFound = 53;
inline constexpr int DiskFull = 61;
inline constexpr int PermissionDenied = 70;
inline constexpr int FileAccess = 75;
inline constexpr int PathNotFound = 76;

// The number with its description and, after a colon, what it concerned (shown as text).
OpResult make(int number, std::string_view detail = {});
} // namespace qvx::OpError
