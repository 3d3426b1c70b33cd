#pragma once
// A test fixture for one path style with shorthands: results as std::string, the
// outcome of make_absolute_path, and checks of cut_line_directory.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "core/path_style.h"

namespace rubo {

struct MadeAbsolute {
    bool changed;
    std::string path;
};

struct LineCut {
    const char* line;
    const char* directory;
    const char* rest;
};

template <class Style> struct PathChecks : ::testing::Test {
    static std::string directory(const char* path) { return Style::directory_part(path).text(); }
    static std::string name(const char* path) { return Style::file_name_part(path).text(); }
    static std::string joined(const char* directory, const char* name) {
        return Style::join_path(directory, name).text();
    }

    static MadeAbsolute made_absolute(const char* path, const char* base,
                                      typename Style::DriveDirectory drive_directory = nullptr) {
        String text(path);
        const bool changed = Style::make_absolute_path(text, base, drive_directory);
        return {changed, text.text()};
    }

    // Each line's directory, cut and made absolute against `base` as a line's directory
    // is, is `directory` (empty when the line has none), leaving `rest`.
    static void expect_line_directories(const char* base, typename Style::DriveDirectory drive_directory,
                                        std::initializer_list<LineCut> cuts) {
        for (const LineCut& expected : cuts) {
            String line(expected.line);
            String directory = Style::cut_line_directory(line);
            if (directory.length() != 0) Style::make_absolute_directory(directory, base, drive_directory);
            EXPECT_STREQ(expected.directory, directory.text()) << expected.line;
            EXPECT_STREQ(expected.rest, line.text()) << expected.line;
        }
    }

    // Each line's directory is cut off as `directory`, leaving `rest`.
    static void expect_cuts(std::initializer_list<LineCut> cuts) {
        for (const LineCut& expected : cuts) {
            String line(expected.line);
            const String directory = Style::cut_line_directory(line);
            EXPECT_STREQ(expected.directory, directory.text()) << expected.line;
            EXPECT_STREQ(expected.rest, line.text()) << expected.line;
        }
    }

    // Each of the directories names `root` (empty for none).
    static void expect_root(const char* root, std::initializer_list<const char*> directories) {
        for (const char* directory : directories)
            EXPECT_STREQ(root, Style::root_named_by(directory).text()) << (directory != nullptr ? directory : "null");
    }
};

}  // namespace rubo
