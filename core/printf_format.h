#pragma once
// Lets the compiler check printf-style arguments against their format. MinGW builds use
// the C99-conforming printf family (64-bit conversions such as %lld work there too), so
// the GNU format rules apply on every platform.

namespace rubo {

#if defined(__MINGW32__)
#define RUBO_PRINTF_FORMAT(format_index, first_argument) \
    __attribute__((format(gnu_printf, format_index, first_argument)))
#elif defined(__GNUC__)
#define RUBO_PRINTF_FORMAT(format_index, first_argument) __attribute__((format(printf, format_index, first_argument)))
#else
#define RUBO_PRINTF_FORMAT(format_index, first_argument)
#endif

}  // namespace rubo
