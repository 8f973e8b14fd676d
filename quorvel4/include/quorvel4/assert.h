// The library's precondition checks. Unlike assert() they stay on in release builds: a
// converter without its table would otherwise read through a null pointer.
#pragma once

// Restores the display, prints "Assertion failed: EXPR, file MODULE, line N" to standard
// error and aborts.
[[noreturn]] void QvlAssertFail(const char* expression, const char* module, int line);

#define QVL_ASSERT(module, expression) \
  ((expression) ? static_cast<void>(0) : QvlAssertFail(#expression, module, __LINE__))
