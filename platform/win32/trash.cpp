// Moving a file to the Recycle Bin through the shell. The chain holds every directory on
// the way, so none of them can be renamed or replaced until the shell is done. The entry
// is first opened relative to its directory's handle, which refuses a directory and a
// link Wine would follow, and given a second name in its directory (a hard link): the
// shell moves the file to the Recycle Bin where it can, and destroys it, saying nothing,
// where it cannot (a volume without one, a file too large, a policy), so the second name
// keeps the data until the outcome is known. A file the Recycle Bin took has lost its
// name and still has a name there besides the second one, which then goes; a file that
// was destroyed has only the second name left, and gets its own name back.
//
// The shell takes the full path in the long form ("\\?\"), so that it takes every name
// exactly as given, trailing dots and blanks included, as every other call here does.

#include "platform/win32/trash.h"

#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/directory_chain.h"
#include "platform/win32/directory_identity.h"
#include "platform/win32/system_text.h"

namespace rubo::platform::win32 {
namespace {

constexpr ULONG SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Gives the file open as `file` the name `name` in the directory held by `parent`, as a
// second name (FileLinkInformation) or instead of its own (FileRenameInformation, which
// takes a handle with DELETE access), never in the place of an entry that is there.
bool give_name(HANDLE file, HANDLE parent, const WideText& name, FILE_INFORMATION_CLASS kind) {
    const std::size_t bytes = name.size() * sizeof(wchar_t);
    std::vector<std::uint64_t> buffer((sizeof(FILE_LINK_INFORMATION) + bytes) / sizeof(std::uint64_t) + 1);
    auto* information = reinterpret_cast<FILE_LINK_INFORMATION*>(buffer.data());
    information->ReplaceIfExists = FALSE;
    information->RootDirectory = parent;
    information->FileNameLength = static_cast<ULONG>(bytes);
    std::memcpy(information->FileName, name.data(), bytes);
    IO_STATUS_BLOCK status_block;
    const NTSTATUS status = NtSetInformationFile(file, &status_block, information,
                                                 static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t)), kind);
    if (NT_SUCCESS(status)) return true;
    SetLastError(RtlNtStatusToDosError(status));
    return false;
}

// Gives the entry `own` of `parent` a second name of its own making in that directory,
// answered in `second`, and reads its basic information into `basic`. The entry is
// opened as a file, which refuses a directory, and closed again: while a handle of this
// process is open, a removal by the shell would leave the file's names in place until
// it closes.
bool keep_second_name(HANDLE parent, const WideText& own, FILE_BASIC_INFO& basic, WideText& second) {
    // A handle to attributes alone takes no part in sharing: it stands in no one's way.
    HANDLE file = open_file_entry(parent, own, 0);
    if (file == INVALID_HANDLE_VALUE) return false;
    static unsigned made = 0;
    const bool read = GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) != 0;
    bool named = false;
    for (int attempt = 0; read && !named && attempt < 100; ++attempt) {
        char name[48];
        std::snprintf(name, sizeof name, "~rubo%lx-%x.tmp", GetCurrentProcessId(), ++made);
        named = wide_text(name, second) && give_name(file, parent, second, FileLinkInformation);
        if (!named && GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return named;
}

// The system's error number for what the shell answered: its own numbers from before
// Win32 for the conditions a removal of one file meets, a Win32 number as it stands.
DWORD shell_error(int answer, BOOL aborted) {
    struct OldNumber {
        int answer;
        DWORD error;
    };
    constexpr OldNumber old_numbers[] = {{0x74, ERROR_ACCESS_DENIED},  {0x75, ERROR_CANCELLED},
                                         {0x78, ERROR_ACCESS_DENIED},  {0x79, ERROR_FILENAME_EXCED_RANGE},
                                         {0x7C, ERROR_FILE_NOT_FOUND}, {0x81, ERROR_FILENAME_EXCED_RANGE},
                                         {0x85, ERROR_FILE_TOO_LARGE}, {0x402, ERROR_GEN_FAILURE}};
    if (answer == 0) return aborted ? ERROR_CANCELLED : ERROR_GEN_FAILURE;
    for (const OldNumber& old : old_numbers)
        if (old.answer == answer) return old.error;
    return (answer >= 0x71 && answer <= 0xB7) || answer >= 0x10000 ? ERROR_GEN_FAILURE : static_cast<DWORD>(answer);
}

// Hands the file at `path` to the shell to be moved to the Recycle Bin, without asking
// and without showing anything, and without the files the shell counts as belonging to
// it (the folder of a saved web page); 0 or the error number.
DWORD shell_recycle(const char* path) {
    WideText from;
    if (!full_directory_path(path, from)) return GetLastError();
    from.push_back(L'\0');  // the list of paths ends with an empty one
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags =
        FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NO_CONNECTED_ELEMENTS | FOF_NORECURSION;
    const int answer = SHFileOperationW(&operation);
    return answer == 0 && !operation.fAnyOperationsAborted ? 0 : shell_error(answer, operation.fAnyOperationsAborted);
}

// What became of the entry `name` of `parent`: still there, gone, or neither for sure
// (its removal waits for someone's handle to close, say).
enum class Fate { THERE, GONE, UNSURE };

Fate fate_of(HANDLE parent, const WideText& name) {
    HANDLE file = open_entry(parent, name, FILE_READ_ATTRIBUTES, SHARE_ALL, 0);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? Fate::GONE : Fate::UNSURE;
    CloseHandle(file);
    return Fate::THERE;
}

// Gives the file its own name back from the second one.
void take_name_back(HANDLE parent, const WideText& second, const WideText& own) {
    HANDLE file = open_entry(parent, second, DELETE, SHARE_ALL, FILE_NON_DIRECTORY_FILE);
    if (file == INVALID_HANDLE_VALUE) return;
    give_name(file, parent, own, FileRenameInformation);
    CloseHandle(file);
}

// Takes the second name away, and gives the file (open as `file`) its attributes back
// where the removal of a name took its read-only mark.
void drop_second_name(HANDLE parent, const WideText& second, HANDLE file, const FILE_BASIC_INFO& before) {
    directory_openers.remove(reinterpret_cast<HeldHandle>(parent), nullptr,
                             wtf8_from_wide(second.data(), second.size()).c_str());
    FILE_BASIC_INFO now;
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &now, sizeof now) ||
        now.FileAttributes == before.FileAttributes)
        return;
    FILE_BASIC_INFO mark = {};  // times of 0 stay as they are
    mark.FileAttributes = before.FileAttributes;
    SetFileInformationByHandle(file, FileBasicInfo, &mark, sizeof mark);
}

}  // namespace

bool move_to_recycle_bin(HANDLE parent, const char* path, const char* name) {
    WideText own;
    WideText second;
    FILE_BASIC_INFO before;
    if (!entry_name(name, own) || !keep_second_name(parent, own, before, second)) return false;
    DWORD error = shell_recycle(path);
    HANDLE kept = open_file_entry(parent, second, 0);
    BY_HANDLE_FILE_INFORMATION after;
    const bool counted = kept != INVALID_HANDLE_VALUE && GetFileInformationByHandle(kept, &after) != 0;
    const Fate fate = fate_of(parent, own);
    const bool recycled = fate == Fate::GONE && counted && after.nNumberOfLinks >= 2;
    if (recycled || fate == Fate::THERE) drop_second_name(parent, second, kept, before);
    // Destroyed, or where the count of names cannot be read taken for destroyed: it gets
    // its own name back (and may be in the Recycle Bin as well). Where its removal waits
    // for another handle to close, the second name stays and keeps the data.
    if (!recycled && fate == Fate::GONE) take_name_back(parent, second, own);
    if (recycled) error = 0;
    if (!recycled && error == 0) error = ERROR_NOT_SAME_DEVICE;
    if (kept != INVALID_HANDLE_VALUE) CloseHandle(kept);
    SetLastError(error);
    return error == 0;
}

}  // namespace rubo::platform::win32
