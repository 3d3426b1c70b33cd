#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

using namespace rubo;

namespace {

std::string message_for(platform::ErrorCode code) {
    char* message = platform::error_message(code);
    std::string text = message != nullptr ? message : "";
    platform::free_error_message(message);
    return text;
}

TEST(PlatformError, LastErrorIsPerThreadAndSettable) {
    platform::set_last_error(5);
    EXPECT_EQ(5u, platform::last_error());
    platform::set_last_error(0);
    EXPECT_EQ(0u, platform::last_error());
}

TEST(PlatformError, MessagesComeFromTheSystem) {
    EXPECT_EQ("", message_for(0));
    std::string not_found = message_for(2);
    std::string denied = message_for(5);
    EXPECT_FALSE(not_found.empty());
    EXPECT_FALSE(denied.empty());
    EXPECT_NE(not_found, denied);
}

TEST(PlatformError, NumbersSetByThePlatformItselfHaveTexts) {
    for (platform::ErrorCode code : {platform::SYSTEM_ERROR_NO_MORE_FILES, platform::SYSTEM_ERROR_SHARING_VIOLATION,
                                     platform::SYSTEM_ERROR_LOCK_VIOLATION, platform::SYSTEM_ERROR_NEGATIVE_SEEK}) {
        platform::set_last_error(code);
        EXPECT_FALSE(message_for(code).empty()) << code;
    }
    EXPECT_NE(message_for(platform::SYSTEM_ERROR_SHARING_VIOLATION),
              message_for(platform::SYSTEM_ERROR_LOCK_VIOLATION));
}

TEST(PlatformError, EveryNamedNumberHasAText) {
    platform::set_last_error(0);
    for (platform::ErrorCode code : {platform::SYSTEM_ERROR_INVALID_FUNCTION, platform::SYSTEM_ERROR_PATH_NOT_FOUND,
                                     platform::SYSTEM_ERROR_TOO_MANY_OPEN_FILES, platform::SYSTEM_ERROR_INVALID_HANDLE,
                                     platform::SYSTEM_ERROR_NOT_ENOUGH_MEMORY, platform::SYSTEM_ERROR_NOT_SAME_DEVICE,
                                     platform::SYSTEM_ERROR_WRITE_PROTECT, platform::SYSTEM_ERROR_FILE_EXISTS,
                                     platform::SYSTEM_ERROR_INVALID_PARAMETER, platform::SYSTEM_ERROR_DISK_FULL,
                                     platform::SYSTEM_ERROR_INVALID_NAME, platform::SYSTEM_ERROR_DIR_NOT_EMPTY,
                                     platform::SYSTEM_ERROR_NAME_TOO_LONG, platform::SYSTEM_ERROR_IO_DEVICE,
                                     platform::SYSTEM_ERROR_CANT_RESOLVE_FILENAME})
        EXPECT_FALSE(message_for(code).empty()) << code;
}

}  // namespace
