// The user's list of snippets, in the user's order, kept in one JSON file that is rewritten
// whole after every change. The first run installs three example snippets.
#pragma once

#include "model/Observable.h"
#include "model/Snippet.h"
#include "model/SnippetDocument.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace quillo::model {

class SnippetStore : public Observable {
  public:
    // Loads the snippets file, or installs and writes the defaults when there is none.
    explicit SnippetStore(platform::Files& files);

    const std::vector<Snippet>& snippets() const { return snippets_; }
    // Replaces the list; observers hear of it only when it differs from the current one. The
    // caller saves.
    void setSnippets(std::vector<Snippet> snippets);

    // Writes the whole list; a failure is printed and the list in memory is kept.
    void save();
    // Appends the snippet and saves.
    void add(Snippet snippet);
    // Replaces the first snippet with the same id in place and saves; nothing without one.
    void update(const Snippet& snippet);
    // Appends every snippet of a snippet document, in order, and saves; a snippet whose id is
    // already taken gets a fresh one. A document that does not decode changes nothing.
    std::optional<DecodeError> importSnippets(std::string_view document);
    // The same for the snippet document in a file; one that cannot be read changes nothing
    // either, and the reason says why.
    std::optional<DecodeError> importSnippetsFromFile(const std::filesystem::path& file);

    // The first-run list: "omw", "link" and the Ctrl+Alt+M hotkey.
    static std::vector<Snippet> defaultSnippets();

    // The most a snippets file or an import may hold. A hundred thousand snippets of a sentence
    // or a paragraph each take 28 MB; the limit leaves room for more than twice that, and keeps
    // a wrong file chosen by mistake (a video, a disk image) from being read into memory whole.
    static constexpr std::size_t maxFileBytes = 64 * 1024 * 1024;

    // The snippets file's name in the data folder.
    static constexpr std::string_view fileName = "snippets.json";
    // None when the platform offers no place for data.
    const std::optional<std::filesystem::path>& snippetsFile() const { return snippetsFile_; }

    // Goes up with every change of the list that observers heard of.
    std::uint64_t revision() const { return revision_; }

  private:
    void load();
    void changed();
    // Moves a file that failed to load out of the way, once, before it would be overwritten.
    bool keepUnreadableFile();

    platform::Files& files_;
    std::optional<std::filesystem::path> snippetsFile_;
    std::vector<Snippet> snippets_;
    std::uint64_t revision_ = 0;
    bool loadFailed_ = false;
};

} // namespace quillo::model
