#pragma once
// Running the built tool on real temporary trees: one run with its exact standard
// output and exit code, and the texts the tool writes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/environment_guard.h"
#include "tests/support/temp_tree.h"

namespace rubo::test {

#ifdef _WIN32
inline constexpr const char tool_name[] = "rubo.exe";
#else
inline constexpr const char tool_name[] = "rubo";
#endif

inline constexpr const char banner[] = "RUBO.EXE - Recursive File Deletion Utility - version 1.1\r\n\n";
inline constexpr const char usage[] =
    "You must specify one parameter to this program: the file path and filter of the files you wish to "
    "delete in the current directory and all of its subdirectories.\r\nExample:  RUBO *.obj;*.res\n";
inline constexpr const char prompt[] = "\r\nDo you wish to proceed anyway?";

// The tool, built next to this test executable.
inline std::string tool_path() {
    std::string own = own_path();
    return own.substr(0, own.find_last_of("\\/") + 1) + tool_name;
}

// One run of the tool with a single argument (or with the given argument list) in
// `directory`, standard input fed from `input`.
inline ChildResult run_tool(const std::vector<std::string>& arguments, const std::string& directory,
                            const std::string& input = "") {
    return run_program({tool_path(), arguments, input, directory});
}

// The words of a run's lines and summary: a run's own, or those of a run that moves the
// files to the trash (--trash).
struct Words {
    const char* doing;
    const char* done;
    const char* not_done;
};
inline constexpr Words deletion_words{"Deleting ", " files deleted successfully", " file could not be deleted"};
inline constexpr Words trash_words{"Trashing ", " files moved to the trash", " file could not be moved to the trash"};

// The summary block as the tool writes it after the deletion loop.
inline std::string summary(int deleted, int failed, const std::string& total, const Words& words = deletion_words) {
    std::string text = "\r\n";
    if (deleted != 0) text += std::to_string(deleted) + words.done + "\r\n";
    if (failed != 0) text += std::to_string(failed) + words.not_done + "\r\n";
    return text + "Total size of file specification: " + total + " bytes\r\n";
}

inline std::string deleting(const std::string& path, bool ok = true, const Words& words = deletion_words) {
    return words.doing + path + (ok ? " : ok\r\n" : " : FAILED!\r\n");
}

inline std::string no_match(const std::string& piece) {
    return "The file specification \"" + piece + "\" did not match any files.\r\n";
}

inline std::string duplicate(const std::string& path) { return "The file '" + path + "' occurs more than once.\r\n"; }

}  // namespace rubo::test
