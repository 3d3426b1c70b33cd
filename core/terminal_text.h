#pragma once
// Text for a person at a terminal, where a control byte in a name could move the
// cursor, clear the screen or make up a line of its own.

#include "core/string.h"

namespace rubo {

// What becomes of a "\r\n" in a text shown at a terminal: a '?' for each byte like any
// other control byte (in a name), or kept (in a text whose lines the program ended itself).
enum class LineEnds : bool { MARKED, KEPT };

// `text` with each control byte (below 0x20, and 0x7F) shown as '?', its "\r\n" kept or
// marked as `line_ends` says.
String terminal_text(const String& text, LineEnds line_ends);

}  // namespace rubo
