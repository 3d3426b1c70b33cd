#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "tests/support/directory_link.h"
#include "tests/support/scratch_directory.h"

namespace rubo::test {
namespace {

std::wstring wide(const std::string& text) {
    std::wstring out(text.size(), L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                      static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

bool is_directory_link(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const DWORD wanted = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & wanted) == wanted;
}

// The mount-point reparse data of a junction: the target as the system reads it
// ("\??\C:\..."), then as it is shown, each with its terminator.
struct MountPointData {
    DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    WORD data_length = 0;
    WORD reserved = 0;
    WORD substitute_offset = 0;
    WORD substitute_length = 0;
    WORD print_offset = 0;
    WORD print_length = 0;
    WCHAR names[2 * MAX_PATH + 8] = {};
};
constexpr DWORD mount_point_header = 8;

bool make_junction(const std::string& link, const std::string& target) {
    const std::wstring shown = wide(target);
    const std::wstring substitute = L"\\??\\" + shown;
    MountPointData data;
    if (substitute.size() + shown.size() + 2 > sizeof data.names / sizeof(WCHAR)) return false;
    std::memcpy(data.names, substitute.c_str(), (substitute.size() + 1) * sizeof(WCHAR));
    std::memcpy(data.names + substitute.size() + 1, shown.c_str(), (shown.size() + 1) * sizeof(WCHAR));
    data.substitute_length = static_cast<WORD>(substitute.size() * sizeof(WCHAR));
    data.print_offset = static_cast<WORD>(data.substitute_length + sizeof(WCHAR));
    data.print_length = static_cast<WORD>(shown.size() * sizeof(WCHAR));
    data.data_length = static_cast<WORD>(4 * sizeof(WORD) + data.print_offset + data.print_length + sizeof(WCHAR));

    if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
    HANDLE directory = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD returned = 0;
    const bool made = directory != INVALID_HANDLE_VALUE &&
                      DeviceIoControl(directory, FSCTL_SET_REPARSE_POINT, &data, mount_point_header + data.data_length,
                                      nullptr, 0, &returned, nullptr);
    if (directory != INVALID_HANDLE_VALUE) CloseHandle(directory);
    if (!made) RemoveDirectoryA(link.c_str());
    return made;
}

// ---- Wine: the host's links, made and removed by the host's own system calls, which
// a program under Wine can make directly (x86-64 Linux numbers), with the host's path
// that Wine tells for a path of ours.

bool under_wine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string host_path(const std::string& path) {
    using Converter = char*(CDECL*)(const WCHAR*);
    static const auto convert = reinterpret_cast<Converter>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) return {};
    char* host = convert(wide(path).c_str());
    if (host == nullptr) return {};
    std::string out = host;
    HeapFree(GetProcessHeap(), 0, host);
    return out;
}

constexpr long host_unlink = 87;
constexpr long host_symlink = 88;

long host_call(long number, const char* first, const char* second = nullptr) {
#if defined(__x86_64__)
    long result;
    asm volatile("syscall" : "=a"(result) : "a"(number), "D"(first), "S"(second) : "rcx", "r11", "memory");
    return result;
#else
    (void)number, (void)first, (void)second;
    return -1;
#endif
}

bool make_host_link(const std::string& link, const std::string& target) {
    const std::string host_link = host_path(link), host_target = host_path(target);
    return under_wine() && !host_link.empty() && !host_target.empty() &&
           host_call(host_symlink, host_target.c_str(), host_link.c_str()) == 0;
}

// The links made here, so that they can go with their tree even once what they lead
// to has gone: Wine does not list a host link that leads nowhere.
std::vector<std::filesystem::path>& made_links() {
    static std::vector<std::filesystem::path> links;
    return links;
}

}  // namespace

bool is_link(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool remove_link(const std::filesystem::path& path) {
    // Wine's own calls act on what a host link leads to (removing the directory there),
    // so under Wine the host removes the link first.
    if (under_wine()) {
        const std::string host = host_path(path.string());
        if (!host.empty() && host_call(host_unlink, host.c_str()) == 0) return true;
    }
    return RemoveDirectoryW(path.c_str()) || DeleteFileW(path.c_str());
}

std::string make_directory_link(const std::string& link, const std::string& target) {
    if (!make_junction(link, target) && !make_host_link(link, target))
        return "neither a junction nor a host link could be made at " + link;
    if (!is_directory_link(link)) {
        remove_link(link);
        return "the link made at " + link + " is no directory reparse point";
    }
    made_links().push_back(std::filesystem::path(link));
    return {};
}

void remove_links_made_below(const std::filesystem::path& directory) {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::weakly_canonical(directory, error);
    std::vector<std::filesystem::path>& links = made_links();
    for (auto it = links.begin(); it != links.end();) {
        const std::filesystem::path relative = it->lexically_relative(error ? directory : base);
        if (relative.empty() || *relative.begin() == "..") {
            ++it;
            continue;
        }
        remove_link(*it);
        it = links.erase(it);
    }
}

std::string directory_links_unavailable() {
    static const std::string why = [] {
        ScratchDirectory place;
        place.make_directory("target");
        return make_directory_link(place / "link", place / "target");
    }();
    return why;
}

}  // namespace rubo::test
#endif
