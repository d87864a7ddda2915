#include "engine/TypingBuffer.h"

#include "unicode/UnicodeText.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace quillo::engine {

namespace {

// Enough for a full buffer of ordinary text and most emoji, so typing never reallocates, and
// large enough that the string never sits in its inline small-string storage, whose bytes a
// later reallocation would leave behind inside the object.
constexpr std::size_t initialCapacity = 512;

// A volatile store is one the optimiser may not drop as dead, though the memory is about to
// be freed or left unused.
void overwrite(char* bytes, std::size_t count) {
    volatile char* target = bytes;
    for (std::size_t i = 0; i < count; ++i) {
        target[i] = 0;
    }
}

// Zeroes every byte the string owns, its spare capacity included, and leaves it empty.
void wipe(std::string& text) {
    text.resize(text.capacity());
    overwrite(text.data(), text.size());
    text.clear();
}

bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return isAscii(c); });
}

std::string reservedString(std::size_t capacity) {
    std::string text;
    text.reserve(capacity);
    return text;
}

} // namespace

TypingBuffer::TypingBuffer() : buffer_(reservedString(initialCapacity)), boundaries_{0} {
    boundaries_.reserve(maxLength + 2);
}

TypingBuffer::~TypingBuffer() {
    wipe(buffer_);
}

void TypingBuffer::append(std::string_view text) {
    if (text.empty()) {
        return;
    }
    // Text that views the buffer itself would move under our feet as the front is trimmed.
    const char* own = buffer_.data();
    const std::less<const char*> before;
    if (!before(text.data(), own) && before(text.data(), own + buffer_.capacity())) {
        std::string copy = reservedString(text.size());
        copy.assign(text);
        append(std::string_view(copy));
        wipe(copy);
        return;
    }
    if (isAscii(text) && (buffer_.empty() || isAscii(buffer_.back()))) {
        // The common case, typing in plain ASCII: after an ASCII character every ASCII byte
        // starts a character of its own, except a line feed after a carriage return.
        for (const char c : text) {
            reserveWithoutLeaving(buffer_.size() + 1);
            const bool joins = c == '\n' && !buffer_.empty() && buffer_.back() == '\r';
            buffer_.push_back(c);
            if (joins) {
                boundaries_.back() = origin_ + buffer_.size();
            } else {
                boundaries_.push_back(origin_ + buffer_.size());
            }
            if (length() > maxLength) {
                dropOldest(length() - maxLength);
            }
        }
        return;
    }
    const std::vector<std::size_t> characters = unicode::graphemeBoundaries(text);
    for (std::size_t i = 1; i < characters.size(); ++i) {
        appendCharacter(text.substr(characters[i - 1], characters[i] - characters[i - 1]));
        if (length() > maxLength) {
            dropOldest(length() - maxLength);
        }
    }
}

void TypingBuffer::appendCharacter(std::string_view character) {
    // Only the last character can absorb what follows it (a combining mark, a joiner, the
    // second half of a flag): the rules of UAX #29 look one character to the right, so every
    // earlier boundary stands and segmentation resumes where the last character begins.
    const std::size_t resumeCharacter = length() == 0 ? 0 : length() - 1;
    const std::size_t resumeAt = characterStart(resumeCharacter);
    reserveWithoutLeaving(buffer_.size() + character.size());
    buffer_.append(character);
    const std::vector<std::size_t> tail =
        unicode::graphemeBoundaries(std::string_view(buffer_).substr(resumeAt));
    boundaries_.resize(resumeCharacter);
    for (const std::size_t offset : tail) {
        boundaries_.push_back(origin_ + resumeAt + offset);
    }
}

void TypingBuffer::dropOldest(std::size_t count) {
    const std::size_t cut = characterStart(count);
    const std::size_t kept = buffer_.size() - cut;
    std::memmove(buffer_.data(), buffer_.data() + cut, kept);
    overwrite(buffer_.data() + kept, cut);
    buffer_.resize(kept);
    boundaries_.erase(boundaries_.begin(),
                      boundaries_.begin() + static_cast<std::ptrdiff_t>(count));
    origin_ += cut;
}

void TypingBuffer::reserveWithoutLeaving(std::size_t size) {
    if (size <= buffer_.capacity()) {
        return;
    }
    // Grown by hand: a reallocation inside std::string would free the old block unwiped.
    std::string grown = reservedString(std::max(size, 2 * buffer_.capacity()));
    grown.assign(buffer_);
    wipe(buffer_);
    buffer_.swap(grown);
}

void TypingBuffer::clear() {
    wipe(buffer_);
    // A buffer once stretched by an unusually long character gives the memory back, wiped.
    if (buffer_.capacity() > initialCapacity) {
        std::string fresh = reservedString(initialCapacity);
        buffer_.swap(fresh);
    }
    boundaries_.assign(1, 0);
    origin_ = 0;
}

void TypingBuffer::removeLast() {
    if (length() == 0) {
        return;
    }
    const std::size_t start = characterStart(length() - 1);
    overwrite(buffer_.data() + start, buffer_.size() - start);
    buffer_.resize(start);
    boundaries_.pop_back();
}

} // namespace quillo::engine
