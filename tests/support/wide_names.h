#pragma once
// Windows: UTF-8 texts of the tests as the UTF-16 the wide calls take, and back,
// converted by the system (not by the code under test).
#ifdef _WIN32
#include <windows.h>

#include <string>

namespace rubo::test {

inline std::wstring wide_name(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                             wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

inline std::string utf8_name(const std::wstring& wide) {
    std::string utf8(wide.size() * 3, '\0');
    utf8.resize(
        static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                     utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
}

}  // namespace rubo::test
#endif
