// Fuzz target: String's editing, searching and comparison against a model made of
// std::string. The input is a little program: each step takes an operation and its
// arguments from the next bytes and performs it on a String and on the model. After
// every step the String must hold exactly the model's bytes, terminated, in a buffer
// that the growth rules allow, and every answer must be the model's.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/character.h"
#include "core/string.h"

using namespace rubo;

namespace {

constexpr std::size_t model_limit = 1 << 16;  // longer texts only make the run slower

void expect(bool holds, const char* what, int step) {
    if (holds) return;
    std::fprintf(stderr, "String differs from its model: %s (step %d)\n", what, step);
    std::abort();
}

// The bytes of the input, read front to back; past the end every read answers 0.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return next_ >= size_; }
    std::uint8_t byte() { return next_ < size_ ? data_[next_++] : 0; }
    char character() { return static_cast<char>(byte()); }
    // A position or count around a text of `length` characters, now and then one of the
    // values at the edges of the range.
    int number(int length) {
        const std::uint8_t b = byte();
        const int edges[] = {INT_MIN, INT_MAX, -1, 0, length, length + 1};
        if (b >= 250) return edges[b - 250];
        return static_cast<int>(b % static_cast<unsigned>(std::min(length, 240) + 9)) - 4;
    }
    // A run of up to 31 bytes, zero bytes included.
    std::string bytes() {
        const std::size_t length = byte() % 32;
        std::string out;
        for (std::size_t i = 0; i < length; ++i) out += character();
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;
};

// The text as a zero-terminated argument sees it.
std::string as_text(const std::string& bytes) { return std::string(bytes.c_str()); }

int sign(int value) { return (value > 0) - (value < 0); }

// Replacement of `count` characters at pos by `insert` bytes, under the range rules:
// false and no change for pos outside 0..length, for nothing to remove and nothing to
// insert, or for a negative insert with something to remove; the removed range is cut
// at the end of the text.
bool model_replace(std::string& model, int pos, int count, const std::string& insert_bytes, int insert) {
    const int length = static_cast<int>(model.size());
    if (pos < 0 || pos > length) return false;
    if (count <= 0) {
        if (insert <= 0) return false;
        count = 0;
    } else {
        if (insert < 0) return false;
        count = std::min(count, length - pos);
    }
    model.replace(static_cast<std::size_t>(pos), static_cast<std::size_t>(count),
                  insert_bytes.substr(0, static_cast<std::size_t>(std::max(insert, 0))));
    return true;
}

bool in_model_set(const std::string& set, char c) { return c == 0 || set.find(c) != std::string::npos; }

// compare with a text of the given bytes (a String's own length may hold zero bytes).
int model_compare(const std::string& model, const std::string& other, bool case_sensitive, int max_count) {
    if (other.empty()) return model.empty() ? 0 : 1;
    if (model.empty()) return -1;
    const std::int64_t shorter = std::min(model.size(), other.size());
    const std::int64_t n = std::min<std::int64_t>(shorter + 1, max_count);
    if (n <= 0) return -1;
    const std::string a = model + '\0';
    const std::string b = other + '\0';
    for (std::int64_t i = 0; i < n; ++i) {
        const char x = case_sensitive ? a[static_cast<std::size_t>(i)] : to_lower(a[static_cast<std::size_t>(i)]);
        const char y = case_sensitive ? b[static_cast<std::size_t>(i)] : to_lower(b[static_cast<std::size_t>(i)]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return 0;
}

void check_storage(const String& s, const std::string& model, int step) {
    const int length = static_cast<int>(model.size());
    expect(s.length() == length, "length", step);
    expect(std::memcmp(s.text(), model.data(), model.size()) == 0, "bytes", step);
    expect(s.text()[length] == 0, "terminator", step);
    if (length == 0)
        expect(s.capacity() == 0, "an empty String holds storage", step);
    else
        expect(s.capacity() > length && s.capacity() <= length + 512, "capacity outside the growth rules", step);
}

// Performs one operation on both; the String `other` serves as a second operand.
void step_once(Input& in, String& s, std::string& model, String& other, std::string& other_model, int step) {
    const int length = static_cast<int>(model.size());
    switch (in.byte() % 24) {
        case 0: {  // replace with bytes from the input
            const int pos = in.number(length), count = in.number(length);
            const std::string bytes = in.bytes();
            const int n = std::min(in.number(static_cast<int>(bytes.size())), static_cast<int>(bytes.size()));
            const bool done = s.replace(pos, count, bytes.data(), n);
            expect(done == model_replace(model, pos, count, bytes, n), "replace result", step);
            break;
        }
        case 1: {  // replace with bytes from the String's own buffer
            const int from = std::clamp(in.number(length), 0, length);
            const int n = std::clamp(in.number(length), 0, length - from);
            const int pos = in.number(length), count = in.number(length);
            const std::string bytes = model.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(n));
            const bool done = s.replace(pos, count, s.text() + from, n);
            expect(done == model_replace(model, pos, count, bytes, n), "replace from itself", step);
            break;
        }
        case 2: {
            const int pos = in.number(length), count = in.number(length);
            const std::string text = as_text(in.bytes());
            const int n = s.replace(pos, count, text.c_str());
            model_replace(model, pos, count, text, static_cast<int>(text.size()));
            expect(n == static_cast<int>(text.size()), "replace answers the text's length", step);
            break;
        }
        case 3: {
            // A fill of more than a few characters only makes the run slower (and one of
            // 2^31 would be the length limit's fatal report).
            const int pos = in.number(length), count = in.number(length), n = std::min(in.number(8), 64);
            const char c = in.character();
            const bool done = s.replace_fill(pos, count, c, n);
            expect(
                done == model_replace(model, pos, count, std::string(static_cast<std::size_t>(std::max(n, 0)), c), n),
                "replace_fill result", step);
            break;
        }
        case 4: {
            const std::string text = as_text(in.bytes());
            s.append(text.c_str());
            model += text;
            const char c = in.character();
            s.append(c);
            model += c;
            break;
        }
        case 5:
            s.append(other);
            model += other_model;
            break;
        case 6: {
            const int pos = in.number(length);
            const std::string text = as_text(in.bytes());
            s.insert(pos, text.c_str());
            model_replace(model, pos, 0, text, static_cast<int>(text.size()));
            break;
        }
        case 7: {
            const int pos = in.number(length), count = in.number(length);
            expect(s.erase(pos, count) == model_replace(model, pos, count, "", 0), "erase result", step);
            break;
        }
        case 8: {  // assign, now and then a part of its own text
            if (in.byte() % 2 == 0) {
                const std::string bytes = in.bytes();
                const int n = std::min(in.number(static_cast<int>(bytes.size())), static_cast<int>(bytes.size()));
                s.assign(bytes.data(), n);
                model = n > 0 ? bytes.substr(0, static_cast<std::size_t>(n)) : "";
            } else {
                const int from = std::clamp(in.number(length), 0, length);
                const int n = std::clamp(in.number(length), 0, length - from);
                s.assign(s.text() + from, n);
                model = model.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(n));
            }
            break;
        }
        case 9: {  // mid, both forms, and cut
            const int start = in.number(length), count = in.number(length);
            const int first = std::max(start, 0);
            const int n = std::min<std::int64_t>(count, length - std::min(first, length));
            const std::string part =
                n > 0 ? model.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(n)) : "";
            String into("stale");
            expect(s.mid(into, count, start) == (n > 0), "mid result", step);
            check_storage(into, part, step);
            check_storage(s.mid(start, count), part, step);
            if (in.byte() % 2 == 0) {
                check_storage(s.cut(start, count), part, step);
                if (n > 0) model.erase(static_cast<std::size_t>(first), static_cast<std::size_t>(n));
            }
            break;
        }
        case 10: {
            const char separator = in.character();
            const std::size_t found = model.find(separator);
            const String taken = s.take_until(separator);
            if (found == std::string::npos) {
                check_storage(taken, model, step);
                model.clear();
            } else {
                check_storage(taken, model.substr(0, found), step);
                model.erase(0, found + 1);
            }
            break;
        }
        case 11: {
            const String line = s.take_line();
            const std::size_t end = model.find_first_of(std::string("\r\n\0", 3));
            if (end == std::string::npos) {
                check_storage(line, model, step);
                model.clear();
            } else {
                check_storage(line, model.substr(0, end), step);
                const char c = model[end];
                const char next = end + 1 < model.size() ? model[end + 1] : 0;
                const bool pair = (c == '\n' && next == '\r') || (c == '\r' && next == '\n');
                model.erase(0, end + (pair ? 2 : 1));
            }
            break;
        }
        case 12: {
            const int n = in.number(length);
            const int removed = std::clamp(n, 0, length);
            expect(s.remove_left(n) == removed, "remove_left count", step);
            model.erase(0, static_cast<std::size_t>(removed));
            break;
        }
        case 13: {
            const int n = in.number(length);
            const int removed = n < 1 ? 0 : std::min(n, length);
            expect(s.remove_right(n) == removed, "remove_right count", step);
            model.resize(static_cast<std::size_t>(length - removed));
            break;
        }
        case 14: {
            const char c = in.character();
            const bool removes = length > 0 && model.back() == c;
            expect(s.remove_trailing(c) == removes, "remove_trailing result", step);
            if (removes) model.pop_back();
            break;
        }
        case 15: {
            const std::string text = as_text(in.bytes());
            const int count = in.number(static_cast<int>(text.size()));
            const int n = std::min(count, static_cast<int>(text.size()));
            bool removes = count > 0 && n > 0 && n <= length;
            for (int i = 1; removes && i <= n; ++i)
                removes = to_lower(model[static_cast<std::size_t>(length - i)]) ==
                          to_lower(text[text.size() - static_cast<std::size_t>(i)]);
            expect(s.remove_suffix(text.c_str(), count) == removes, "remove_suffix result", step);
            if (removes) model.resize(static_cast<std::size_t>(length - n));
            break;
        }
        case 16: {
            const char c = in.character();
            const bool strips = length > 0 && model.front() == c && model.back() == c;
            expect(s.strip_enclosing(c) == strips, "strip_enclosing result", step);
            if (strips) model = length == 1 ? "" : model.substr(1, static_cast<std::size_t>(length - 2));
            break;
        }
        case 17:
            s.quote();
            model = '"' + model + '"';
            break;
        case 18: {
            const std::string set = as_text(in.bytes());
            std::size_t kept = 0, end = model.size();
            if (in.byte() % 2 == 0) {
                while (kept < model.size() && in_model_set(set, model[kept])) ++kept;
                expect(s.trim_left(set.c_str()) == static_cast<int>(kept), "trim_left count", step);
                model.erase(0, kept);
            } else {
                while (end > 0 && in_model_set(set, model[end - 1])) --end;
                expect(s.trim_right(set.c_str()) == static_cast<int>(model.size() - end), "trim_right count", step);
                model.resize(end);
            }
            break;
        }
        case 19: {  // searches
            const char c = in.character();
            const int start = in.number(length);
            const bool case_sensitive = in.byte() % 2 == 0;
            int first = -1;
            for (int i = std::max(start, 0); i < length && first < 0; ++i)
                if (case_sensitive ? model[static_cast<std::size_t>(i)] == c
                                   : to_upper(model[static_cast<std::size_t>(i)]) == to_upper(c))
                    first = i;
            expect(s.find_first(c, start, case_sensitive ? Case::SENSITIVE : Case::INSENSITIVE) == first, "find_first",
                   step);
            const std::uint32_t flags = in.byte() & (FIND_IGNORE_CASE | FIND_SKIP_QUOTED);
            int last = -1;
            bool quoted = false;
            for (int i = std::min(start, length - 1); i >= 0 && last < 0; --i) {
                const char here = model[static_cast<std::size_t>(i)];
                if ((flags & FIND_SKIP_QUOTED) != 0 && here == '"') {
                    quoted = !quoted;
                } else if (!quoted && ((flags & FIND_IGNORE_CASE) != 0 ? to_upper(here) == to_upper(c) : here == c)) {
                    last = i;
                }
            }
            expect(s.find_last(c, start, flags) == last, "find_last", step);
            break;
        }
        case 20: {
            const std::string set = as_text(in.bytes());
            const int start = in.number(length);
            int one = -1, not_one = -1;
            for (int i = std::max(start, 0); i < length; ++i) {
                const bool member = in_model_set(set, model[static_cast<std::size_t>(i)]);
                if (member && one < 0 && !set.empty()) one = i;
                if (!member && not_one < 0) not_one = i;
            }
            expect(s.find_one_of(set.c_str(), start) == one, "find_one_of", step);
            expect(s.find_not_one_of(set.c_str(), start) == not_one, "find_not_one_of", step);
            expect(s.is_blank() == (model.find_first_not_of(std::string(" \r\n\t\0", 5)) == std::string::npos),
                   "is_blank", step);
            break;
        }
        case 21: {  // comparisons
            const bool case_sensitive = in.byte() % 2 == 0;
            const int max_count = in.number(length);
            const std::string text = as_text(in.bytes());
            expect(sign(s.compare(text.c_str(), case_sensitive ? Case::SENSITIVE : Case::INSENSITIVE, max_count)) ==
                       model_compare(model, text, case_sensitive, max_count),
                   "compare with a text", step);
            expect(sign(s.compare(other, case_sensitive ? Case::SENSITIVE : Case::INSENSITIVE, max_count)) ==
                       model_compare(model, other_model, case_sensitive, max_count),
                   "compare with a String", step);
            const int count = in.number(static_cast<int>(text.size()));
            const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(std::max(count, 0)));
            expect(s.starts_with(text.c_str(), count) ==
                       (n > 0 && model.compare(0, n, text, 0, n) == 0 && model.size() >= n),
                   "starts_with", step);
            break;
        }
        case 22: {  // shrinking the length directly
            const int n = std::min(in.number(length), length);
            s.set_length(n);
            model.resize(static_cast<std::size_t>(std::max(n, 0)));
            break;
        }
        default: {  // copies, moves and exchange with the second String
            String copy(s);
            check_storage(copy, model, step);
            String& same = s;
            s = same;
            other = std::move(copy);
            other_model = model;
            if (in.byte() % 2 == 0) {
                String moved(std::move(s));
                s = other;
                check_storage(moved, model, step);
            }
            break;
        }
    }
    check_storage(s, model, step);
    check_storage(other, other_model, step);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    String s;
    std::string model;
    String other("Other \"text\"\r\n");
    std::string other_model("Other \"text\"\r\n");
    for (int step = 0; !in.empty() && model.size() < model_limit; ++step)
        step_once(in, s, model, other, other_model, step);
    return 0;
}
