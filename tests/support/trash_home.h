#pragma once
// A trash for a test: $XDG_DATA_HOME in a scratch directory, where the desktop's file
// managers keep their trash (and where Wine's shell puts what it recycles); and what a
// file manager does to put a file in it back.

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "tests/support/environment_guard.h"
#include "tests/support/scratch_directory.h"

namespace rubo::test {

#ifdef _WIN32
inline bool running_under_wine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Under Wine, the host system's path for a path of the test; elsewhere the path itself.
inline std::string host_path(const std::string& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* host = convert != nullptr ? convert(std::filesystem::path(path).wstring().c_str()) : nullptr;
    const std::string text = host != nullptr ? host : path;
    HeapFree(GetProcessHeap(), 0, host);
    return text;
}
#else
inline std::string host_path(const std::string& path) { return path; }
#endif

inline std::string file_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A home for the test: $XDG_DATA_HOME, where the trash of the desktop's file managers
// lies (Wine's shell puts files there too), inside a scratch directory.
struct TrashHome {
    ScratchDirectory home;
    bool made = std::filesystem::create_directory(home / "data");
    std::string trash = home / "data/Trash";
    EnvironmentGuard data{"XDG_DATA_HOME", host_path(home / "data")};
};

#ifndef _WIN32
// Puts a file back as a file manager does, to the path in its record (relative to `top` in
// a trash at the top of a mount); that path, or an empty one for a record of another form.
inline std::string restore(const std::string& trash, const std::string& name, const std::string& top = "") {
    const std::string record = file_bytes(trash + "/info/" + name + ".trashinfo");
    const std::size_t date = record.find("\nDeletionDate=") + 14;
    const std::string shape = "0000-00-00T00:00:00\n";  // 0 for any digit
    bool readable = record.rfind("[Trash Info]\nPath=", 0) == 0 && record.size() == date + shape.size();
    for (std::size_t i = 0; readable && i < shape.size(); ++i)
        readable =
            shape[i] == '0' ? std::isdigit(static_cast<unsigned char>(record[date + i])) : record[date + i] == shape[i];
    if (!readable) return "";
    const std::string encoded = record.substr(18, date - 14 - 18);
    std::string path = top.empty() ? "" : top + "/";
    for (std::size_t i = 0; i < encoded.size(); i += encoded[i] == '%' ? 3 : 1)
        path += encoded[i] != '%' ? encoded[i] : static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
    std::filesystem::rename(trash + "/files/" + name, path);
    std::filesystem::remove(trash + "/info/" + name + ".trashinfo");
    return path;
}

#endif

}  // namespace rubo::test
