#include <gtest/gtest.h>

#include <string>

#include "core/open_result.h"

using namespace rubo;

namespace {

TEST(OpenResult, CodesWithoutAMessageOfTheirOwnAreUnknown) {
    const std::string unknown = "An unknown error occurred.";
    EXPECT_EQ(unknown, open_result_text(OPEN_UNKNOWN_ERROR));
    EXPECT_EQ(unknown, open_result_text(10));
    EXPECT_EQ(unknown, open_result_text(-1));
    EXPECT_EQ(unknown, open_result_text(INT32_MIN));
}

TEST(OpenResult, EveryCodeHasItsOwnMessage) {
    EXPECT_STREQ("The file was successfully opened.", open_result_text(OPEN_OK));
    EXPECT_STREQ("The filename is invalid.", open_result_text(OPEN_INVALID_NAME));
    EXPECT_STREQ("The file was not found.", open_result_text(OPEN_NOT_FOUND));
    EXPECT_STREQ("The directory does not exist.", open_result_text(OPEN_NO_DIRECTORY));
    EXPECT_STREQ("The file is locked by another application.", open_result_text(OPEN_LOCKED));
    EXPECT_STREQ("Failed to read the file into memory.", open_result_text(OPEN_READ_FAILED));
    EXPECT_STREQ("Too many files are already open.", open_result_text(OPEN_TOO_MANY_FILES));
    EXPECT_STREQ("An invalid parameter was used.", open_result_text(OPEN_INVALID_PARAMETER));
    EXPECT_STREQ("The file already exists.", open_result_text(OPEN_ALREADY_EXISTS));
}

TEST(OpenResult, PlatformErrorsMapToCodes) {
    EXPECT_EQ(OPEN_NOT_FOUND, open_result_from_error(2));
    EXPECT_EQ(OPEN_NO_DIRECTORY, open_result_from_error(3));
    EXPECT_EQ(OPEN_TOO_MANY_FILES, open_result_from_error(4));
    EXPECT_EQ(OPEN_LOCKED, open_result_from_error(32));
    EXPECT_EQ(OPEN_ALREADY_EXISTS, open_result_from_error(80));
    EXPECT_EQ(OPEN_INVALID_PARAMETER, open_result_from_error(87));
    EXPECT_EQ(OPEN_INVALID_NAME, open_result_from_error(123));
    for (std::uint32_t other : {0u, 1u, 5u, 33u, 206u, 0xFFFFFFFFu})
        EXPECT_EQ(OPEN_UNKNOWN_ERROR, open_result_from_error(other)) << other;
}

}  // namespace
