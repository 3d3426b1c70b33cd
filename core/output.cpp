#include "core/output.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace rubo {

namespace {

constexpr std::size_t buffer_size = 64 * 1024;

struct OutputBuffer {
    char bytes[buffer_size] = {};
    std::size_t used = 0;
    bool failed = false;
    bool flush_registered = false;
};

// Static storage that needs no construction and has no destructor: it is there before
// the first write, even one that reports exhausted memory, and after exit-time
// destruction.
constinit OutputBuffer output_buffer;

OutputBuffer& buffer() { return output_buffer; }

void flush_at_exit() { flush_output(); }

}  // namespace

bool flush_output() {
    OutputBuffer& out = buffer();
    if (out.used > 0 && !out.failed) out.failed = !platform::write_standard_output(out.bytes, out.used);
    out.used = 0;
    return !out.failed;
}

bool buffer_output(const char* data, std::size_t size) {
    OutputBuffer& out = buffer();
    if (!out.flush_registered) {
        out.flush_registered = true;
        std::atexit(flush_at_exit);
    }
    if (out.failed) return false;
    if (out.used + size > buffer_size && !flush_output()) return false;
    if (size >= buffer_size) {
        out.failed = !platform::write_standard_output(data, size);
        return !out.failed;
    }
    if (size > 0) std::memcpy(out.bytes + out.used, data, size);  // data may be null when empty
    out.used += size;
    return true;
}

bool buffer_output(const char* text) { return buffer_output(text, text != nullptr ? std::strlen(text) : 0); }

}  // namespace rubo
