#include "model/SnippetStore.h"

#include <iostream>
#include <string>
#include <unordered_set>
#include <utility>

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
        loadFailed_ = true;
        return;
    }
    if (!files_.exists(*snippetsFile_)) {
        setSnippets(defaultSnippets());
        save();
        return;
    }
    auto bytes = files_.read(*snippetsFile_, maxFileBytes);
    if (!bytes) {
        std::cout << "Failed to load snippets: " << bytes.error.description << std::endl;
        loadFailed_ = true;
        return;
    }
    auto decoded = decodeSnippets(asText(*bytes.value));
    if (auto* error = std::get_if<DecodeError>(&decoded)) {
        std::cout << "Failed to load snippets: " << error->description << std::endl;
        loadFailed_ = true;
        return;
    }
    setSnippets(std::get<std::vector<Snippet>>(std::move(decoded)));
}

void SnippetStore::setSnippets(std::vector<Snippet> snippets) {
    if (snippets == snippets_) {
        return;
    }
    snippets_ = std::move(snippets);
    changed();
}

void SnippetStore::changed() {
    ++revision_;
    notify();
}

bool SnippetStore::keepUnreadableFile() {
    if (!loadFailed_ || !snippetsFile_) {
        return true;
    }
    if (!files_.exists(*snippetsFile_)) {
        loadFailed_ = false;
        return true;
    }
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
        loadFailed_ = false;
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
    // Never write over a file that could not be read: it may hold the user's only copy.
    if (!keepUnreadableFile()) {
        return;
    }
    if (auto error = files_.writeAtomically(*snippetsFile_, encodeSnippetsAsBytes(snippets_))) {
        std::cout << "Failed to save snippets: " << error->description << std::endl;
    }
}

void SnippetStore::add(Snippet snippet) {
    snippets_.push_back(std::move(snippet));
    changed();
    save();
}

void SnippetStore::update(const Snippet& snippet) {
    for (auto& existing : snippets_) {
        if (existing.id == snippet.id) {
            existing = snippet;
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
