// Lets compilers that know printf formats check the arguments of the library's printf-like
// functions; others see nothing.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define QVL_PRINTF_FORMAT(format_index, first_argument) __attribute__((format(printf, format_index, first_argument)))
#else
#define QVL_PRINTF_FORMAT(format_index, first_argument)
#endif
