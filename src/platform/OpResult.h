#pragma once

#include "platform/Platform.h"

// Failure numbers shown to the user, as support staff know them.
namespace OpError {
inline constexpr int FileNotFound = 53;
inline constexpr int DiskFull = 61;
inline constexpr int PermissionDenied = 70;
inline constexpr int FileAccess = 75;
inline constexpr int PathNotFound = 76;

OpResult make(int number, const QString &detail = {});
} // namespace OpError
