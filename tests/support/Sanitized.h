#pragma once

namespace qvx::test {

// The sanitizers make the program's own work two to three times slower: bounds on how long
// a window may go unanswered allow for it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool sanitized = true;
#else
inline constexpr bool sanitized = false;
#endif
#else
inline constexpr bool sanitized = false;
#endif

} // namespace qvx::test
