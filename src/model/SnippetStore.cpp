#include "model/SnippetStore.h"

#include <iostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>

namespace quillo::model {

namespace {

std::string_view asText(const platform::Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

} // namespace

SnippetStore::SnippetStore(platform::Files& files) : files_(files) {
    if (auto folder = files_.dataFolder()) {
        // A folder that cannot be made shows up as a failure to write the file, said then.
        files_.createFolder(*folder);
        snippetsFile_ = *folder / fileName;
    }
    load();
}

std::vector<Snippet> SnippetStore::defaultSnippets() {
    Snippet omw = Snippet::make();
    omw.shortcut = "omw";
    omw.replacement = "On my way";

    Snippet link = Snippet::make();
    link.shortcut = "link";
    link.replacement = "<a href='{clipboard}'>{cursor}</a>";

    Snippet hotkey = Snippet::make();
    hotkey.replacement = "On my way!";
    hotkey.triggerMode = Snippet::TriggerMode::hotkey;
    hotkey.hotkeyKeyCode = platform::key::m;
    hotkey.hotkeyModifiers = platform::flag::control | platform::flag::option;

    return {omw, link, hotkey};
}

void SnippetStore::load() {
    if (!snippetsFile_) {
        std::cout << "Failed to load snippets: there is no folder for the program's data"
                  << std::endl;
        return;
    }
    if (!files_.exists(*snippetsFile_)) {
        setSnippets(defaultSnippets());
        save();
        return;
    }
    catchUp(Look::anew);
}

void SnippetStore::setSnippets(std::vector<Snippet> snippets) {
    if (snippets == snippets_) {
        return;
    }
    // What differs from the list before is what was changed here.
    std::unordered_map<Uuid, const Snippet*> before;
    for (const Snippet& snippet : snippets_) {
        before.try_emplace(snippet.id, &snippet);
    }
    std::unordered_set<Uuid> kept;
    for (const Snippet& snippet : snippets) {
        kept.insert(snippet.id);
        const auto found = before.find(snippet.id);
        if (found == before.end() || !(*found->second == snippet)) {
            put(snippet.id);
        }
    }
    for (const auto& [id, snippet] : before) {
        if (!kept.contains(id)) {
            changes_.put.erase(id);
            changes_.removed.insert(id);
        }
    }
    snippets_ = std::move(snippets);
    changed();
}

void SnippetStore::put(const Uuid& id) {
    changes_.removed.erase(id);
    changes_.put.insert(id);
}

void SnippetStore::adopt(std::vector<Snippet> snippets) {
    if (snippets != snippets_) {
        snippets_ = std::move(snippets);
        changed();
    }
}

void SnippetStore::changed() {
    ++revision_;
    notify();
}

void SnippetStore::setStatus(FileProblem problem, std::string reason) {
    FileStatus status{problem, std::move(reason),
                      problem == FileProblem::unreadable && !changes_.empty()};
    if (status != status_) {
        status_ = std::move(status);
        notify();
    }
}

bool SnippetStore::catchUp(Look look) {
    const auto identity = files_.identify(*snippetsFile_);
    if (!identity) {
        if (known_ || status_.problem == FileProblem::unreadable) {
            known_.reset();
            setStatus(FileProblem::deleted);
        }
        return true;
    }
    const bool mayWrite = status_.problem != FileProblem::unreadable;
    if (look == Look::atIdentity && known_ && known_->identity == *identity) {
        return mayWrite;
    }
    auto bytes = files_.read(*snippetsFile_, maxFileBytes);
    const auto version =
        bytes ? FileVersion::of(*identity, *bytes.value) : FileVersion{*identity, 0};
    if (look != Look::anew && version == known_) {
        return mayWrite;
    }
    known_ = version;
    std::variant<std::vector<Snippet>, DecodeError> decoded =
        bytes ? decodeSnippets(asText(*bytes.value))
              : DecodeError{.description = bytes.error.description, .unreadable = true};
    if (const auto* error = std::get_if<DecodeError>(&decoded)) {
        std::cout << "Failed to load snippets: " << error->description << std::endl;
        setStatus(FileProblem::unreadable, error->description);
        return false;
    }
    auto theirs = std::get<std::vector<Snippet>>(std::move(decoded));
    if (look == Look::anew) {
        changes_ = {};
    }
    adopt(changes_.empty() ? std::move(theirs) : withChangesOn(std::move(theirs)));
    setStatus(FileProblem::none);
    return true;
}

std::vector<Snippet> SnippetStore::withChangesOn(std::vector<Snippet> theirs) const {
    std::erase_if(theirs, [this](const Snippet& s) { return changes_.removed.contains(s.id); });
    std::unordered_map<Uuid, std::size_t> place;
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        place.try_emplace(theirs[i].id, i);
    }
    // A snippet that the file lacks goes in after the one before it here that the file has:
    // where the user sees it now.
    std::vector<const Snippet*> first;
    std::unordered_map<Uuid, std::vector<const Snippet*>> after;
    const Uuid* before = nullptr;
    for (const Snippet& snippet : snippets_) {
        const bool ours = changes_.put.contains(snippet.id);
        if (const auto found = place.find(snippet.id); found != place.end()) {
            if (ours) {
                theirs[found->second] = snippet;
            }
            before = &snippet.id;
        } else if (ours) {
            (before ? after[*before] : first).push_back(&snippet);
        }
    }
    std::vector<Snippet> merged;
    merged.reserve(theirs.size() + first.size() + changes_.put.size());
    for (const Snippet* snippet : first) {
        merged.push_back(*snippet);
    }
    for (Snippet& snippet : theirs) {
        const Uuid id = snippet.id;
        merged.push_back(std::move(snippet));
        if (const auto found = after.find(id); found != after.end()) {
            for (const Snippet* next : found->second) {
                merged.push_back(*next);
            }
            after.erase(found);
        }
    }
    return merged;
}

bool SnippetStore::keepUnreadableFile() {
    const auto folder = snippetsFile_->parent_path();
    for (int n = 1; n < 10000; ++n) {
        const auto kept = folder / ("snippets.unreadable-" + std::to_string(n) + ".json");
        if (files_.exists(kept)) {
            continue;
        }
        if (auto error = files_.move(*snippetsFile_, kept)) {
            std::cout << "Failed to save snippets: the unreadable snippets file could not be "
                         "kept aside: "
                      << error->description << std::endl;
            return false;
        }
        std::cout << "Kept the unreadable snippets file as " << kept.string() << std::endl;
        return true;
    }
    std::cout << "Failed to save snippets: too many unreadable snippets files are kept in "
              << folder.string() << std::endl;
    return false;
}

void SnippetStore::save() {
    if (!snippetsFile_) {
        std::cout << "Failed to save snippets: there is no folder for the program's data"
                  << std::endl;
        return;
    }
    if (catchUp(Look::atIdentity)) {
        writeList();
    } else {
        setStatus(status_.problem, status_.reason);
    }
}

void SnippetStore::writeList() {
    const auto bytes = encodeSnippetsAsBytes(snippets_);
    if (auto error = files_.writeAtomically(*snippetsFile_, bytes)) {
        std::cout << "Failed to save snippets: " << error->description << std::endl;
        return;
    }
    // What was just written is no change by another program when the watch tells of it.
    const auto identity = files_.identify(*snippetsFile_);
    known_ = identity ? std::optional(FileVersion::of(*identity, bytes)) : std::nullopt;
    changes_ = {};
    setStatus(status_.problem == FileProblem::deleted ? FileProblem::writtenAgain
                                                      : FileProblem::none);
}

void SnippetStore::writeListOverFile() {
    if (!snippetsFile_) {
        return;
    }
    if (status_.problem == FileProblem::unreadable && files_.exists(*snippetsFile_) &&
        !keepUnreadableFile()) {
        return;
    }
    writeList();
}

void SnippetStore::reloadFile() {
    if (snippetsFile_) {
        catchUp(Look::anew);
        setStatus(status_.problem, status_.reason);
    }
}

void SnippetStore::watchFile(platform::FileWatcher& watcher, platform::Time& time) {
    if (!snippetsFile_) {
        return;
    }
    time_ = &time;
    auto watch = watcher.watch(*snippetsFile_, [this] {
        // Each change starts the wait again: a file written in steps is read once, whole.
        settling_ = time_->startRepeating(settlingTime, [this] {
            settling_.reset();
            fileChangedOutside();
        });
    });
    if (!watch) {
        std::cout << "Changes to the snippets file by other programs are taken in at the next "
                     "save only: "
                  << watch.error.description << std::endl;
        return;
    }
    watch_ = std::move(*watch.value);
}

void SnippetStore::fileChangedOutside() {
    // Changes held back while the file did not read go in as soon as it reads.
    if (catchUp(Look::atContents) && !changes_.empty()) {
        writeList();
    }
}

void SnippetStore::add(Snippet snippet) {
    put(snippet.id);
    snippets_.push_back(std::move(snippet));
    changed();
    save();
}

void SnippetStore::update(const Snippet& snippet) {
    for (auto& existing : snippets_) {
        if (existing.id == snippet.id) {
            existing = snippet;
            put(snippet.id);
            changed();
            save();
            return;
        }
    }
}

std::optional<DecodeError> SnippetStore::importSnippets(std::string_view document) {
    auto decoded = decodeSnippets(document);
    if (auto* error = std::get_if<DecodeError>(&decoded)) {
        return *error;
    }
    std::unordered_set<Uuid> taken;
    for (const auto& snippet : snippets_) {
        taken.insert(snippet.id);
    }
    for (auto& snippet : std::get<std::vector<Snippet>>(decoded)) {
        // Two snippets with one id would make selecting, editing or deleting one act on the
        // other.
        while (!taken.insert(snippet.id).second) {
            snippet.id = Uuid::random();
        }
        put(snippet.id);
        snippets_.push_back(std::move(snippet));
    }
    changed();
    save();
    return std::nullopt;
}

std::optional<DecodeError> SnippetStore::importSnippetsFromFile(const std::filesystem::path& file) {
    auto bytes = files_.read(file, maxFileBytes);
    if (!bytes) {
        return DecodeError{.description = bytes.error.description, .unreadable = true};
    }
    return importSnippets(asText(*bytes.value));
}

} // namespace quillo::model
