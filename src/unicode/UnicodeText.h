// Text as the program counts and compares it: UTF-8 strings in which a character is an
// extended grapheme cluster and equality is canonical equivalence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::unicode {

// Byte offsets of the grapheme-cluster boundaries of `text`, from 0 to text.size() inclusive;
// {0} for the empty text.
std::vector<std::size_t> graphemeBoundaries(std::string_view text);

std::size_t graphemeCount(std::string_view text);

// The canonical composition (NFC) of `text`. Invalid UTF-8 is replaced by U+FFFD first.
std::string nfc(std::string_view text);

// Whether `text` is already its own canonical composition, so that a caller may skip nfc().
// Invalid UTF-8 is not (nfc() would replace it).
bool isNfc(std::string_view text);

// Whether `text` ends with `suffix` when both are compared character by character under
// canonical equivalence: the last graphemeCount(suffix) characters of `text`, normalised, equal
// the normalised suffix. The empty suffix ends every text.
bool endsWithCanonically(std::string_view text, std::string_view suffix);

std::string toUtf8(std::u16string_view utf16);
std::u16string toUtf16(std::string_view utf8);

// The Unicode scalar values of `utf8`; invalid sequences become U+FFFD.
std::u32string toScalars(std::string_view utf8);
std::string fromScalar(char32_t scalar);
// The length of the well-formed UTF-8 sequence of one scalar that starts at `at` (< text.size()),
// or 0 when there is none (an overlong form, a surrogate, a value beyond U+10FFFF, a cut
// sequence, a lone trail byte).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

// Upper case under the root locale ("m" gives "M").
std::string toUpper(std::string_view text);

// Unicode's simple case folding of each character, the same in every locale, for comparing
// texts while ignoring case: "Ω" and "ω" fold alike, "ß" stays one character. Written over
// `folded`, so that a caller folding many texts reuses one buffer. Invalid UTF-8 becomes U+FFFD.
void foldCase(std::string_view text, std::string& folded);

} // namespace quillo::unicode
