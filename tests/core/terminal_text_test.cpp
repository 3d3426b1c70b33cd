#include "core/terminal_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace rubo;

namespace {

TEST(TerminalText, ControlBytesShowAsQuestionMarks) {
    const struct {
        std::string text;
        bool keep_line_ends;
        std::string shown;
    } cases[] = {
        {"/a/plain name.obj", false, "/a/plain name.obj"},
        {"a\x1b[2J\nb\rc\td\x7f"
         "e\x80\xff.obj",
         false, "a?[2J?b?c?d?e\x80\xff.obj"},
        {"one\r\ntwo\r\n", false, "one??two??"},
        {"x\ry\r\n\r\nz\n\r\r\n", true, "x?y\r\n\r\nz??\r\n"},
    };
    for (const auto& c : cases) {
        const String shown =
            terminal_text(String(c.text.c_str()), c.keep_line_ends ? LineEnds::KEPT : LineEnds::MARKED);
        EXPECT_EQ(c.shown, std::string(shown.text(), static_cast<std::size_t>(shown.length())));
    }
}

}  // namespace
