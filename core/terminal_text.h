#pragma once
// Text for a person at a terminal, where a control byte in a name could move the
// cursor, clear the screen or make up a line of its own.

#include "core/string.h"

// `text` with each control byte (below 0x20, and 0x7F) shown as '?'. With
// `keep_line_ends`, each "\r\n" stays, for a text whose lines the program ended itself.
String terminal_text(const String& text, bool keep_line_ends);
