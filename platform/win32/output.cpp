// Standard output and standard error on Windows. Redirected output gets the bytes as
// they stand (UTF-8); a console gets them as UTF-16 through WriteConsoleW, so that every
// name shows as it is whatever the console's code page.

#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/wtf8.h"

namespace rubo::platform {
namespace {

// The most that one call is given: WriteFile takes any size, a console buffer less.
constexpr std::size_t FILE_CHUNK = 0x10000000;
constexpr std::size_t CONSOLE_CHUNK = 8192;

// How many bytes at the end of `text` begin a UTF-8 sequence that is not complete.
std::size_t cut_off_tail(const std::string& text) {
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const char byte = text[text.size() - back];
        if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) return wtf8_sequence_size(byte) > back ? back : 0;
    }
    return 0;
}

bool write_file_bytes(HANDLE out, const char* bytes, std::size_t size) {
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(size > FILE_CHUNK ? FILE_CHUNK : size);
        DWORD written = 0;
        if (!WriteFile(out, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

// A byte that begins no sequence shows as the replacement character. `carry` holds the
// bytes at the end of the last write to this console that begin a sequence the write cut
// off; they go out with this one.
bool write_console(HANDLE out, std::string& carry, const char* bytes, std::size_t size) {
    std::string text = carry;
    text.append(bytes, size);
    const std::size_t carried = cut_off_tail(text);
    carry = text.substr(text.size() - carried);
    text.resize(text.size() - carried);
    WideText wide;
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t code_point = 0xFFFD;
        const std::size_t length = decode_wtf8(text.data() + at, text.size() - at, code_point);
        append_utf16(wide, code_point);
        at += length != 0 ? length : 1;
    }
    for (std::size_t at = 0; at < wide.size();) {
        DWORD chunk = static_cast<DWORD>(wide.size() - at < CONSOLE_CHUNK ? wide.size() - at : CONSOLE_CHUNK);
        if (at + chunk < wide.size() && (wide[at + chunk - 1] & 0xFC00) == 0xD800) --chunk;  // keep a pair whole
        DWORD written = 0;
        if (!WriteConsoleW(out, wide.data() + at, chunk, &written, nullptr) || written == 0) return false;
        at += written;
    }
    return true;
}

HANDLE handle_of(StandardStream stream) {
    return GetStdHandle(stream == STANDARD_OUTPUT ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool write_standard(StandardStream stream, std::string& carry, const void* data, std::size_t size) {
    HANDLE out = handle_of(stream);
    DWORD mode;
    const char* bytes = static_cast<const char*>(data);
    return GetConsoleMode(out, &mode) ? write_console(out, carry, bytes, size) : write_file_bytes(out, bytes, size);
}

std::string output_carry;
std::string error_carry;

}  // namespace

bool write_standard_output(const void* data, std::size_t size) {
    return write_standard(STANDARD_OUTPUT, output_carry, data, size);
}

bool write_standard_error(const void* data, std::size_t size) {
    return write_standard(STANDARD_ERROR, error_carry, data, size);
}

bool is_terminal(StandardStream stream) {
    DWORD mode;
    return GetConsoleMode(handle_of(stream), &mode) != 0;
}

// The null device cannot be told from other character devices here, some of which can
// fail; so no output counts as thrown away.
bool output_discarded() { return false; }

}  // namespace rubo::platform
