#include "platform/wtf8.h"

namespace rubo::platform {
namespace {

constexpr std::uint32_t HIGH_SURROGATES = 0xD800;
constexpr std::uint32_t LOW_SURROGATES = 0xDC00;
constexpr std::uint32_t SURROGATES_END = 0xE000;

bool is_high_surrogate(std::uint32_t unit) { return unit >= HIGH_SURROGATES && unit < LOW_SURROGATES; }
bool is_low_surrogate(std::uint32_t unit) { return unit >= LOW_SURROGATES && unit < SURROGATES_END; }

void append_wtf8(std::string& out, std::uint32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
        return;
    }
    const int continuations = code_point < 0x800 ? 1 : code_point < 0x10000 ? 2 : 3;
    static constexpr unsigned char lead_marks[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(lead_marks[continuations] | (code_point >> (6 * continuations)));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6)
        out += static_cast<char>(0x80 | ((code_point >> shift) & 0x3F));
}

}  // namespace

std::size_t wtf8_sequence_size(char lead) {
    const auto byte = static_cast<unsigned char>(lead);
    if (byte >= 0xC2 && byte <= 0xDF) return 2;
    if (byte >= 0xE0 && byte <= 0xEF) return 3;
    if (byte >= 0xF0 && byte <= 0xF4) return 4;
    return 1;
}

std::size_t decode_wtf8(const char* text, std::size_t available, std::uint32_t& code_point) {
    if (available == 0) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    }
    const std::size_t size = wtf8_sequence_size(text[0]);
    if (size == 1) return 0;  // a continuation byte, or a lead byte no sequence uses
    std::uint32_t value = lead & (0x7F >> size);
    for (std::size_t i = 1; i < size; ++i) {
        const auto byte = i < available ? static_cast<unsigned char>(text[i]) : 0;
        if ((byte & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte & 0x3F);
    }
    // The shortest form only, and nothing past the last code point.
    static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[size] || value > 0x10FFFF) return 0;
    code_point = value;
    return size;
}

void append_utf16(WideText& wide, std::uint32_t code_point) {
    if (code_point < 0x10000) {
        wide += static_cast<WideChar>(code_point);
        return;
    }
    code_point -= 0x10000;
    wide += static_cast<WideChar>(HIGH_SURROGATES + (code_point >> 10));
    wide += static_cast<WideChar>(LOW_SURROGATES + (code_point & 0x3FF));
}

bool wide_from_wtf8(const char* text, std::size_t length, WideText& wide) {
    wide.clear();
    wide.reserve(length);
    bool after_high_surrogate = false;
    for (std::size_t at = 0; at < length;) {
        std::uint32_t code_point = 0;
        const std::size_t size = decode_wtf8(text + at, length - at, code_point);
        // A pair spelt as two sequences has a four-byte spelling of its own.
        if (size == 0 || (after_high_surrogate && is_low_surrogate(code_point))) return false;
        after_high_surrogate = is_high_surrogate(code_point);
        append_utf16(wide, code_point);
        at += size;
    }
    return true;
}

std::string wtf8_from_wide(const WideChar* wide, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t at = 0; at < length; ++at) {
        std::uint32_t unit = static_cast<std::uint16_t>(wide[at]);
        const std::uint32_t next = at + 1 < length ? static_cast<std::uint16_t>(wide[at + 1]) : 0;
        if (is_high_surrogate(unit) && is_low_surrogate(next)) {
            unit = 0x10000 + ((unit - HIGH_SURROGATES) << 10) + (next - LOW_SURROGATES);
            ++at;
        }
        append_wtf8(out, unit);
    }
    return out;
}

}  // namespace rubo::platform
