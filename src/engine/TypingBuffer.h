// The most recent characters the user typed, as the expansion engine has seen them. The
// engine's shortcut tests are suffix tests against this text, so only the recent end of the
// typing is kept. A character is a grapheme cluster: an accent typed after its letter joins
// that letter, and Backspace takes both away together.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::engine {

class TypingBuffer {
  public:
    // Longer than any shortcut a person types, and the bound on every suffix test.
    static constexpr std::size_t maxLength = 100;

    TypingBuffer();
    ~TypingBuffer();
    // Keystrokes are not duplicated: a copy would be one more place a password could linger.
    TypingBuffer(const TypingBuffer&) = delete;
    TypingBuffer& operator=(const TypingBuffer&) = delete;

    // UTF-8, oldest character first.
    const std::string& buffer() const { return buffer_; }
    // In characters; never more than maxLength after an append.
    std::size_t length() const { return boundaries_.size() - 1; }
    // The byte offset in buffer() where character `index` (0 is the oldest) begins;
    // characterStart(length()) is the size of buffer(). The suffix tests cut the text here
    // instead of segmenting it again at every key.
    std::size_t characterStart(std::size_t index) const { return boundaries_[index] - origin_; }

    // Adds the text character by character, dropping the oldest characters after each one so
    // that at most maxLength remain.
    void append(std::string_view text);
    void clear();
    // Removes the last character; does nothing on an empty buffer.
    void removeLast();

  private:
    void appendCharacter(std::string_view character);
    void dropOldest(std::size_t count);
    void reserveWithoutLeaving(std::size_t size);

    // Typed text may be a password typed where secure entry was not announced, so every byte
    // that leaves the buffer is overwritten, and the storage is never handed back to the
    // allocator (or moved by a reallocation) still holding keystrokes.
    std::string buffer_;
    // The character boundaries of buffer_, from its start to its end, so that each keystroke
    // segments only the last character and the new one, not the whole text. They count bytes
    // from the start of all the typing since the last clear, and origin_ is where buffer_
    // begins in that count: dropping the oldest characters then moves no boundary.
    std::vector<std::size_t> boundaries_;
    std::size_t origin_ = 0;
};

} // namespace quillo::engine
