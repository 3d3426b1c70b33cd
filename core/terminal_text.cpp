#include "core/terminal_text.h"

namespace rubo {

namespace {

bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

}  // namespace

String terminal_text(const String& text, LineEnds line_ends) {
    String shown(text);
    for (int i = 0; i < shown.length(); ++i) {
        if (line_ends == LineEnds::KEPT && shown[i] == '\r' && i + 1 < shown.length() && shown[i + 1] == '\n')
            ++i;
        else if (is_control(shown[i]))
            shown[i] = '?';
    }
    return shown;
}

}  // namespace rubo
