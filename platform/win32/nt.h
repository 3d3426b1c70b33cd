#pragma once
// What the backend needs beyond KERNEL32 to open an entry relative to the directory that
// holds it and to remove it through its own handle: the NTDLL calls <winternl.h>
// declares, and a value MinGW's headers leave out.

#include <windows.h>
#include <winternl.h>

namespace rubo::platform::win32 {

// The class of SetFileInformationByHandle that takes FILE_DISPOSITION_INFO_EX, missing
// from MinGW's FILE_INFO_BY_HANDLE_CLASS.
constexpr auto DISPOSITION_INFO_EX = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

}  // namespace rubo::platform::win32
