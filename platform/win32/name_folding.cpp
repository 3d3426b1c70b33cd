// Names of a directory compare as the system compares them, ignoring case by its own
// table: a name folds to its upper-cased UTF-16 units.

#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/system_text.h"

namespace rubo::platform {

std::uint32_t fold_name(const char* name, char* buffer, std::uint32_t size) {
    WideText wide;
    if (!win32::wide_text(name, wide)) return 0;
    // Upper-casing without linguistic rules maps each unit to one unit.
    WideText folded(wide.size(), L'\0');
    if (!wide.empty() &&
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()), folded.data(),
                      static_cast<int>(folded.size()), nullptr, nullptr, 0) == 0)
        return 0;
    return win32::answer_wide(folded, buffer, size);
}

}  // namespace rubo::platform
