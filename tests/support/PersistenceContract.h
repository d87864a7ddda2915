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
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quillo::testing {

namespace persistence {

namespace fs = std::filesystem;
using model::AppSettings;
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

inline std::vector<Snippet> decoded(const std::string& text) {
    auto result = model::decodeSnippets(text);
    if (const auto* error = std::get_if<model::DecodeError>(&result)) {
        ADD_FAILURE() << "the file does not decode: " << error->description;
        return {};
    }
    return std::get<std::vector<Snippet>>(std::move(result));
}

// Counts what an observable object tells its observers.
class NotificationCounter {
  public:
    explicit NotificationCounter(model::Observable& observed)
        : subscription_(observed.subscribe([this] { ++count; })) {}
    int count = 0;

  private:
    model::Observable::Subscription subscription_;
};

// A snippet document written before hotkeys and macros existed.
inline const char* const documentFromBeforeMacros =
    R"([{"id":"0A1B2C3D-0000-4000-8000-000000000001","shortcut":"sig","replacement":"Best, A.",)"
    R"("isEnabled":true,"triggerMode":"After Delimiter","allowedApps":[],"blockedApps":[]}])";

} // namespace persistence

// ---------------------------------------------------------------------------------------------
// The snippet store

template <typename Backend>
class SnippetStoreContract : public ::testing::Test {
  protected:
    std::filesystem::path dataFolder() const { return folder_.path() / "Quillo"; }
    std::filesystem::path snippetsFile() const { return dataFolder() / "snippets.json"; }
    std::filesystem::path keptFile(int n) const {
        return dataFolder() / ("snippets.unreadable-" + std::to_string(n) + ".json");
    }
    // A new store, as the next launch makes it, with what it printed.
    std::unique_ptr<model::SnippetStore> launch(std::string* printed = nullptr) {
        ::testing::internal::CaptureStdout();
        auto store = std::make_unique<model::SnippetStore>(backend_.files());
        const std::string output = ::testing::internal::GetCapturedStdout();
        if (printed != nullptr) {
            *printed = output;
        }
        return store;
    }

    TemporaryFolder folder_;
    Backend backend_{folder_.path()};
};

TYPED_TEST_SUITE_P(SnippetStoreContract);

TYPED_TEST_P(SnippetStoreContract, FirstRunInstallsTheThreeExamplesAndWritesThem) {
    using namespace persistence;
    std::string printed;
    auto store = this->launch(&printed);

    const auto& list = store->snippets();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].shortcut, "omw");
    EXPECT_EQ(list[0].replacement, "On my way");
    EXPECT_EQ(list[1].shortcut, "link");
    EXPECT_EQ(list[1].replacement, "<a href='{clipboard}'>{cursor}</a>");
    EXPECT_EQ(list[2].shortcut, "");
    EXPECT_EQ(list[2].replacement, "On my way!");
    EXPECT_EQ(list[2].triggerMode, Snippet::TriggerMode::hotkey);
    EXPECT_EQ(list[2].hotkeyKeyCode, 46);
    EXPECT_EQ(list[2].hotkeyModifiers, 0xC0000u);
    EXPECT_EQ(decoded(fileText(this->snippetsFile())), list);
    EXPECT_EQ(printed, "");
}

TYPED_TEST_P(SnippetStoreContract, TheNextLaunchReadsWhatTheLastOneWrote) {
    using namespace persistence;
    auto store = this->launch();
    store->add(snippet("brb", Snippet::TriggerMode::instant, "Be right back"));
    auto changed = store->snippets()[0];
    changed.replacement = "On my way, see you soon";
    store->update(changed);

    auto next = this->launch();
    EXPECT_EQ(next->snippets(), store->snippets());
}

TYPED_TEST_P(SnippetStoreContract, AFileThatDoesNotLoadLeavesTheListEmptyAndTheFileAsItWas) {
    using namespace persistence;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"an empty file", ""},
        {"an object instead of an array", R"({"snippets":[]})"},
        {"not JSON", "omw -> On my way"},
        {"an unknown trigger mode",
         R"([{"id":"0A1B2C3D-0000-4000-8000-000000000001","shortcut":"a","replacement":"b",)"
         R"("isEnabled":true,"triggerMode":"Sometimes","allowedApps":[],"blockedApps":[]}])"},
    };
    for (const auto& [name, text] : files) {
        SCOPED_TRACE(name);
        writeText(this->snippetsFile(), text);
        std::string printed;
        auto store = this->launch(&printed);

        EXPECT_TRUE(store->snippets().empty());
        EXPECT_TRUE(printed.starts_with("Failed to load snippets: ")) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        EXPECT_EQ(fileText(this->snippetsFile()), text);
    }
}

TYPED_TEST_P(SnippetStoreContract, AFileFromBeforeMacrosLoads) {
    using namespace persistence;
    writeText(this->snippetsFile(), documentFromBeforeMacros);
    auto store = this->launch();
    ASSERT_EQ(store->snippets().size(), 1u);
    EXPECT_EQ(store->snippets()[0].shortcut, "sig");
    EXPECT_TRUE(store->snippets()[0].macroSteps.empty());
    EXPECT_FALSE(store->snippets()[0].hotkeyKeyCode);
}

TYPED_TEST_P(SnippetStoreContract, AnUnreadableFileIsKeptAsideBeforeTheFirstSave) {
    using namespace persistence;
    writeText(this->snippetsFile(), "{}");
    auto store = this->launch();

    ::testing::internal::CaptureStdout();
    store->add(snippet("brb", Snippet::TriggerMode::instant, "Be right back"));
    const std::string printed = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(printed, "Kept the unreadable snippets file as " + this->keptFile(1).string() + "\n");
    EXPECT_EQ(fileText(this->keptFile(1)), "{}");
    EXPECT_EQ(decoded(fileText(this->snippetsFile())), store->snippets());

    // Only once: later saves replace the new file as usual.
    ::testing::internal::CaptureStdout();
    store->add(snippet("ty", Snippet::TriggerMode::instant, "Thank you"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(decoded(fileText(this->snippetsFile())).size(), 2u);
}

TYPED_TEST_P(SnippetStoreContract, ASecondUnreadableFileNeverReplacesTheFirstOneKept) {
    using namespace persistence;
    writeText(this->snippetsFile(), "first broken file");
    this->launch()->add(snippet("a", Snippet::TriggerMode::instant, "A"));
    writeText(this->snippetsFile(), "second broken file");
    this->launch()->add(snippet("b", Snippet::TriggerMode::instant, "B"));

    EXPECT_EQ(fileText(this->keptFile(1)), "first broken file");
    EXPECT_EQ(fileText(this->keptFile(2)), "second broken file");
    ASSERT_EQ(decoded(fileText(this->snippetsFile())).size(), 1u);
    EXPECT_EQ(decoded(fileText(this->snippetsFile()))[0].shortcut, "b");
}

TYPED_TEST_P(SnippetStoreContract, ObserversHearOfRealChangesOnly) {
    using namespace persistence;
    auto store = this->launch();
    NotificationCounter heard(*store);

    store->setSnippets(std::vector<Snippet>(store->snippets()));
    EXPECT_EQ(heard.count, 0);

    store->add(snippet("brb", Snippet::TriggerMode::instant, "Be right back"));
    EXPECT_EQ(heard.count, 1);

    auto changed = store->snippets()[1];
    changed.isEnabled = false;
    store->update(changed);
    EXPECT_EQ(heard.count, 2);

    const std::string before = fileText(this->snippetsFile());
    store->update(snippet("unknown", Snippet::TriggerMode::instant, "not in the list"));
    EXPECT_EQ(heard.count, 2);
    EXPECT_EQ(fileText(this->snippetsFile()), before);

    EXPECT_TRUE(store->importSnippets("[{\"id\":1}]"));
    EXPECT_EQ(heard.count, 2);
    EXPECT_EQ(store->snippets().size(), 4u);
    EXPECT_EQ(fileText(this->snippetsFile()), before);

    EXPECT_FALSE(store->importSnippets(documentFromBeforeMacros));
    EXPECT_EQ(heard.count, 3);
}

TYPED_TEST_P(SnippetStoreContract, UpdateKeepsThePositionAndAddGoesLast) {
    using namespace persistence;
    auto store = this->launch();
    auto link = store->snippets()[1];
    link.shortcut = "lnk";
    store->update(link);
    store->add(snippet("brb", Snippet::TriggerMode::instant, "Be right back"));

    const auto onDisk = decoded(fileText(this->snippetsFile()));
    ASSERT_EQ(onDisk.size(), 4u);
    EXPECT_EQ(onDisk[1].shortcut, "lnk");
    EXPECT_EQ(onDisk[3].shortcut, "brb");
    EXPECT_EQ(onDisk, store->snippets());
}

TYPED_TEST_P(SnippetStoreContract, ImportingTwiceAddsEverySnippetAgainUnderFreshIds) {
    using namespace persistence;
    auto store = this->launch();
    auto x = snippet("x", Snippet::TriggerMode::instant, "X");
    auto y = snippet("y", Snippet::TriggerMode::afterDelimiter, "Y");
    auto twin = snippet("twin", Snippet::TriggerMode::instant, "an id used twice in one file");
    twin.id = y.id;
    const std::string document = model::encodeSnippets({x, y, twin});

    ASSERT_FALSE(store->importSnippets(document));
    ASSERT_FALSE(store->importSnippets(document));

    const auto& list = store->snippets();
    ASSERT_EQ(list.size(), 9u);
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
    EXPECT_EQ(decoded(fileText(this->snippetsFile())), list);
}

TYPED_TEST_P(SnippetStoreContract, ASaveThatFailsSaysWhyAndKeepsTheList) {
    using namespace persistence;
    // A file where the data folder should be: the folder cannot be made, nothing can be saved.
    writeText(this->dataFolder(), "not a folder");
    std::string printed;
    auto store = this->launch(&printed);

    EXPECT_EQ(store->snippets().size(), 3u);
    EXPECT_TRUE(printed.starts_with("Failed to save snippets: ")) << printed;
    EXPECT_NE(printed.find(this->snippetsFile().string()), std::string::npos) << printed;

    ::testing::internal::CaptureStdout();
    store->add(snippet("brb", Snippet::TriggerMode::instant, "Be right back"));
    printed = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(printed.starts_with("Failed to save snippets: ")) << printed;
    EXPECT_EQ(store->snippets().size(), 4u);
    EXPECT_EQ(fileText(this->dataFolder()), "not a folder");
}

REGISTER_TYPED_TEST_SUITE_P(SnippetStoreContract, FirstRunInstallsTheThreeExamplesAndWritesThem,
                            TheNextLaunchReadsWhatTheLastOneWrote,
                            AFileThatDoesNotLoadLeavesTheListEmptyAndTheFileAsItWas,
                            AFileFromBeforeMacrosLoads,
                            AnUnreadableFileIsKeptAsideBeforeTheFirstSave,
                            ASecondUnreadableFileNeverReplacesTheFirstOneKept,
                            ObserversHearOfRealChangesOnly, UpdateKeepsThePositionAndAddGoesLast,
                            ImportingTwiceAddsEverySnippetAgainUnderFreshIds,
                            ASaveThatFailsSaysWhyAndKeepsTheList);

// ---------------------------------------------------------------------------------------------
// The settings

template <typename Backend>
class AppSettingsContract : public ::testing::Test {
  protected:
    std::unique_ptr<model::AppSettings> launch() {
        backend_.restart();
        return std::make_unique<model::AppSettings>(backend_.preferences(), backend_.loginItem());
    }

    TemporaryFolder folder_;
    Backend backend_{folder_.path()};
};

TYPED_TEST_SUITE_P(AppSettingsContract);

TYPED_TEST_P(AppSettingsContract, TheFirstLaunchStartsFromTheDefaults) {
    using namespace persistence;
    auto settings = this->launch();
    EXPECT_TRUE(settings->isExpansionEnabled());
    EXPECT_FALSE(settings->playSoundOnExpansion());
    EXPECT_FALSE(settings->launchAtLogin());
    EXPECT_FALSE(settings->hasCompletedOnboarding());
    EXPECT_FALSE(settings->appendDelimiter());
    EXPECT_FALSE(settings->isRecordingHotkey());
}

TYPED_TEST_P(AppSettingsContract, EachPreferenceIsStoredUnderItsNameForTheNextLaunch) {
    using namespace persistence;
    auto settings = this->launch();
    settings->setExpansionEnabled(false);
    settings->setPlaySoundOnExpansion(true);
    settings->setHasCompletedOnboarding(true);
    settings->setAppendDelimiter(true);

    auto next = this->launch();
    EXPECT_FALSE(next->isExpansionEnabled());
    EXPECT_TRUE(next->playSoundOnExpansion());
    EXPECT_TRUE(next->hasCompletedOnboarding());
    EXPECT_TRUE(next->appendDelimiter());

    auto& preferences = this->backend_.preferences();
    EXPECT_EQ(preferences.boolValue("isExpansionEnabled"), false);
    EXPECT_EQ(preferences.boolValue("playSoundOnExpansion"), true);
    EXPECT_EQ(preferences.boolValue("hasCompletedOnboarding"), true);
    EXPECT_EQ(preferences.boolValue("appendDelimiter"), true);
}

TYPED_TEST_P(AppSettingsContract, AValueThatIsNoBooleanCountsAsMissing) {
    using namespace persistence;
    for (const char* key : {"isExpansionEnabled", "playSoundOnExpansion", "hasCompletedOnboarding",
                            "appendDelimiter"}) {
        this->backend_.plantPreference(key, "true");
    }
    auto settings = this->launch();
    EXPECT_TRUE(settings->isExpansionEnabled());
    EXPECT_FALSE(settings->playSoundOnExpansion());
    EXPECT_FALSE(settings->hasCompletedOnboarding());
    EXPECT_FALSE(settings->appendDelimiter());
}

TYPED_TEST_P(AppSettingsContract, ObserversHearOnlyOfRealChanges) {
    using namespace persistence;
    auto settings = this->launch();
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
}

TYPED_TEST_P(AppSettingsContract, LaunchAtLoginShowsTheLoginItemNotTheStoredValue) {
    using namespace persistence;
    auto settings = this->launch();
    settings->setLaunchAtLoginValue(true);
    settings->setLaunchAtLogin(true);
    EXPECT_TRUE(this->backend_.loginItem().isEnabled());
    EXPECT_TRUE(this->launch()->launchAtLogin());

    this->backend_.removeLoginItemOutside();
    EXPECT_FALSE(this->launch()->launchAtLogin());
    EXPECT_EQ(this->backend_.preferences().boolValue("launchAtLogin"), true);

    auto again = this->launch();
    again->setLaunchAtLoginValue(false);
    again->setLaunchAtLogin(false);
    EXPECT_FALSE(this->backend_.loginItem().isEnabled());
    EXPECT_EQ(this->backend_.preferences().boolValue("launchAtLogin"), false);
}

TYPED_TEST_P(AppSettingsContract, ALoginItemThatCannotBeChangedSaysWhyAndKeepsTheSwitch) {
    using namespace persistence;
    auto settings = this->launch();
    this->backend_.breakLoginItem();

    ::testing::internal::CaptureStdout();
    settings->setLaunchAtLoginValue(true);
    settings->setLaunchAtLogin(true);
    const std::string printed = ::testing::internal::GetCapturedStdout();

    EXPECT_TRUE(printed.starts_with("Launch at login error: ")) << printed;
    EXPECT_GT(printed.size(), std::string("Launch at login error: \n").size()) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    EXPECT_TRUE(settings->launchAtLogin());
    EXPECT_FALSE(this->backend_.loginItem().isEnabled());
}

TYPED_TEST_P(AppSettingsContract, RecordingAKeyIsNeverStored) {
    using namespace persistence;
    auto settings = this->launch();
    settings->setRecordingHotkey(true);
    EXPECT_TRUE(settings->isRecordingHotkey());
    EXPECT_FALSE(this->launch()->isRecordingHotkey());
    EXPECT_EQ(this->backend_.preferences().boolValue("isRecordingHotkey"), std::nullopt);
}

REGISTER_TYPED_TEST_SUITE_P(AppSettingsContract, TheFirstLaunchStartsFromTheDefaults,
                            EachPreferenceIsStoredUnderItsNameForTheNextLaunch,
                            AValueThatIsNoBooleanCountsAsMissing, ObserversHearOnlyOfRealChanges,
                            LaunchAtLoginShowsTheLoginItemNotTheStoredValue,
                            ALoginItemThatCannotBeChangedSaysWhyAndKeepsTheSwitch,
                            RecordingAKeyIsNeverStored);

} // namespace quillo::testing
