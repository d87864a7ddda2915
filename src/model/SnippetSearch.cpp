#include "model/SnippetSearch.h"

#include "unicode/UnicodeText.h"

#include <array>
#include <numeric>

namespace quillo::model {

namespace {

SnippetSearch::Fit fitOf(std::string_view shortcut, std::string_view replacement,
                         std::string_view text) {
    using Fit = SnippetSearch::Fit;
    if (const std::size_t at = shortcut.find(text); at != std::string_view::npos) {
        return at == 0 ? Fit::shortcutStarts : Fit::shortcutContains;
    }
    return replacement.find(text) != std::string_view::npos ? Fit::replacementContains : Fit::none;
}

} // namespace

SnippetSearch::SnippetSearch(std::string_view text) {
    unicode::foldCase(text, folded_);
}

SnippetSearch::Fit SnippetSearch::fit(const Snippet& snippet) const {
    // The replacement is folded only when the shortcut does not have the text.
    unicode::foldCase(snippet.shortcut, scratch_);
    if (const Fit byShortcut = fitOf(scratch_, {}, folded_); byShortcut != Fit::none) {
        return byShortcut;
    }
    unicode::foldCase(snippet.replacement, scratch_);
    return fitOf({}, scratch_, folded_);
}

std::vector<std::size_t> SnippetSearch::found(const std::vector<Snippet>& snippets) const {
    std::vector<std::size_t> positions;
    if (folded_.empty()) {
        positions.resize(snippets.size());
        std::iota(positions.begin(), positions.end(), std::size_t{0});
        return positions;
    }
    for (std::size_t i = 0; i < snippets.size(); ++i) {
        if (fit(snippets[i]) != Fit::none) {
            positions.push_back(i);
        }
    }
    return positions;
}

RankedSnippetSearch::RankedSnippetSearch(const std::vector<Snippet>& snippets) {
    std::string scratch;
    for (std::size_t i = 0; i < snippets.size(); ++i) {
        if (!snippets[i].isEnabled) {
            continue;
        }
        Entry entry{i, 0, 0};
        unicode::foldCase(snippets[i].shortcut, scratch);
        entry.shortcutSize = scratch.size();
        folded_ += scratch;
        unicode::foldCase(snippets[i].replacement, scratch);
        entry.replacementSize = scratch.size();
        folded_ += scratch;
        entries_.push_back(entry);
    }
}

std::vector<std::size_t> RankedSnippetSearch::ranked(std::string_view text) const {
    std::string foldedText;
    unicode::foldCase(text, foldedText);
    std::array<std::vector<std::size_t>, 3> groups;
    const std::string_view all = folded_;
    std::size_t at = 0;
    for (const Entry& entry : entries_) {
        const auto fit =
            fitOf(all.substr(at, entry.shortcutSize),
                  all.substr(at + entry.shortcutSize, entry.replacementSize), foldedText);
        at += entry.shortcutSize + entry.replacementSize;
        if (fit != SnippetSearch::Fit::none) {
            groups[static_cast<std::size_t>(fit)].push_back(entry.position);
        }
    }
    std::vector<std::size_t> positions = std::move(groups[0]);
    positions.insert(positions.end(), groups[1].begin(), groups[1].end());
    positions.insert(positions.end(), groups[2].begin(), groups[2].end());
    return positions;
}

} // namespace quillo::model
