#include "engine/ShortcutIndex.h"

#include "unicode/UnicodeText.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace quillo::engine {

namespace {

using Mode = model::Snippet::TriggerMode;

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// FNV-1a over the bytes taken from the last to the first: the hashes of all the endings of a
// typed text then come from one walk back over it, each extending the one before.
constexpr std::uint64_t hashStart = 0xcbf29ce484222325u;

std::uint64_t extendBackwards(std::uint64_t hash, std::string_view bytes) {
    for (std::size_t i = bytes.size(); i-- > 0;) {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 0x100000001b3u;
    }
    return hash;
}

// FNV leaves its low bits, which pick the slot, poorly mixed.
std::uint64_t finish(std::uint64_t hash) {
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdu;
    hash ^= hash >> 33;
    return hash;
}

std::uint64_t hashOf(std::string_view text) {
    return finish(extendBackwards(hashStart, text));
}

constexpr std::uint64_t entryMask = 0xFFFFFFFFu;

std::uint64_t tagOf(std::uint64_t hash) {
    return hash & ~entryMask;
}

void addLength(std::vector<std::uint32_t>& lengths, std::uint32_t length) {
    if (std::find(lengths.begin(), lengths.end(), length) == lengths.end()) {
        lengths.push_back(length);
    }
}

} // namespace

TextTail::TextTail(const TypingBuffer& typed, std::size_t dropLast) : typed_(typed) {
    if (typed.length() > dropLast) {
        length_ = typed.length() - dropLast;
        end_ = typed.characterStart(length_);
    }
}

ShortcutIndex::ShortcutIndex(const std::vector<model::Snippet>& snippets) {
    const auto count = std::min(snippets.size(), static_cast<std::size_t>(none - 1));
    std::size_t candidates = 0;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (snippets[i].isEnabled && !snippets[i].shortcut.empty()) {
            ++candidates;
            bytes += snippets[i].shortcut.size();
        }
    }
    // At most half full, so that a probe for a text that is no shortcut ends within a slot or
    // two.
    slots_.assign(std::bit_ceil(std::max<std::size_t>(16, 2 * candidates)), 0);
    entries_.reserve(candidates);
    text_.reserve(bytes);

    std::string normalised;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& snippet = snippets[i];
        if (!snippet.isEnabled) {
            continue;
        }
        const auto index = static_cast<SnippetIndex>(i);
        if (snippet.triggerMode == Mode::hotkey) {
            const auto& keyCode = snippet.hotkeyKeyCode;
            // A key code that no key has (only an edited file can hold one) never matches.
            if (keyCode && snippet.hotkeyModifiers && *keyCode >= 0 && *keyCode <= 0xFFFF) {
                const platform::Hotkey hotkey{static_cast<platform::KeyCode>(*keyCode),
                                              *snippet.hotkeyModifiers};
                auto& withIt = hotkeys_[hotkey];
                if (withIt.empty()) {
                    combinations_.push_back(hotkey);
                }
                withIt.push_back(index);
            }
        }
        // The empty text ends every text: it would fire at every key and erase typing.
        if (snippet.shortcut.empty()) {
            continue;
        }
        std::string_view canonical = snippet.shortcut;
        if (!isAscii(canonical)) {
            normalised = unicode::nfc(canonical);
            canonical = normalised;
        }
        const std::size_t length = unicode::graphemeCount(canonical);
        // The typing buffer never holds more: a longer shortcut can never have been typed.
        if (length > TypingBuffer::maxLength) {
            continue;
        }
        Entry& entry = findOrAdd(canonical, hashOf(canonical));
        if (entry.firstOfAnyMode == none) {
            entry.firstOfAnyMode = index;
        }
        const auto characters = static_cast<std::uint32_t>(length);
        if (snippet.triggerMode == Mode::afterDelimiter && entry.firstAfterDelimiter == none) {
            entry.firstAfterDelimiter = index;
            addLength(afterDelimiterLengths_, characters);
        } else if (snippet.triggerMode == Mode::instant && entry.firstInstant == none) {
            entry.firstInstant = index;
            addLength(instantLengths_, characters);
        }
    }
    std::sort(afterDelimiterLengths_.begin(), afterDelimiterLengths_.end());
    std::sort(instantLengths_.begin(), instantLengths_.end());
}

std::uint32_t ShortcutIndex::find(std::string_view canonical, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const std::uint64_t slot = slots_[at];
        if (slot == 0) {
            return none;
        }
        if (tagOf(slot) == tagOf(hash)) {
            const auto entry = static_cast<std::uint32_t>((slot & entryMask) - 1);
            const Entry& e = entries_[entry];
            if (std::string_view(text_).substr(e.textOffset, e.textSize) == canonical) {
                return entry;
            }
        }
    }
}

ShortcutIndex::Entry& ShortcutIndex::findOrAdd(std::string_view canonical, std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    for (;; at = (at + 1) & mask) {
        const std::uint64_t slot = slots_[at];
        if (slot == 0) {
            break;
        }
        if (tagOf(slot) == tagOf(hash)) {
            Entry& e = entries_[(slot & entryMask) - 1];
            if (std::string_view(text_).substr(e.textOffset, e.textSize) == canonical) {
                return e;
            }
        }
    }
    slots_[at] = tagOf(hash) | (entries_.size() + 1);
    entries_.push_back(
        {static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(canonical.size())});
    text_.append(canonical);
    return entries_.back();
}

std::optional<ShortcutIndex::Match> ShortcutIndex::match(Mode mode, const TextTail& tail) const {
    const auto& lengths = mode == Mode::instant ? instantLengths_ : afterDelimiterLengths_;
    if (lengths.empty() || lengths.front() > tail.length()) {
        return std::nullopt;
    }
    // Every ending of a text in canonical form is in canonical form too (an ending starts at a
    // character boundary, so no composition is cut in two), so a canonical tail is looked up as
    // it stands, and its endings hashed in one walk back.
    const std::string_view whole = tail.last(std::min<std::size_t>(lengths.back(), tail.length()));
    const bool asTyped = isAscii(whole) || unicode::isNfc(whole);
    std::uint64_t hash = hashStart;
    std::size_t hashedBytes = 0;

    const Entry* best = nullptr;
    SnippetIndex bestFirst = none;
    std::size_t bestLength = 0;
    for (const std::uint32_t length : lengths) {
        if (length > tail.length()) {
            break;
        }
        const std::string_view ending = tail.last(length);
        std::uint32_t found = none;
        if (asTyped) {
            hash = extendBackwards(hash, ending.substr(0, ending.size() - hashedBytes));
            hashedBytes = ending.size();
            found = find(ending, finish(hash));
        } else {
            const std::string canonical = unicode::nfc(ending);
            found = find(canonical, hashOf(canonical));
        }
        if (found == none) {
            continue;
        }
        const Entry& entry = entries_[found];
        const SnippetIndex first =
            mode == Mode::instant ? entry.firstInstant : entry.firstAfterDelimiter;
        // The first in store order wins, not the longest.
        if (first < bestFirst) {
            best = &entry;
            bestFirst = first;
            bestLength = length;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return Match{best->firstOfAnyMode, bestLength};
}

std::span<const ShortcutIndex::SnippetIndex>
ShortcutIndex::hotkeys(platform::KeyCode keyCode, platform::EventFlags modifiers) const {
    const auto found = hotkeys_.find({keyCode, modifiers});
    if (found == hotkeys_.end()) {
        return {};
    }
    return found->second;
}

} // namespace quillo::engine
