// A quick walk over a JSON document in the plain form that programs write (the snippets file
// among them), reporting each value to a handler as it goes, the way the JSON library's SAX
// parser reports them: null(), boolean(), number_integer() for negative integers,
// number_unsigned() for the others, string(), key(), start_object(), end_object(),
// start_array() and end_array(), with the same values in the same order.
//
// It is kept for the start-up: through the library's SAX parser alone, loading a file of 100,000
// snippets (28 MB) takes 2.2 times the CPU time it takes with this walk (485 ms against 216 ms,
// quillo_bench load/100000), and the 280 ms that load takes on a quiet machine would grow beyond
// the 400 ms a start may spend on it.
//
// The walk is strict: anything it is not sure to read exactly as the library would (a syntax
// error, a number with a fraction or an exponent, minus zero, an integer beyond 64 bits, text
// that is not UTF-8) makes it stop and answer false, and the caller then hands the document to the
// library. A handler may stop the walk too, by answering false.
#pragma once

#include "unicode/UnicodeText.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace quillo::model {

namespace plainjson {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

template <typename Handler>
class Walker {
  public:
    Walker(std::string_view json, Handler& handler) : json_(json), handler_(handler) {}

    bool walk() {
        // The library skips a byte order mark at the very start, and nowhere else.
        if (json_.starts_with("\xEF\xBB\xBF")) {
            at_ = 3;
        }
        if (!value()) {
            return false;
        }
        skipSpace();
        return at_ == json_.size();
    }

  private:
    void skipSpace() {
        while (at_ < json_.size() && isSpace(json_[at_])) {
            ++at_;
        }
    }

    bool next(char expected) {
        skipSpace();
        if (at_ < json_.size() && json_[at_] == expected) {
            ++at_;
            return true;
        }
        return false;
    }

    bool value() {
        skipSpace();
        if (at_ >= json_.size()) {
            return false;
        }
        switch (json_[at_]) {
        case '{':
            return nested(&Walker::object);
        case '[':
            return nested(&Walker::array);
        case '"':
            return string(text_) && handler_.string(text_);
        case 't':
            return literal("true") && handler_.boolean(true);
        case 'f':
            return literal("false") && handler_.boolean(false);
        case 'n':
            return literal("null") && handler_.null();
        default:
            return number();
        }
    }

    // Each level of nesting is a level of recursion: a document nested deeper than any the
    // program writes is left to the library.
    bool nested(bool (Walker::*container)()) {
        if (depth_ == maxDepth) {
            return false;
        }
        ++depth_;
        const bool walked = (this->*container)();
        --depth_;
        return walked;
    }

    bool object() {
        ++at_;
        if (!handler_.start_object(std::numeric_limits<std::size_t>::max())) {
            return false;
        }
        if (next('}')) {
            return handler_.end_object();
        }
        do {
            skipSpace();
            if (at_ >= json_.size() || json_[at_] != '"' || !string(key_) || !handler_.key(key_) ||
                !next(':') || !value()) {
                return false;
            }
        } while (next(','));
        return next('}') && handler_.end_object();
    }

    bool array() {
        ++at_;
        if (!handler_.start_array(std::numeric_limits<std::size_t>::max())) {
            return false;
        }
        if (next(']')) {
            return handler_.end_array();
        }
        do {
            if (!value()) {
                return false;
            }
        } while (next(','));
        return next(']') && handler_.end_array();
    }

    bool literal(std::string_view word) {
        if (json_.substr(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    // An integer only: -?(0|[1-9][0-9]*) within 64 bits, and not minus zero.
    bool number() {
        const bool negative = json_[at_] == '-';
        std::size_t i = at_ + (negative ? 1 : 0);
        const std::size_t digitsFrom = i;
        std::uint64_t magnitude = 0;
        while (i < json_.size() && json_[i] >= '0' && json_[i] <= '9') {
            const auto digit = static_cast<std::uint64_t>(json_[i] - '0');
            if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
                return false;
            }
            magnitude = magnitude * 10 + digit;
            ++i;
        }
        const std::size_t digits = i - digitsFrom;
        if (digits == 0 || (digits > 1 && json_[digitsFrom] == '0')) {
            return false;
        }
        if (i < json_.size() && (json_[i] == '.' || json_[i] == 'e' || json_[i] == 'E')) {
            return false;
        }
        at_ = i;
        if (!negative) {
            return handler_.number_unsigned(magnitude);
        }
        constexpr auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        if (magnitude == 0 || magnitude > limit + 1) {
            return false;
        }
        const auto value = magnitude == limit + 1 ? std::numeric_limits<std::int64_t>::min()
                                                  : -static_cast<std::int64_t>(magnitude);
        return handler_.number_integer(value);
    }

    // A string at `at_` (which holds its opening quote), decoded into `out`.
    bool string(std::string& out) {
        out.clear();
        std::size_t i = at_ + 1;
        std::size_t plainFrom = i;
        while (i < json_.size()) {
            const auto c = static_cast<unsigned char>(json_[i]);
            if (c == '"') {
                out.append(json_.substr(plainFrom, i - plainFrom));
                at_ = i + 1;
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c >= 0x80) {
                const std::size_t length = unicode::utf8SequenceLength(json_, i);
                if (length == 0) {
                    return false;
                }
                i += length;
                continue;
            }
            if (c != '\\') {
                ++i;
                continue;
            }
            out.append(json_.substr(plainFrom, i - plainFrom));
            if (!escape(i, out)) {
                return false;
            }
            plainFrom = i;
        }
        return false;
    }

    // The escape at `i` (its backslash), appended to `out`; `i` moves past it.
    bool escape(std::size_t& i, std::string& out) {
        if (i + 1 >= json_.size()) {
            return false;
        }
        const char kind = json_[i + 1];
        i += 2;
        switch (kind) {
        case '"':
        case '\\':
        case '/':
            out.push_back(kind);
            return true;
        case 'b':
            out.push_back('\b');
            return true;
        case 'f':
            out.push_back('\f');
            return true;
        case 'n':
            out.push_back('\n');
            return true;
        case 'r':
            out.push_back('\r');
            return true;
        case 't':
            out.push_back('\t');
            return true;
        case 'u':
            break;
        default:
            return false;
        }
        std::uint32_t unit = 0;
        if (!hex4(i, unit)) {
            return false;
        }
        std::uint32_t scalar = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            std::uint32_t low = 0;
            if (json_.substr(i, 2) != "\\u") {
                return false;
            }
            i += 2;
            if (!hex4(i, low) || low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            scalar = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        appendUtf8(out, scalar);
        return true;
    }

    bool hex4(std::size_t& i, std::uint32_t& unit) {
        if (i + 4 > json_.size()) {
            return false;
        }
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = json_[i + k];
            std::uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
            unit = unit * 16 + digit;
        }
        i += 4;
        return true;
    }

    static void appendUtf8(std::string& out, std::uint32_t scalar) {
        if (scalar < 0x80) {
            out.push_back(static_cast<char>(scalar));
        } else if (scalar < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (scalar >> 6)));
            out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
        } else if (scalar < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (scalar >> 12)));
            out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (scalar >> 18)));
            out.push_back(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
        }
    }

    static constexpr int maxDepth = 256;

    std::string_view json_;
    Handler& handler_;
    std::size_t at_ = 0;
    int depth_ = 0;
    std::string text_;
    std::string key_;
};

} // namespace plainjson

// Walks the whole document; false when the walker or the handler stopped.
template <typename Handler>
bool walkPlainJson(std::string_view json, Handler& handler) {
    return plainjson::Walker<Handler>(json, handler).walk();
}

} // namespace quillo::model
