#include "platform/win32/directory_identity.h"

#include <string>

#include "platform/win32/system_text.h"

namespace rubo::platform::win32 {

HANDLE hold_directory(const char* path) {
    std::string directory(path);
    if (directory.empty() || directory.back() == ':') directory += '.';
    WideText wide;
    if (!system_path(directory.c_str(), wide)) return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

DirectoryIdentity identity_of(HANDLE directory) {
    BY_HANDLE_FILE_INFORMATION information;
    DirectoryIdentity identity;
    if (GetFileInformationByHandle(directory, &information) == 0 ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.file = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    identity.known = true;
    return identity;
}

}  // namespace rubo::platform::win32
