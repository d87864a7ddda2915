// The enabled snippets arranged for the key path: shortcuts by their canonical form and length
// in characters, hotkeys by their combination. Built when the snippet list changes, so that a
// key-down costs the same with a hundred snippets as with a hundred thousand.
#pragma once

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

// The end of a typed text, cut into characters (grapheme clusters) from the back.
class TextTail {
  public:
    // `text` minus its last `dropLast` characters; only the last `maxCharacters` of what remains
    // are cut.
    TextTail(std::string_view text, std::size_t dropLast, std::size_t maxCharacters);
    // How many characters could be cut (at most maxCharacters).
    std::size_t length() const { return starts_.size(); }
    // The last k characters (k <= length()).
    std::string_view last(std::size_t k) const;

  private:
    std::string_view text_;
    // Byte offsets where the last, second-to-last, ... character start.
    std::vector<std::size_t> starts_;
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
    // any mode with that shortcut. Empty shortcuts never match by typing.
    std::optional<Match> match(model::Snippet::TriggerMode mode, const TextTail& tail) const;

    // The enabled hotkey snippets with exactly this key and these modifiers, in store order.
    std::span<const SnippetIndex> hotkeys(platform::KeyCode keyCode,
                                          platform::EventFlags modifiers) const;

    // The longest shortcut of any typing mode, in characters.
    std::size_t longestShortcut() const { return longest_; }

  private:
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    using ShortcutMap = std::unordered_map<std::string, SnippetIndex, StringHash, std::equal_to<>>;

    struct ModeIndex {
        ShortcutMap first;                // canonical shortcut -> first snippet of the mode
        std::vector<std::size_t> lengths; // the distinct shortcut lengths, ascending
    };

    struct Hotkey {
        platform::KeyCode keyCode;
        platform::EventFlags modifiers;
        bool operator==(const Hotkey&) const = default;
    };
    struct HotkeyHash {
        std::size_t operator()(const Hotkey& hotkey) const noexcept {
            return std::hash<std::uint64_t>{}(hotkey.modifiers * 65599u + hotkey.keyCode);
        }
    };

    ModeIndex afterDelimiter_;
    ModeIndex instant_;
    ShortcutMap firstOfAnyMode_;
    std::unordered_map<Hotkey, std::vector<SnippetIndex>, HotkeyHash> hotkeys_;
    std::size_t longest_ = 0;
};

} // namespace quillo::engine
