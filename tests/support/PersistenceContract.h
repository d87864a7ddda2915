// What the snippet store and the settings promise on every desktop's files and preferences.
//
// A room instantiates these suites with its own Backend, a type that keeps a desktop's files,
// preferences and login item under one temporary folder:
//
//   struct Backend {
//       explicit Backend(const std::filesystem::path& root);
//       platform::Files& files();               // data folder: root / "Quillo"
//       platform::Preferences& preferences();
//       platform::LoginItem& loginItem();
//       void restart();                          // the next launch: preferences read anew
//       void plantPreference(std::string key, std::string text); // a string, before restart()
//       void removeLoginItemOutside();           // the user removes it in the desktop's settings
//       void breakLoginItem();                   // registering fails from now on
//   };
#pragma once

#include "model/AppSettings.h"
#include "model/SnippetDocument.h"
#include "model/SnippetStore.h"
#include "support/EngineFixture.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quillo::testing {

namespace persistence {

namespace fs = std::filesystem;
using model::Snippet;
using model::SnippetStore;

inline std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Throws, and so fails the test, where the text does not decode.
inline std::vector<Snippet> decoded(const std::string& text) {
    return std::get<std::vector<Snippet>>(model::decodeSnippets(text));
}

// What `run` prints.
inline std::string printedBy(const std::function<void()>& run) {
    ::testing::internal::CaptureStdout();
    run();
    return ::testing::internal::GetCapturedStdout();
}

inline Snippet instant(std::string shortcut, std::string replacement) {
    return snippet(std::move(shortcut), Snippet::TriggerMode::instant, std::move(replacement));
}

// Counts what an observable object tells its observers.
struct NotificationCounter {
    explicit NotificationCounter(model::Observable& observed)
        : subscription(observed.subscribe([this] { ++count; })) {}
    int count = 0;
    model::Observable::Subscription subscription;
};

// A snippet document written before hotkeys and macros existed.
inline const char* const documentFromBeforeMacros =
    R"([{"id":"0A1B2C3D-0000-4000-8000-000000000001","shortcut":"sig","replacement":"Best, A.",)"
    R"("isEnabled":true,"triggerMode":"After Delimiter","allowedApps":[],"blockedApps":[]}])";

// Bad files, loaded as the snippets file and imported.

// What a file or folder is, without reading it: a large one must not cost the test what the
// program is kept from spending. A replaced file is a new inode, a changed one a new change time.
inline std::string fingerprint(const fs::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return std::to_string(status.st_ino) + " " + std::to_string(status.st_size) + " " +
           std::to_string(status.st_ctim.tv_sec) + "." + std::to_string(status.st_ctim.tv_nsec);
}

struct BadFile {
    const char* name;
    std::function<void(const fs::path&)> make; // puts it at the path
    std::string reason;                        // words of the reason given
};

inline std::string goodDocumentWith(const std::string& key, const std::string& value) {
    std::string document = model::encodeSnippets({instant("sig", "Best, A.")});
    document.insert(document.size() - 2, ",\"" + key + "\":" + value);
    return document;
}

inline std::vector<BadFile> badFiles() {
    const auto text = [](std::string contents) {
        return [contents](const fs::path& path) { writeText(path, contents); };
    };
    std::string invalidUtf8 = model::encodeSnippets({instant("caf\xC3\xA9", "On my way")});
    invalidUtf8.replace(invalidUtf8.find("\xC3\xA9"), 2, "\xE9");
    return {
        {"an empty file", text(""), "unexpected end of input"},
        {"an object instead of an array", text(R"({"snippets":[]})"), "not a JSON array"},
        {"not JSON", text("omw -> On my way"), "invalid JSON at byte "},
        {"an unknown trigger mode",
         text(R"([{"id":"0A1B2C3D-0000-4000-8000-000000000001","shortcut":"a","replacement":"b",)"
              R"("isEnabled":true,"triggerMode":"Sometimes","allowedApps":[],"blockedApps":[]}])"),
         "\"triggerMode\" has the unknown value"},
        // Refused by its size before a byte is read, so what it holds does not matter.
        {"100 MB",
         [](const fs::path& path) {
             writeText(path, "");
             fs::resize_file(path, 100u << 20);
         },
         "larger than the limit of " + std::to_string(SnippetStore::maxFileBytes) + " bytes"},
        {"nesting 100,000 deep", text(std::string(100'000, '[') + std::string(100'000, ']')),
         "the document is nested too deeply"},
        {"text in Latin-1 rather than UTF-8", text(invalidUtf8), "ill-formed UTF-8"},
        // A UTF-8 byte order mark is welcome (AByteOrderMarkBeforeAGoodFileIsWelcome); UTF-16 is
        // not the format's encoding, and its mark says so at the first byte.
        {"UTF-16 with its byte order mark", text(std::string("\xFF\xFE[\0]\0", 6)),
         "invalid JSON at byte 1: "},
        {"a number beyond 64 bits",
         text(goodDocumentWith("hotkeyKeyCode", "123456789012345678901234567890")),
         "\"hotkeyKeyCode\" is beyond the 64-bit range"},
        {"a key given twice", text(goodDocumentWith("shortcut", "\"brb\"")),
         "\"shortcut\" is given twice"},
        {"a folder instead of a file",
         [](const fs::path& path) { writeText(path / "inside.json", "[]"); },
         std::strerror(EISDIR)},
    };
}

} // namespace persistence

// ---------------------------------------------------------------------------------------------
// The snippet store

template <typename Backend>
class PersistenceContract : public ::testing::Test {
  protected:
    std::filesystem::path dataFolder() const { return folder_.path() / "Quillo"; }
    std::filesystem::path snippetsFile() const { return dataFolder() / "snippets.json"; }
    std::filesystem::path keptFile(int n) const {
        return dataFolder() / ("snippets.unreadable-" + std::to_string(n) + ".json");
    }
    std::vector<model::Snippet> onDisk() const {
        return persistence::decoded(persistence::fileText(snippetsFile()));
    }
    // A new store, as the next launch makes it; what it printed goes to `printed`.
    std::unique_ptr<model::SnippetStore> launch() {
        std::unique_ptr<model::SnippetStore> store;
        printed = persistence::printedBy(
            [&] { store = std::make_unique<model::SnippetStore>(backend_.files()); });
        return store;
    }

    std::unique_ptr<model::AppSettings> launchSettings() {
        backend_.restart();
        return std::make_unique<model::AppSettings>(backend_.preferences(), backend_.loginItem());
    }

    TemporaryFolder folder_;
    Backend backend_{folder_.path()};
    std::string printed;
};

TYPED_TEST_SUITE_P(PersistenceContract);

TYPED_TEST_P(PersistenceContract, FirstRunWritesTheExamplesAndEveryRealChangeIsHeardAndSaved) {
    using namespace persistence;
    auto store = this->launch();
    EXPECT_EQ(this->printed, "");
    // The examples themselves are data; what counts is that there are three, one of each kind
    // of trigger that needs no more than a key, written out at once.
    ASSERT_EQ(store->snippets().size(), 3u);
    EXPECT_EQ(store->snippets()[0].shortcut, "omw");
    EXPECT_EQ(store->snippets()[2].triggerMode, Snippet::TriggerMode::hotkey);
    EXPECT_TRUE(store->snippets()[2].hotkeyKeyCode);
    EXPECT_EQ(this->onDisk(), store->snippets());

    NotificationCounter heard(*store);
    store->setSnippets(std::vector<Snippet>(store->snippets()));
    EXPECT_EQ(heard.count, 0);
    auto link = store->snippets()[1];
    link.shortcut = "lnk";
    store->update(link);
    store->add(instant("brb", "Be right back"));
    EXPECT_EQ(heard.count, 2);
    const auto saved = this->onDisk();
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved[1].shortcut, "lnk");
    EXPECT_EQ(saved[3].shortcut, "brb");
    EXPECT_EQ(saved, store->snippets());
    EXPECT_EQ(this->launch()->snippets(), store->snippets());

    // Neither an unknown snippet nor a file that does not decode changes anything.
    const std::string before = fileText(this->snippetsFile());
    store->update(instant("unknown", "not in the list"));
    EXPECT_TRUE(store->importSnippets("[{\"id\":1}]"));
    EXPECT_EQ(heard.count, 2);
    EXPECT_EQ(store->snippets().size(), 4u);
    EXPECT_EQ(fileText(this->snippetsFile()), before);
    EXPECT_FALSE(store->importSnippets(documentFromBeforeMacros));
    EXPECT_EQ(heard.count, 3);
}

TYPED_TEST_P(PersistenceContract, UnreadableFilesAreWrittenOverOnlyWhenAskedAndKeptAsideOnce) {
    using namespace persistence;
    writeText(this->snippetsFile(), "first broken file");
    auto store = this->launch();
    EXPECT_EQ(printedBy([&] { store->add(instant("a", "A")); }), "");
    EXPECT_EQ(fileText(this->snippetsFile()), "first broken file");
    EXPECT_EQ(printedBy([&] { store->writeListOverFile(); }),
              "Kept the unreadable snippets file as " + this->keptFile(1).string() + "\n");
    EXPECT_EQ(this->onDisk(), store->snippets());
    // Only once: later saves replace the new file as usual.
    EXPECT_EQ(printedBy([&] { store->add(instant("b", "B")); }), "");
    EXPECT_EQ(this->onDisk().size(), 2u);

    writeText(this->snippetsFile(), "second broken file");
    auto next = this->launch();
    next->add(instant("c", "C"));
    next->writeListOverFile();
    EXPECT_EQ(fileText(this->keptFile(1)), "first broken file");
    EXPECT_EQ(fileText(this->keptFile(2)), "second broken file");
    ASSERT_EQ(this->onDisk().size(), 1u);
    EXPECT_EQ(this->onDisk()[0].shortcut, "c");
}

TYPED_TEST_P(PersistenceContract, ImportingTwiceAddsEverySnippetAgainUnderFreshIds) {
    using namespace persistence;
    auto store = this->launch();
    auto x = instant("x", "X");
    auto y = snippet("y", Snippet::TriggerMode::afterDelimiter, "Y");
    auto twin = instant("twin", "an id used twice in one file");
    twin.id = y.id;
    const std::string document = model::encodeSnippets({x, y, twin});
    ASSERT_FALSE(store->importSnippets(document));
    ASSERT_FALSE(store->importSnippets(document));

    const auto& list = store->snippets();
    std::vector<std::string> shortcuts;
    std::set<model::Uuid> ids;
    for (const auto& s : list) {
        shortcuts.push_back(s.shortcut);
        ids.insert(s.id);
    }
    EXPECT_EQ(shortcuts,
              (std::vector<std::string>{"omw", "link", "", "x", "y", "twin", "x", "y", "twin"}));
    EXPECT_EQ(ids.size(), 9u);
    // The first import finds its ids free and keeps them.
    EXPECT_EQ(list[3].id, x.id);
    EXPECT_EQ(list[4].id, y.id);
    EXPECT_EQ(this->onDisk(), list);
}

TYPED_TEST_P(PersistenceContract, ASaveThatFailsSaysWhyAndKeepsTheList) {
    using namespace persistence;
    // A file where the data folder should be: the folder cannot be made, nothing can be saved.
    writeText(this->dataFolder(), "not a folder");
    auto store = this->launch();
    const std::string& said = this->printed;
    EXPECT_EQ(store->snippets().size(), 3u);
    EXPECT_TRUE(said.starts_with("Failed to save snippets: ")) << said;
    EXPECT_NE(said.find(this->snippetsFile().string()), std::string::npos) << said;

    const std::string again = printedBy([&] { store->add(instant("brb", "Be right back")); });
    EXPECT_TRUE(again.starts_with("Failed to save snippets: ")) << again;
    EXPECT_EQ(store->snippets().size(), 4u);
    EXPECT_EQ(fileText(this->dataFolder()), "not a folder");
}

// Each bad file is refused when loaded as the snippets file and when imported into the list of
// another data folder: for its reason, adding nothing and leaving every file as it was.
TYPED_TEST_P(PersistenceContract, EachIsRefusedWithItsReasonAndChangesNothing) {
    using namespace persistence;
    for (const auto& bad : badFiles()) {
        SCOPED_TRACE(bad.name);
        fs::remove_all(this->dataFolder());
        bad.make(this->snippetsFile());
        const std::string before = fingerprint(this->snippetsFile());
        auto store = this->launch();
        const std::string& said = this->printed;
        EXPECT_TRUE(store->snippets().empty());
        EXPECT_TRUE(said.starts_with("Failed to load snippets: ")) << said;
        EXPECT_NE(said.find(bad.reason), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(fingerprint(this->snippetsFile()), before);

        TemporaryFolder otherFolder;
        TypeParam other(otherFolder.path());
        ::testing::internal::CaptureStdout();
        SnippetStore importer(other.files());
        const auto list = importer.snippets();
        const fs::path ownFile = otherFolder.path() / "Quillo" / "snippets.json";
        const std::string own = fingerprint(ownFile);
        const auto error = importer.importSnippetsFromFile(this->snippetsFile());
        const std::string output = ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(error);
        EXPECT_NE(error->description.find(bad.reason), std::string::npos) << error->description;
        EXPECT_EQ(error->description.find('\n'), std::string::npos) << error->description;
        EXPECT_EQ(importer.snippets(), list);
        EXPECT_EQ(fingerprint(ownFile), own);
        EXPECT_EQ(fingerprint(this->snippetsFile()), before);
        EXPECT_EQ(output, "");
    }
}

TYPED_TEST_P(PersistenceContract, AByteOrderMarkBeforeAGoodFileIsWelcome) {
    using namespace persistence;
    // Some editors on some systems start every UTF-8 file they save with one; it says nothing
    // but "UTF-8", which the format is anyway. The file is from before macros, which it lacks.
    const std::string text = "\xEF\xBB\xBF" + std::string(documentFromBeforeMacros);
    writeText(this->snippetsFile(), text);
    auto store = this->launch();
    const std::string& said = this->printed;
    ASSERT_EQ(store->snippets().size(), 1u);
    EXPECT_EQ(store->snippets()[0].shortcut, "sig");
    EXPECT_TRUE(store->snippets()[0].macroSteps.empty());
    EXPECT_FALSE(store->snippets()[0].hotkeyKeyCode);
    EXPECT_EQ(said, "");
    EXPECT_EQ(fileText(this->snippetsFile()), text);
}

// ---------------------------------------------------------------------------------------------
// The settings

// Missing values and ones that are no boolean give the defaults; each change is heard and stored,
// but recording a hotkey is not stored.
TYPED_TEST_P(PersistenceContract, SettingsDefaultsChangesAndWhatIsStored) {
    for (const char* key : {"isExpansionEnabled", "playSoundOnExpansion", "hasCompletedOnboarding",
                            "appendDelimiter"}) {
        this->backend_.plantPreference(key, "true");
    }
    auto settings = this->launchSettings();
    EXPECT_TRUE(settings->isExpansionEnabled());
    EXPECT_FALSE(settings->playSoundOnExpansion());
    EXPECT_FALSE(settings->launchAtLogin());
    EXPECT_FALSE(settings->hasCompletedOnboarding());
    EXPECT_FALSE(settings->appendDelimiter());
    EXPECT_FALSE(settings->isRecordingHotkey());
    persistence::NotificationCounter heard(*settings);
    settings->setExpansionEnabled(true);
    settings->setAppendDelimiter(false);
    settings->setRecordingHotkey(false);
    EXPECT_EQ(heard.count, 0);

    settings->setExpansionEnabled(false);
    settings->setPlaySoundOnExpansion(true);
    settings->setLaunchAtLoginValue(true);
    settings->setHasCompletedOnboarding(true);
    settings->setAppendDelimiter(true);
    settings->setRecordingHotkey(true);
    EXPECT_EQ(heard.count, 6);
    EXPECT_TRUE(settings->isRecordingHotkey());

    auto next = this->launchSettings();
    EXPECT_FALSE(next->isExpansionEnabled());
    EXPECT_TRUE(next->playSoundOnExpansion());
    EXPECT_TRUE(next->hasCompletedOnboarding());
    EXPECT_TRUE(next->appendDelimiter());
    EXPECT_FALSE(next->isRecordingHotkey());

    auto& preferences = this->backend_.preferences();
    EXPECT_EQ(preferences.boolValue("isExpansionEnabled"), false);
    EXPECT_EQ(preferences.boolValue("playSoundOnExpansion"), true);
    EXPECT_EQ(preferences.boolValue("launchAtLogin"), true);
    EXPECT_EQ(preferences.boolValue("hasCompletedOnboarding"), true);
    EXPECT_EQ(preferences.boolValue("appendDelimiter"), true);
    EXPECT_EQ(preferences.boolValue("isRecordingHotkey"), std::nullopt);
}

// Ctrl+Alt+Space until the user chooses, unless a snippet has it; a choice (none too) is kept.
TYPED_TEST_P(PersistenceContract, SettingsSearchWindowHotkeyYieldsToASnippetUntilChosen) {
    using model::Snippet;
    using platform::Hotkey;
    namespace flag = platform::flag;
    const Hotkey standard = model::AppSettings::defaultSearchWindowHotkey;
    Snippet owner = Snippet::make();
    owner.triggerMode = Snippet::TriggerMode::hotkey;
    owner.hotkeyKeyCode = standard.keyCode;
    owner.hotkeyModifiers = standard.modifiers;
    const std::vector<Snippet> none, taken = {owner};

    this->backend_.plantPreference("searchWindowHotkey", "49");
    auto settings = this->launchSettings();
    EXPECT_EQ(settings->searchWindowHotkey(none), standard);
    EXPECT_EQ(settings->searchWindowHotkey(taken), std::nullopt);

    const Hotkey chosen{platform::key::space, flag::command | flag::shift};
    {
        persistence::NotificationCounter heard(*settings);
        settings->setSearchWindowHotkey(chosen);
        EXPECT_EQ(heard.count, 1);
    }
    // Each launch reads the preferences anew.
    settings = this->launchSettings();
    EXPECT_EQ(settings->searchWindowHotkey(taken), chosen);
    settings->setSearchWindowHotkey(std::nullopt);
    settings = this->launchSettings();
    EXPECT_EQ(settings->searchWindowHotkey(none), std::nullopt);
    settings->setSearchWindowHotkey(Hotkey{platform::key::a, flag::control});
    EXPECT_EQ(this->launchSettings()->searchWindowHotkey(none),
              (Hotkey{platform::key::a, flag::control}));
}

TYPED_TEST_P(PersistenceContract, SettingsLaunchAtLoginShowsTheLoginItemNotTheStoredValue) {
    auto settings = this->launchSettings();
    settings->setLaunchAtLoginValue(true);
    settings->setLaunchAtLogin(true);
    EXPECT_TRUE(this->backend_.loginItem().isEnabled());
    EXPECT_TRUE(this->launchSettings()->launchAtLogin());

    this->backend_.removeLoginItemOutside();
    EXPECT_FALSE(this->launchSettings()->launchAtLogin());
    EXPECT_EQ(this->backend_.preferences().boolValue("launchAtLogin"), true);

    auto again = this->launchSettings();
    again->setLaunchAtLoginValue(false);
    again->setLaunchAtLogin(false);
    EXPECT_FALSE(this->backend_.loginItem().isEnabled());
    EXPECT_EQ(this->backend_.preferences().boolValue("launchAtLogin"), false);
}

TYPED_TEST_P(PersistenceContract, SettingsALoginItemThatCannotBeChangedSaysWhyAndKeepsTheSwitch) {
    auto settings = this->launchSettings();
    this->backend_.breakLoginItem();
    const std::string said = persistence::printedBy([&] {
        settings->setLaunchAtLoginValue(true);
        settings->setLaunchAtLogin(true);
    });
    // One line, with the reason after the colon.
    EXPECT_TRUE(std::regex_match(said, std::regex("Launch at login error: .+\n"))) << said;
    EXPECT_TRUE(settings->launchAtLogin());
    EXPECT_FALSE(this->backend_.loginItem().isEnabled());
}

REGISTER_TYPED_TEST_SUITE_P(
    PersistenceContract, FirstRunWritesTheExamplesAndEveryRealChangeIsHeardAndSaved,
    UnreadableFilesAreWrittenOverOnlyWhenAskedAndKeptAsideOnce,
    ImportingTwiceAddsEverySnippetAgainUnderFreshIds, ASaveThatFailsSaysWhyAndKeepsTheList,
    EachIsRefusedWithItsReasonAndChangesNothing, AByteOrderMarkBeforeAGoodFileIsWelcome,
    SettingsDefaultsChangesAndWhatIsStored, SettingsSearchWindowHotkeyYieldsToASnippetUntilChosen,
    SettingsLaunchAtLoginShowsTheLoginItemNotTheStoredValue,
    SettingsALoginItemThatCannotBeChangedSaysWhyAndKeepsTheSwitch);

} // namespace quillo::testing
