// The user's list of snippets, in the user's order, kept in one JSON file that is rewritten
// whole after every change. The first run installs three example snippets.
//
// Other programs write the file too: an editor, a sync tool, `git pull`. Before each save the
// store looks whether the file is still the version it last read or wrote; when another program
// changed it meanwhile, the store loads that first and makes its own changes again on top, by
// snippet id: a snippet changed or added here replaces the file's (or goes in after the snippet
// before it), one deleted here goes, and all else is as the file has it. With watchFile() the
// store also follows the file as it changes: what reads well is loaded, and observers hear of it
// as of any change.
//
// A file that does not read (half-written, a syntax error) is never written over unasked: the
// store goes on with the list it has, and changes made meanwhile stay unsaved until the file reads
// again, which brings them in, or until the user chooses reloadFile() or writeListOverFile(). A
// file deleted by another program is written again at the next change. fileStatus() says which
// of these holds; observers hear of its changes too.
#pragma once

#include "model/FileVersion.h"
#include "model/Observable.h"
#include "model/Snippet.h"
#include "model/SnippetDocument.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace quillo::model {

class SnippetStore : public Observable {
  public:
    enum class FileProblem {
        none,
        // The file does not read; it is left as it is.
        unreadable,
        // Another program deleted the file; the next change writes it again.
        deleted,
        // The last save wrote again the file that another program had deleted.
        writtenAgain,
    };
    struct FileStatus {
        FileProblem problem = FileProblem::none;
        // Why the file does not read.
        std::string reason;
        // Changes made here are held back because the file does not read.
        bool unsaved = false;
        bool operator==(const FileStatus&) const = default;
    };

    // Changes of the file that come within this time of each other are read as one: editors
    // write in steps, and a half-written file is no reason to complain.
    static constexpr std::chrono::milliseconds settlingTime{100};

    // Loads the snippets file, or installs and writes the defaults when there is none.
    explicit SnippetStore(platform::Files& files);

    const std::vector<Snippet>& snippets() const { return snippets_; }
    // Replaces the list; observers hear of it only when it differs from the current one. The
    // caller saves.
    void setSnippets(std::vector<Snippet> snippets);

    // Writes the whole list, after taking in what another program wrote meanwhile; a failure is
    // printed and the list in memory is kept.
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

    // Follows the changes that other programs make to the file, from now until the store goes.
    void watchFile(platform::FileWatcher& watcher, platform::Time& time);
    const FileStatus& fileStatus() const { return status_; }
    // Reads the file again and, when it reads, takes its list and gives up the changes held back.
    void reloadFile();
    // Writes the list over a file that does not read, which is kept aside first, once, as
    // "snippets.unreadable-N.json".
    void writeListOverFile();

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
    // The changes made here since the file last had the whole list, by id, so that they can be
    // made again on a list that another program wrote meanwhile.
    struct Changes {
        std::unordered_set<Uuid> put;
        std::unordered_set<Uuid> removed;
        bool empty() const { return put.empty() && removed.empty(); }
    };

    // How closely catchUp() looks at the file. Before a save its identity is enough: that
    // misses only a rewrite of the same length within a tick of the file times after the store's
    // own, which the watch tells of, and after the watch's call the contents are compared too.
    // Anew, the file is read even when unchanged, and the changes held back are given up when it
    // reads.
    enum class Look { atIdentity, atContents, anew };

    void load();
    void changed();
    void put(const Uuid& id);
    // Takes in what another program did to the file since the store last read or wrote it;
    // false while the file does not read.
    bool catchUp(Look look);
    // The file's list with the changes made here on top.
    std::vector<Snippet> withChangesOn(std::vector<Snippet> theirs) const;
    // Sets the list without counting it as a change made here.
    void adopt(std::vector<Snippet> snippets);
    void writeList();
    void fileChangedOutside();
    void setStatus(FileProblem problem, std::string reason = {});
    // Moves a file that does not read out of the way before it is overwritten.
    bool keepUnreadableFile();

    platform::Files& files_;
    std::optional<std::filesystem::path> snippetsFile_;
    std::vector<Snippet> snippets_;
    std::uint64_t revision_ = 0;
    // The file as the store last read or wrote it; none while there is none.
    std::optional<FileVersion> known_;
    Changes changes_;
    FileStatus status_;
    platform::Time* time_ = nullptr;
    // Last, so that they go first: their callbacks use everything above.
    std::unique_ptr<platform::FileWatcher::Watch> watch_;
    std::unique_ptr<platform::Timer> settling_;
};

} // namespace quillo::model
