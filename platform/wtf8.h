#pragma once
// Text at the Windows boundary: names inside the program are bytes in UTF-8, the system
// takes and gives UTF-16 code units. A name the system gives need not be valid UTF-16
// (a surrogate without its partner), so the bytes are WTF-8, UTF-8 that also encodes a
// lone surrogate as its own three-byte sequence: every name read converts back to
// exactly the units it came from, and no two names share one spelling.
// Built on every platform, so that the directory matcher and the tests share it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace rubo::platform {

#ifdef _WIN32
using WideChar = wchar_t;
#else
using WideChar = char16_t;
#endif
using WideText = std::basic_string<WideChar>;

// The length (1 to 4) of the WTF-8 sequence that begins at `text`, and its code point;
// 0 when the bytes there, at most `available` of them, begin no whole sequence (a
// stray continuation byte, an overlong or out-of-range form, a cut-off sequence). Reads
// no further than the first byte that does not belong, so a zero-terminated text may
// pass any `available` of 4 or more.
std::size_t decode_wtf8(const char* text, std::size_t available, std::uint32_t& code_point);

// How many bytes a sequence begun by `lead` takes: 2 to 4 for a lead byte, else 1.
std::size_t wtf8_sequence_size(char lead);

// Appends a code point (a lone surrogate included) as one or two UTF-16 units.
void append_utf16(WideText& wide, std::uint32_t code_point);

// `length` bytes of WTF-8 as UTF-16. False when they are not WTF-8 (a surrogate pair
// spelt as two three-byte sequences included): nothing is guessed or replaced.
bool wide_from_wtf8(const char* text, std::size_t length, WideText& wide);

// UTF-16 units as WTF-8; every sequence of units has exactly one.
std::string wtf8_from_wide(const WideChar* wide, std::size_t length);

}  // namespace rubo::platform
