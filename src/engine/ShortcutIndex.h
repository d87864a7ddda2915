// The enabled snippets arranged for the key path: shortcuts by their canonical form, hotkeys by
// their combination. Built when the snippet list changes, so that a key-down costs the same with
// a hundred snippets as with a hundred thousand: a typed text is looked up once for each
// distinct shortcut length, and never compared with the list.
#pragma once

#include "engine/TypingBuffer.h"
#include "model/Snippet.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillo::engine {

// The typed text without its last `dropLast` characters (the delimiter just typed), read from
// the end, character by character, with the typing buffer's own character boundaries.
class TextTail {
  public:
    TextTail(const TypingBuffer& typed, std::size_t dropLast);
    // In characters.
    std::size_t length() const { return length_; }
    // The last k characters (k <= length()).
    std::string_view last(std::size_t k) const {
        const std::size_t start = typed_.characterStart(length_ - k);
        return std::string_view(typed_.buffer()).substr(start, end_ - start);
    }

  private:
    const TypingBuffer& typed_;
    std::size_t length_ = 0;
    std::size_t end_ = 0;
};

class ShortcutIndex {
  public:
    using SnippetIndex = std::uint32_t;

    struct Match {
        // Position in the store's list of the snippet to expand.
        SnippetIndex snippet;
        // Length in characters of the matched shortcut.
        std::size_t length;
    };

    ShortcutIndex() = default;
    explicit ShortcutIndex(const std::vector<model::Snippet>& snippets);

    // The first enabled snippet of `mode` (after-delimiter or instant), in store order, whose
    // shortcut the tail ends with; then, as the snippet to expand, the first enabled snippet of
    // any mode with that shortcut. Empty shortcuts never match by typing, and neither do those
    // longer than the typing buffer.
    std::optional<Match> match(model::Snippet::TriggerMode mode, const TextTail& tail) const;

    // The enabled hotkey snippets with exactly this key and these modifiers, in store order.
    std::span<const SnippetIndex> hotkeys(platform::KeyCode keyCode,
                                          platform::EventFlags modifiers) const;
    // Every combination that hotkeys() answers for, each once, in store order.
    const std::vector<platform::Hotkey>& hotkeyCombinations() const { return combinations_; }

  private:
    static constexpr SnippetIndex none = UINT32_MAX;

    // One canonical shortcut and the snippets the rules pick for it.
    struct Entry {
        std::uint32_t textOffset; // in text_
        std::uint32_t textSize;
        SnippetIndex firstAfterDelimiter = none;
        SnippetIndex firstInstant = none;
        SnippetIndex firstOfAnyMode = none;
    };

    // Open addressing over the entries. A slot holds the entry's number plus one in its low half
    // (zero: empty) and the upper bits of the key's hash in its high half, so that a text that
    // is no shortcut, by far the most common lookup, is turned away by the slot alone.
    std::uint32_t find(std::string_view canonical, std::uint64_t hash) const;
    Entry& findOrAdd(std::string_view canonical, std::uint64_t hash);

    std::vector<std::uint64_t> slots_;
    std::vector<Entry> entries_;
    std::string text_; // every canonical shortcut, back to back
    // The distinct lengths in characters of each mode's shortcuts, ascending.
    std::vector<std::uint32_t> afterDelimiterLengths_;
    std::vector<std::uint32_t> instantLengths_;

    struct HotkeyHash {
        std::size_t operator()(const platform::Hotkey& hotkey) const noexcept {
            return std::hash<std::uint64_t>{}(hotkey.modifiers * 65599u + hotkey.keyCode);
        }
    };
    std::unordered_map<platform::Hotkey, std::vector<SnippetIndex>, HotkeyHash> hotkeys_;
    std::vector<platform::Hotkey> combinations_;
};

} // namespace quillo::engine
