#include "unicode/UnicodeText.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace quillo::unicode {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ICU's UTF-8 macros index with 32-bit integers and assign between integer widths; the
// program's texts (keystrokes, snippets) are far shorter than 2 GB.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"

// Decodes the scalar that starts at `i` and moves `i` past it. An ill-formed sequence becomes
// one U+FFFD per maximal subpart, as everywhere in ICU, so that every function here agrees on
// how many replacement characters a broken text holds.
char32_t decodeNext(std::string_view text, std::size_t& i) {
    auto at = static_cast<std::int32_t>(i);
    UChar32 scalar = 0;
    U8_NEXT_OR_FFFD(text.data(), at, static_cast<std::int32_t>(text.size()), scalar);
    i = static_cast<std::size_t>(at);
    return static_cast<char32_t>(scalar);
}

void appendUtf8(std::string& out, char32_t scalar) {
    if (scalar > 0x10FFFF || U_IS_SURROGATE(scalar)) {
        scalar = replacementCharacter;
    }
    char bytes[U8_MAX_LENGTH];
    std::int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, static_cast<UChar32>(scalar));
    out.append(bytes, static_cast<std::size_t>(length));
}

#pragma GCC diagnostic pop

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
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
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

void foldCase(std::string_view text, std::string& folded) {
    folded.clear();
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            folded.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a')
                                                        : static_cast<char>(byte));
            ++i;
            continue;
        }
        const char32_t scalar = decodeNext(text, i);
        appendUtf8(folded, static_cast<char32_t>(
                               u_foldCase(static_cast<UChar32>(scalar), U_FOLD_CASE_DEFAULT)));
    }
}

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const std::size_t from = at;
    return decodeNext(text, at) == replacementCharacter &&
                   text.substr(from, at - from) != "\xEF\xBF\xBD"
               ? 0
               : at - from;
}

} // namespace quillo::unicode
