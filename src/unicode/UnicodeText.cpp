#include "unicode/UnicodeText.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

namespace quillo::unicode {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Decodes the scalar that starts at `i` and moves `i` past it. An ill-formed sequence becomes
// one U+FFFD per maximal subpart, the practice ICU follows too, so that every function here
// agrees on how many replacement characters a broken text holds.
char32_t decodeNext(std::string_view text, std::size_t& i) {
    const auto byteAt = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byteAt(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t trailCount = 0;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    char32_t scalar = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailCount = 1;
        scalar = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailCount = 2;
        scalar = lead & 0x0Fu;
        if (lead == 0xE0) {
            secondLow = 0xA0; // overlong forms
        } else if (lead == 0xED) {
            secondHigh = 0x9F; // surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailCount = 3;
        scalar = lead & 0x07u;
        if (lead == 0xF0) {
            secondLow = 0x90; // overlong forms
        } else if (lead == 0xF4) {
            secondHigh = 0x8F; // beyond U+10FFFF
        }
    } else {
        ++i;
        return replacementCharacter;
    }
    for (std::size_t k = 1; k <= trailCount; ++k) {
        const unsigned char low = k == 1 ? secondLow : 0x80;
        const unsigned char high = k == 1 ? secondHigh : 0xBF;
        if (i + k >= text.size() || byteAt(i + k) < low || byteAt(i + k) > high) {
            i += k;
            return replacementCharacter;
        }
        scalar = (scalar << 6) | (byteAt(i + k) & 0x3Fu);
    }
    i += trailCount + 1;
    return scalar;
}

void appendUtf8(std::string& out, char32_t scalar) {
    if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
        scalar = replacementCharacter;
    }
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

// ICU measures strings in 32-bit units; the program's texts (keystrokes, snippets) are far
// shorter than that.
icu::UnicodeString fromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

std::string toStdString(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// Creating a break iterator loads and compiles rule data, which costs far more than
// segmenting a keystroke; one per thread is kept and only its text is replaced.
icu::BreakIterator* characterBreaker() {
    thread_local const std::unique_ptr<icu::BreakIterator> breaker = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> created(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) {
            created.reset();
        }
        return created;
    }();
    return breaker.get();
}

// The grapheme boundaries, visited in increasing order. Pure ASCII, the common case of
// typing, needs no tables: every byte is a character except a line feed after a carriage
// return.
template <typename Visit>
void forEachBoundary(std::string_view text, Visit visit) {
    visit(std::size_t{0});
    if (text.empty()) {
        return;
    }
    if (isAscii(text)) {
        for (std::size_t i = 1; i < text.size(); ++i) {
            if (!(text[i - 1] == '\r' && text[i] == '\n')) {
                visit(i);
            }
        }
        visit(text.size());
        return;
    }
    icu::BreakIterator* breaker = characterBreaker();
    UErrorCode status = U_ZERO_ERROR;
    UText utf8 = UTEXT_INITIALIZER;
    utext_openUTF8(&utf8, text.data(), static_cast<std::int64_t>(text.size()), &status);
    if (breaker != nullptr && U_SUCCESS(status)) {
        breaker->setText(&utf8, status);
    }
    if (breaker == nullptr || U_FAILURE(status)) {
        // Without break rules the best remaining unit is the scalar value.
        utext_close(&utf8);
        for (std::size_t i = 0; i < text.size();) {
            decodeNext(text, i);
            visit(i);
        }
        return;
    }
    for (std::int32_t at = breaker->next(); at != icu::BreakIterator::DONE; at = breaker->next()) {
        visit(static_cast<std::size_t>(at));
    }
    utext_close(&utf8);
}

// Where the last `count` characters of `text` begin, or npos when it holds fewer. Walking back
// from the end keeps a suffix test proportional to the suffix, not to the whole text.
std::size_t startOfLastGraphemes(std::string_view text, std::size_t count) {
    if (count == 0) {
        return text.size();
    }
    if (isAscii(text)) {
        std::size_t at = text.size();
        for (std::size_t found = 0; found < count; ++found) {
            if (at == 0) {
                return std::string_view::npos;
            }
            at -= (at >= 2 && text[at - 2] == '\r' && text[at - 1] == '\n') ? 2 : 1;
        }
        return at;
    }
    icu::BreakIterator* breaker = characterBreaker();
    UErrorCode status = U_ZERO_ERROR;
    UText utf8 = UTEXT_INITIALIZER;
    utext_openUTF8(&utf8, text.data(), static_cast<std::int64_t>(text.size()), &status);
    if (breaker != nullptr && U_SUCCESS(status)) {
        breaker->setText(&utf8, status);
    }
    if (breaker == nullptr || U_FAILURE(status)) {
        utext_close(&utf8);
        const std::vector<std::size_t> boundaries = graphemeBoundaries(text);
        const std::size_t length = boundaries.size() - 1;
        return length < count ? std::string_view::npos : boundaries[length - count];
    }
    breaker->last();
    std::int32_t at = 0;
    for (std::size_t found = 0; found < count; ++found) {
        at = breaker->previous();
        if (at == icu::BreakIterator::DONE) {
            utext_close(&utf8);
            return std::string_view::npos;
        }
    }
    utext_close(&utf8);
    return static_cast<std::size_t>(at);
}

} // namespace

std::vector<std::size_t> graphemeBoundaries(std::string_view text) {
    std::vector<std::size_t> boundaries;
    forEachBoundary(text, [&](std::size_t at) { boundaries.push_back(at); });
    return boundaries;
}

std::size_t graphemeCount(std::string_view text) {
    std::size_t count = 0;
    forEachBoundary(text, [&](std::size_t) { ++count; });
    return count - 1;
}

std::string nfc(std::string_view text) {
    if (isAscii(text)) {
        return std::string(text);
    }
    const icu::UnicodeString source = fromUtf8(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* composer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        return toStdString(source);
    }
    const icu::UnicodeString composed = composer->normalize(source, status);
    return U_SUCCESS(status) ? toStdString(composed) : toStdString(source);
}

bool isNfc(std::string_view text) {
    if (isAscii(text)) {
        return true;
    }
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        if (decodeNext(text, i) == replacementCharacter &&
            text.substr(start, i - start) != "\xEF\xBF\xBD") {
            return false;
        }
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* composer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        return false;
    }
    const bool normalised = composer->isNormalizedUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())), status);
    return U_SUCCESS(status) && normalised;
}

bool endsWithCanonically(std::string_view text, std::string_view suffix) {
    if (suffix.empty()) {
        return true;
    }
    const std::size_t start = startOfLastGraphemes(text, graphemeCount(suffix));
    if (start == std::string_view::npos) {
        return false;
    }
    const std::string_view tail = text.substr(start);
    return tail == suffix || nfc(tail) == nfc(suffix);
}

std::string toUtf8(std::u16string_view utf16) {
    return toStdString(icu::UnicodeString(utf16.data(), static_cast<std::int32_t>(utf16.size())));
}

std::u16string toUtf16(std::string_view utf8) {
    const icu::UnicodeString converted = fromUtf8(utf8);
    return std::u16string(converted.getBuffer(), static_cast<std::size_t>(converted.length()));
}

std::u32string toScalars(std::string_view utf8) {
    std::u32string scalars;
    scalars.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        scalars.push_back(decodeNext(utf8, i));
    }
    return scalars;
}

std::string fromScalar(char32_t scalar) {
    std::string out;
    appendUtf8(out, scalar);
    return out;
}

std::string toUpper(std::string_view text) {
    if (isAscii(text)) {
        std::string upper(text);
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        return upper;
    }
    icu::UnicodeString converted = fromUtf8(text);
    converted.toUpper(icu::Locale::getRoot());
    return toStdString(converted);
}

} // namespace quillo::unicode
