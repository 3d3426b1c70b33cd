// The arguments from the wide command line. The C runtime split the command line in
// the ANSI code page for main, where characters outside it are lost; it is split again
// by the same routine of the runtime in its wide form, so that the quoting rules stay
// the runtime's, and every argument is converted to UTF-8.

#include <cwchar>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/wtf8.h"

extern "C" {
// The C runtime's start-up settings (_startupinfo): only the new-handler mode, whose
// default (0) the program keeps.
struct RuntimeStartupInfo {
    int new_mode;
};
int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment, int expand_wildcards,
                   RuntimeStartupInfo* startup);
}

namespace rubo::platform {

char** program_arguments(int& argc, char**) {
    int count = 0;
    wchar_t** wide = nullptr;
    wchar_t** environment = nullptr;
    RuntimeStartupInfo startup{0};
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    // Without the wide arguments there are none: the ANSI ones may name other files.
    if (__wgetmainargs(&count, &wide, &environment, 0, &startup) < 0 || wide == nullptr) count = 0;
    for (int i = 0; i < count; ++i) texts.push_back(wtf8_from_wide(wide[i], std::wcslen(wide[i])));
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    argc = count;
    return pointers.data();
}

}  // namespace rubo::platform
