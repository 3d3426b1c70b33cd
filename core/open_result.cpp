#include "core/open_result.h"

namespace rubo {

namespace {

const char* const messages[] = {
    "The file was successfully opened.",
    "An unknown error occurred.",
    "The filename is invalid.",
    "The file was not found.",
    "The directory does not exist.",
    "The file is locked by another application.",
    "Failed to read the file into memory.",
    "Too many files are already open.",
    "An invalid parameter was used.",
    "The file already exists.",
};

constexpr OpenResult code_count = sizeof messages / sizeof messages[0];

}  // namespace

const char* open_result_text(OpenResult code) {
    return messages[code >= 0 && code < code_count ? code : OPEN_UNKNOWN_ERROR];
}

OpenResult open_result_from_error(std::uint32_t error) {
    switch (error) {
        case 2: return OPEN_NOT_FOUND;
        case 3: return OPEN_NO_DIRECTORY;
        case 4: return OPEN_TOO_MANY_FILES;
        case 32: return OPEN_LOCKED;
        case 80: return OPEN_ALREADY_EXISTS;
        case 87: return OPEN_INVALID_PARAMETER;
        case 123: return OPEN_INVALID_NAME;
        default: return OPEN_UNKNOWN_ERROR;
    }
}

}  // namespace rubo
