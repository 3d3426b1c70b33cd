#pragma once
// Texts and paths on their way into and out of the wide KERNEL32 calls.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/wtf8.h"

namespace rubo::platform::win32 {

// `text` in UTF-16 for a call that takes a text as it stands. False with last error
// 123 (invalid name) when it is not WTF-8, and with 3 when it is null.
bool wide_text(const char* text, WideText& wide);

// `path` as the system is to take it. An absolute path ("C:\..." or "\\server\share...",
// either separator) gets the long form: "\\?\" (or "\\?\UNC\") before it, backslashes
// only, no empty, "." or ".." names (each ".." takes away the name before it, never the
// drive or the share). So the system takes every name exactly as given, trailing dots
// and blanks included, and the path may be up to 32,767 units long. A device path
// ("\\.\C:\...", or "\\?\" spelled with a slash), whose names the system would trim
// too, gets the long form as well, with its device name (or UNC\server\share) as its
// root. A relative path, and one already in the long form, is only converted. Fails
// as wide_text does, and with 3 for an empty path.
bool system_path(const char* path, WideText& wide);

// Answers a text the system gave, as WTF-8, by the text-answer protocol of platform.h.
std::uint32_t answer_wide(const WideText& text, char* buffer, std::uint32_t size);

// Reads a text from a call that answers like GetCurrentDirectoryW: its length when it
// fits in the `size` units offered, else the size it needs, 0 on failure.
template <class Call> bool read_wide(Call call, WideText& text) {
    text.assign(260, L'\0');
    for (;;) {
        const auto answer = call(static_cast<std::uint32_t>(text.size()), text.data());
        if (answer == 0) return false;
        if (answer < text.size()) {
            text.resize(answer);
            return true;
        }
        text.assign(answer, L'\0');
    }
}

}  // namespace rubo::platform::win32
