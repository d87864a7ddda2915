#include "model/SnippetSearch.h"

#include "unicode/UnicodeText.h"

#include <array>
#include <numeric>

namespace quillo::model {

SnippetSearch::SnippetSearch(std::string_view text) {
    unicode::foldCase(text, folded_);
}

SnippetSearch::Fit SnippetSearch::fit(const Snippet& snippet) const {
    unicode::foldCase(snippet.shortcut, scratch_);
    if (const std::size_t at = scratch_.find(folded_); at != std::string::npos) {
        return at == 0 ? Fit::shortcutStarts : Fit::shortcutContains;
    }
    unicode::foldCase(snippet.replacement, scratch_);
    return scratch_.find(folded_) != std::string::npos ? Fit::replacementContains : Fit::none;
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

std::vector<std::size_t> SnippetSearch::ranked(const std::vector<Snippet>& snippets) const {
    std::array<std::vector<std::size_t>, 3> groups;
    for (std::size_t i = 0; i < snippets.size(); ++i) {
        if (!snippets[i].isEnabled) {
            continue;
        }
        // The empty text starts every shortcut, which keeps store order.
        if (const Fit f = folded_.empty() ? Fit::shortcutStarts : fit(snippets[i]);
            f != Fit::none) {
            groups[static_cast<std::size_t>(f)].push_back(i);
        }
    }
    std::vector<std::size_t> positions = std::move(groups[0]);
    positions.insert(positions.end(), groups[1].begin(), groups[1].end());
    positions.insert(positions.end(), groups[2].begin(), groups[2].end());
    return positions;
}

} // namespace quillo::model
