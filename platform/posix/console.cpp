// Console input on POSIX systems. With a terminal on standard input and the process in
// the terminal's foreground group, taking the console turns echo and line editing off
// (signals such as Ctrl+C and Ctrl+Z keep working, and Ctrl+C no longer throws away
// output that waits to be shown) and the old settings come back whenever the process
// ends: at exit, and on every signal that ends it, before that signal takes its course.
// Ctrl+Z gives the settings back while the process is stopped. A process in the
// background leaves the terminal alone, so that it is never stopped for touching it,
// and reads no keys there. Ctrl+C (SIGINT) is caught and becomes a pending key 3;
// Escape arrives as the byte 27, and an escape sequence (an arrow key, say) is one key
// press that is dropped. Without a terminal the bytes of standard input are the keys.
//
// The handlers of the ending signals run on a stack of their own in the thread that
// takes the console, so that a stack overflow there (a SIGSEGV with no stack left to
// handle it on) gives the terminal back too. Other threads get none (a new thread has
// no alternate stack): a signal they handle runs on their own stack, which serves as
// long as they do not recurse deeply.

#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "platform/key_queue.h"
#include "platform/platform.h"
#include "platform/posix/escape_sequences.h"

namespace rubo::platform {
namespace {

int fill_from_input(unsigned char* buffer, int size, bool wait);

KeyQueue keys{fill_from_input};
bool started = false;

// How the keys come: as the bytes of standard input, typed at a terminal, or not at
// all for a process started in the terminal's background.
enum class Source { INPUT, TERMINAL, NONE };
Source source = Source::INPUT;

// How long the rest of an escape sequence may take to follow its Escape. A terminal
// sends a sequence in one piece; a person takes far longer between two keys.
constexpr int SEQUENCE_WAIT_MS = 25;

// While a read waits in the background, how often it looks whether it is back in front.
constexpr std::uint32_t BACKGROUND_WAIT_MS = 50;

// The terminal's settings as found and as used here; `terminal_changed` tells the
// exit paths, signal handlers included, that there is something to give back.
termios original_settings;
termios key_settings;
volatile sig_atomic_t terminal_changed = 0;

// Signals whose default action ends the process, and what was set for them before.
constexpr int ending_signals[] = {SIGHUP,  SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU,
                                  SIGXFSZ, SIGABRT, SIGSEGV, SIGBUS,  SIGFPE,  SIGILL,  SIGTRAP, SIGSYS};
struct sigaction previous_actions[std::size(ending_signals)];

// Puts settings in place with SIGTTOU held back, so that giving the settings back
// never stops the process, not even when it has been moved to the background.
void set_terminal(const termios& settings) {
    sigset_t hold, previous;
    sigemptyset(&hold);
    sigaddset(&hold, SIGTTOU);
    pthread_sigmask(SIG_BLOCK, &hold, &previous);
    tcsetattr(STDIN_FILENO, TCSANOW, &settings);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void restore_terminal() {
    if (terminal_changed) set_terminal(original_settings);
}

bool in_foreground() { return tcgetpgrp(STDIN_FILENO) == getpgrp(); }

// The key settings, while the process is the terminal's foreground.
void take_terminal() {
    if (!in_foreground()) return;
    terminal_changed = 1;  // before the change, so that no moment is left uncovered
    set_terminal(key_settings);
}

void note_interrupt(int) { keys.interrupt(); }

// Gives the terminal back, puts the earlier action in place and lets the signal take
// it once this handler returns.
void end_on_signal(int signal_number) {
    int saved_errno = errno;
    restore_terminal();
    for (std::size_t i = 0; i < std::size(ending_signals); ++i)
        if (ending_signals[i] == signal_number) sigaction(signal_number, &previous_actions[i], nullptr);
    raise(signal_number);
    errno = saved_errno;
}

void stop_on_signal(int signal_number);

// Every handler is put on the alternate stack where the thread that takes it has one.
void install(int signal_number, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, previous);
}

// Ctrl+Z: the terminal gets its settings back while the process is stopped, and the
// key settings again when it goes on.
void stop_on_signal(int signal_number) {
    int saved_errno = errno;
    restore_terminal();
    install(signal_number, SIG_DFL, nullptr);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal_number);
    raise(signal_number);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // the process stops here until continued
    install(signal_number, stop_on_signal, nullptr);
    if (terminal_changed) {
        terminal_changed = 0;
        take_terminal();  // only when it goes on in the foreground
    }
    errno = saved_errno;
}

// Installs `handler` unless the signal was being ignored, which is kept.
void take_over(int signal_number, void (*handler)(int), struct sigaction* previous) {
    struct sigaction current;
    if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
        install(signal_number, handler, previous);
}

// Gives the calling thread an alternate signal stack, unless it has one already (a
// sanitizer's, say). SIGSTKSZ need not be a constant, and may exceed the usual size.
void give_alternate_stack() {
    stack_t current;
    if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0) return;
    const std::size_t size = std::max<std::size_t>(64 * 1024, SIGSTKSZ);
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    stack_t alternate{};
    alternate.ss_sp = memory;
    alternate.ss_size = size;
    if (sigaltstack(&alternate, nullptr) != 0) munmap(memory, size);
}

void start_console() {
    started = true;
    take_over(SIGINT, note_interrupt, nullptr);
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &original_settings) != 0) return;
    if (!in_foreground()) {
        source = Source::NONE;
        return;
    }
    source = Source::TERMINAL;
    keys.set_typed();
    key_settings = original_settings;
    key_settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    key_settings.c_lflag |= NOFLSH;
    key_settings.c_cc[VMIN] = 1;
    key_settings.c_cc[VTIME] = 0;
    give_alternate_stack();
    for (std::size_t i = 0; i < std::size(ending_signals); ++i)
        take_over(ending_signals[i], end_on_signal, &previous_actions[i]);
    take_over(SIGTSTP, stop_on_signal, nullptr);
    std::atexit(restore_terminal);
    take_terminal();
}

// Waits until standard input has something to read or a Ctrl+C has come. Ctrl+C is
// held back while checking for it, and let through only while waiting, so that it
// cannot slip in between the check and the wait.
bool wait_for_input() {
    sigset_t interrupt, previous;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &previous);
    int ready = 0;
    if (!keys.interrupted()) {
        fd_set input;
        FD_ZERO(&input);
        FD_SET(STDIN_FILENO, &input);
        ready = pselect(STDIN_FILENO + 1, &input, nullptr, nullptr, nullptr, &previous);
    }
    int saved_errno = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved_errno;
    return ready > 0 || (ready < 0 && errno != EINTR);  // a failure is left to the read
}

bool input_ready(int timeout_ms = 0) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int ready = poll(&input, 1, timeout_ms);
    return ready > 0 || (ready < 0 && errno != EINTR);
}

// The key presses among `count` bytes typed at the terminal, put back into `buffer`.
// An escape sequence that the bytes leave unfinished is read on while its bytes come
// at once; every such byte belongs to the sequence, so the keys never outnumber the
// bytes first read.
int typed_keys(unsigned char* buffer, int count) {
    posix::EscapeSequences sequences;
    int kept = 0;
    auto keep = [&](int key) {
        if (key != posix::EscapeSequences::NO_KEY) buffer[kept++] = static_cast<unsigned char>(key);
    };
    for (int i = 0; i < count; ++i) keep(sequences.take(buffer[i]));
    while (sequences.in_sequence()) {
        unsigned char next;
        if (!input_ready(SEQUENCE_WAIT_MS) || read(STDIN_FILENO, &next, 1) != 1) {
            keep(sequences.end());
            break;
        }
        keep(sequences.take(next));
    }
    return kept;
}

int fill_from_input(unsigned char* buffer, int size, bool wait) {
    if (source == Source::NONE) return KeyQueue::INPUT_ENDED;
    if (source == Source::TERMINAL && !terminal_changed) {
        // Gone on in the background after a stop: no keys until it is back in front.
        take_terminal();
        if (!terminal_changed) {
            if (wait) sleep_milliseconds(BACKGROUND_WAIT_MS);
            return 0;
        }
    }
    if (!(wait ? wait_for_input() : input_ready())) return 0;
    ssize_t got = read(STDIN_FILENO, buffer, static_cast<std::size_t>(size));
    if (got > 0) return source == Source::TERMINAL ? typed_keys(buffer, static_cast<int>(got)) : static_cast<int>(got);
    return got < 0 && (errno == EINTR || errno == EAGAIN) ? 0 : KeyQueue::INPUT_ENDED;
}

}  // namespace

KeyQueue& console_keys() {
    if (!started) start_console();
    return keys;
}

void exit_at_once(int code) {
    restore_terminal();
    std::_Exit(code);
}

}  // namespace rubo::platform
