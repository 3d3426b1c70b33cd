// Console input on Windows. On a console, keys come from _kbhit and _getch, and a
// console control handler turns Ctrl+C (and Ctrl+Break) into a pending key 3. When
// standard input is a pipe, a file or missing, its bytes are the keys and its end
// means that no key is pending. A pipe that cannot be looked into without reading it
// (a host system's pipe under Wine) is read only when a key is waited for; until then
// no key is pending.

#include <conio.h>
#include <windows.h>

#include <cstdlib>

#include "platform/key_queue.h"
#include "platform/platform.h"

namespace rubo::platform {
namespace {

int fill_from_input(unsigned char* buffer, int size, bool wait);

KeyQueue keys{fill_from_input};
bool started = false;
HANDLE input = nullptr;
bool console = false;
bool pipe = false;
bool pipe_unpeekable = false;

// While a read waits, how often it looks again for keys and for a Ctrl+C.
constexpr DWORD WAIT_SLICE_MS = 50;

BOOL WINAPI note_control(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    keys.interrupt();
    return TRUE;
}

void start_console() {
    started = true;
    SetConsoleCtrlHandler(note_control, TRUE);
    input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    console = GetConsoleMode(input, &mode) != 0;
    if (console) keys.set_typed();
    pipe = !console && GetFileType(input) == FILE_TYPE_PIPE;
}

// Takes the bytes there are now, without waiting; or, with `wait`, from a pipe that
// cannot be looked into, what a blocking read brings.
int take_available(unsigned char* buffer, int size, bool wait) {
    if (console) {
        if (!_kbhit()) return 0;
        buffer[0] = static_cast<unsigned char>(_getch());
        return 1;
    }
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return KeyQueue::INPUT_ENDED;
    DWORD wanted = static_cast<DWORD>(size);
    if (pipe) {
        // A pipe is only read as far as it holds bytes, so that a read never blocks
        // past a Ctrl+C; a broken pipe is one whose writer has gone.
        DWORD available = 0;
        if (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) {
            if (available == 0) return 0;
            if (available < wanted) wanted = available;
        } else if (GetLastError() == ERROR_NOT_SUPPORTED) {
            pipe = false;
            pipe_unpeekable = true;
        } else {
            return KeyQueue::INPUT_ENDED;
        }
    }
    if (pipe_unpeekable && !wait) return 0;
    DWORD got = 0;
    if (!ReadFile(input, buffer, wanted, &got, nullptr) || got == 0) return KeyQueue::INPUT_ENDED;
    return static_cast<int>(got);
}

int fill_from_input(unsigned char* buffer, int size, bool wait) {
    int got = take_available(buffer, size, wait);
    if (got == 0 && wait) Sleep(WAIT_SLICE_MS);
    return got;
}

}  // namespace

KeyQueue& console_keys() {
    if (!started) start_console();
    return keys;
}

// The console's settings are never changed here, so there is nothing to give back.
void exit_at_once(int code) { std::_Exit(code); }

}  // namespace rubo::platform
