// The library's precondition checks. Unlike assert() they stay on in release builds: a
// converter without its table would otherwise read through a null pointer.
#pragma once

// Restores the display, prints "Assertion failed: EXPR, file MODULE, line N" to standard
// error and aborts.
[[noreturn]] void QvlAssertFail(const char* expression, const char* module, int line);

#define QVL_ASSERT(module, expression) \
  ((expression) ? static_cast<void>(0) : QvlAssertFail(#expression, module, __LINE__))

// A check of what the code argues itself (a bound a buffer's size rests on, say), where checking
// it in every release would cost time on every frame: on in the builds made with
// QVL_DEBUG_CHECKS (the sanitizer and fuzzing builds, and Debug ones), reported as QVL_ASSERT
// reports. Not assert(): the Release and RelWithDebInfo builds, the sanitizer's among them,
// define NDEBUG. Elsewhere the expression is not evaluated.
#ifdef QVL_DEBUG_CHECKS
#define QVL_DEBUG_CHECK(module, expression) QVL_ASSERT(module, expression)
#else
#define QVL_DEBUG_CHECK(module, expression) static_cast<void>(sizeof((expression) ? 1 : 0))
#endif
