#include "engine/ShortcutIndex.h"

#include "unicode/UnicodeText.h"

#include <algorithm>
#include <limits>
#include <set>

namespace quillo::engine {

namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Canonical form for lookups; plain ASCII is its own canonical form and is by far the most
// common case on the key path.
std::string canonical(std::string_view text) {
    return isAscii(text) ? std::string(text) : unicode::nfc(text);
}

} // namespace

TextTail::TextTail(std::string_view text, std::size_t dropLast, std::size_t maxCharacters)
    : text_(text) {
    const std::size_t wanted = maxCharacters + dropLast;
    // ASCII characters are one byte each, except a CR LF pair. The byte before the run is
    // checked too, since a non-ASCII character (a prepended mark) may join the one after it.
    const std::size_t window = std::min(text.size(), wanted + 1);
    const std::string_view end = text.substr(text.size() - window);
    std::vector<std::size_t> starts; // from the back
    if (isAscii(end) && end.find("\r\n") == std::string_view::npos) {
        for (std::size_t i = 0; i < std::min(text.size(), wanted); ++i) {
            starts.push_back(text.size() - 1 - i);
        }
    } else {
        const auto boundaries = unicode::graphemeBoundaries(text);
        // boundaries: 0, ..., text.size(); the starts of characters are all but the last.
        for (std::size_t i = boundaries.size() - 1; i-- > 0 && starts.size() < wanted;) {
            starts.push_back(boundaries[i]);
        }
    }
    if (starts.size() <= dropLast) {
        return;
    }
    // Drop the last characters: cut the text at the start of the first dropped one.
    if (dropLast > 0) {
        text_ = text.substr(0, starts[dropLast - 1]);
    }
    starts_.assign(starts.begin() + static_cast<std::ptrdiff_t>(dropLast), starts.end());
    if (starts_.size() > maxCharacters) {
        starts_.resize(maxCharacters);
    }
}

std::string_view TextTail::last(std::size_t k) const {
    return text_.substr(starts_[k - 1]);
}

ShortcutIndex::ShortcutIndex(const std::vector<model::Snippet>& snippets) {
    using Mode = model::Snippet::TriggerMode;
    std::set<std::size_t> afterDelimiterLengths;
    std::set<std::size_t> instantLengths;
    const auto count = std::min(snippets.size(),
                                static_cast<std::size_t>(std::numeric_limits<SnippetIndex>::max()));
    for (std::size_t i = 0; i < count; ++i) {
        const auto& snippet = snippets[i];
        if (!snippet.isEnabled) {
            continue;
        }
        const auto index = static_cast<SnippetIndex>(i);
        const auto& keyCode = snippet.hotkeyKeyCode;
        if (snippet.triggerMode == Mode::hotkey) {
            // A key code that no key has (only an edited file can hold one) never matches.
            if (keyCode && snippet.hotkeyModifiers && *keyCode >= 0 && *keyCode <= 0xFFFF) {
                hotkeys_[{static_cast<platform::KeyCode>(*keyCode), *snippet.hotkeyModifiers}]
                    .push_back(index);
            }
        }
        std::string shortcut = canonical(snippet.shortcut);
        if (shortcut.empty()) {
            // The empty text ends every text: it would fire at every key and erase typing.
            continue;
        }
        const std::size_t length = unicode::graphemeCount(shortcut);
        if (snippet.triggerMode == Mode::afterDelimiter) {
            afterDelimiter_.first.try_emplace(shortcut, index);
            afterDelimiterLengths.insert(length);
        } else if (snippet.triggerMode == Mode::instant) {
            instant_.first.try_emplace(shortcut, index);
            instantLengths.insert(length);
        }
        firstOfAnyMode_.try_emplace(std::move(shortcut), index);
    }
    afterDelimiter_.lengths.assign(afterDelimiterLengths.begin(), afterDelimiterLengths.end());
    instant_.lengths.assign(instantLengths.begin(), instantLengths.end());
    for (const auto* lengths : {&afterDelimiter_.lengths, &instant_.lengths}) {
        if (!lengths->empty()) {
            longest_ = std::max(longest_, lengths->back());
        }
    }
}

std::optional<ShortcutIndex::Match> ShortcutIndex::match(model::Snippet::TriggerMode mode,
                                                         const TextTail& tail) const {
    const ModeIndex& index =
        mode == model::Snippet::TriggerMode::instant ? instant_ : afterDelimiter_;
    const ShortcutMap::value_type* best = nullptr;
    std::size_t bestLength = 0;
    for (const std::size_t length : index.lengths) {
        if (length > tail.length()) {
            break;
        }
        const std::string_view suffix = tail.last(length);
        const auto found =
            isAscii(suffix) ? index.first.find(suffix) : index.first.find(unicode::nfc(suffix));
        if (found != index.first.end() && (!best || found->second < best->second)) {
            best = &*found;
            bestLength = length;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    // Every typing shortcut is in the map of all modes, which holds its first snippet.
    return Match{firstOfAnyMode_.find(best->first)->second, bestLength};
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
