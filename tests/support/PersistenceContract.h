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
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <linux/capability.h>
#include <memory>
#include <set>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
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
// Bad files, loaded as the snippets file and imported

namespace persistence {

// What a file is, without holding it in memory: a large one must not cost the test what the
// program is kept from spending.
inline std::string fingerprint(const fs::path& path) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        std::string names = "a folder of";
        for (const auto& entry : fs::directory_iterator(path)) {
            names += " " + entry.path().filename().string();
        }
        return names;
    }
    std::ifstream in(path, std::ios::binary);
    std::uint64_t hash = 14695981039346656037u; // FNV-1a
    std::uint64_t size = 0;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211u;
        }
        size += static_cast<std::uint64_t>(in.gcount());
    }
    return std::to_string(size) + " bytes, " + std::to_string(hash);
}

// A snippet document of at least `bytes` bytes, written a snippet at a time.
inline void writeLargeDocument(const fs::path& path, std::uint64_t bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    const std::string one = model::encodeSnippets(
        {snippet("sig", Snippet::TriggerMode::instant, std::string(200, 'x'))});
    const std::string_view object = std::string_view(one).substr(1, one.size() - 2);
    out << '[' << object;
    for (std::uint64_t written = one.size(); written < bytes; written += object.size() + 1) {
        out << ',' << object;
    }
    out << ']';
}

// Root reads every file whatever its mode, and CI runs as root. Taking the two capabilities that
// allow it out of the thread's effective set holds it to the modes like any user until the guard
// ends; a user that is not root is held to them anyway.
class FileModesHold {
  public:
    FileModesHold() {
        if (::geteuid() != 0) {
            holds_ = true;
            return;
        }
        header_ = {_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capget, &header_, saved_) != 0) {
            return;
        }
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        dropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
        holds_ = dropped_;
    }
    ~FileModesHold() {
        if (dropped_) {
            ::syscall(SYS_capset, &header_, saved_);
        }
    }
    FileModesHold(const FileModesHold&) = delete;
    FileModesHold& operator=(const FileModesHold&) = delete;
    bool holds() const { return holds_; }

  private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool dropped_ = false;
    bool holds_ = false;
};

struct BadFile {
    const char* name;
    std::function<void(const fs::path&)> make; // puts it at the path
    std::string reason;                        // a part of the reason given
};

inline std::string goodDocumentWith(const std::string& key, const std::string& value) {
    std::string document =
        model::encodeSnippets({snippet("sig", Snippet::TriggerMode::instant, "Best, A.")});
    document.insert(document.size() - 2, ",\"" + key + "\":" + value);
    return document;
}

inline std::vector<BadFile> badFiles() {
    const auto text = [](std::string contents) {
        return [contents](const fs::path& path) { writeText(path, contents); };
    };
    std::string invalidUtf8 =
        model::encodeSnippets({snippet("caf\xC3\xA9", Snippet::TriggerMode::instant, "On my way")});
    invalidUtf8.replace(invalidUtf8.find("\xC3\xA9"), 2, "\xE9");
    return {
        {"an empty file", text(""), "unexpected end of input"},
        {"100 MB of JSON",
         [](const fs::path& path) { writeLargeDocument(path, 100u * 1024 * 1024); },
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

template <typename Backend>
class SnippetStoreBadFiles : public SnippetStoreContract<Backend> {
  protected:
    // Loads the file at the snippets file's place, then imports it into the list of another
    // data folder; each must refuse it for `reason`, add nothing and leave every file as it was.
    void expectRefused(const std::string& reason) {
        using namespace persistence;
        const std::string before = fingerprint(this->snippetsFile());
        std::string printed;
        auto store = this->launch(&printed);
        EXPECT_TRUE(store->snippets().empty());
        EXPECT_TRUE(printed.starts_with("Failed to load snippets: ")) << printed;
        EXPECT_NE(printed.find(reason), std::string::npos) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        EXPECT_EQ(fingerprint(this->snippetsFile()), before);

        TemporaryFolder otherFolder;
        Backend other(otherFolder.path());
        ::testing::internal::CaptureStdout();
        SnippetStore importer(other.files());
        const auto list = importer.snippets();
        const fs::path ownFile = otherFolder.path() / "Quillo" / "snippets.json";
        const std::string own = fingerprint(ownFile);
        const auto error = importer.importSnippetsFromFile(this->snippetsFile());
        const std::string output = ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(error);
        EXPECT_NE(error->description.find(reason), std::string::npos) << error->description;
        EXPECT_EQ(error->description.find('\n'), std::string::npos) << error->description;
        EXPECT_EQ(importer.snippets(), list);
        EXPECT_EQ(fingerprint(ownFile), own);
        EXPECT_EQ(fingerprint(this->snippetsFile()), before);
        EXPECT_EQ(output, "");
    }
};

TYPED_TEST_SUITE_P(SnippetStoreBadFiles);

TYPED_TEST_P(SnippetStoreBadFiles, EachIsRefusedWithItsReasonAndChangesNothing) {
    using namespace persistence;
    for (const auto& bad : badFiles()) {
        SCOPED_TRACE(bad.name);
        fs::remove_all(this->dataFolder());
        bad.make(this->snippetsFile());
        this->expectRefused(bad.reason);
    }
}

TYPED_TEST_P(SnippetStoreBadFiles, AFileWithoutReadPermissionIsRefused) {
    using namespace persistence;
    writeText(this->snippetsFile(), documentFromBeforeMacros);
    fs::permissions(this->snippetsFile(), fs::perms::none);
    {
        FileModesHold modes;
        if (!modes.holds()) {
            GTEST_SKIP() << "running as root, which reads any file, without the right to give up "
                            "that power for the test";
        }
        this->expectRefused(std::strerror(EACCES));
    }
    fs::permissions(this->snippetsFile(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fileText(this->snippetsFile()), documentFromBeforeMacros);
}

TYPED_TEST_P(SnippetStoreBadFiles, AByteOrderMarkBeforeAGoodFileIsWelcome) {
    using namespace persistence;
    // Some editors on some systems start every UTF-8 file they save with one; it says nothing
    // but "UTF-8", which the format is anyway.
    const std::string text = "\xEF\xBB\xBF" + std::string(documentFromBeforeMacros);
    writeText(this->snippetsFile(), text);
    std::string printed;
    auto store = this->launch(&printed);
    ASSERT_EQ(store->snippets().size(), 1u);
    EXPECT_EQ(store->snippets()[0].shortcut, "sig");
    EXPECT_EQ(printed, "");
    EXPECT_EQ(fileText(this->snippetsFile()), text);

    TemporaryFolder otherFolder;
    TypeParam other(otherFolder.path());
    ::testing::internal::CaptureStdout();
    SnippetStore importer(other.files());
    const auto error = importer.importSnippetsFromFile(this->snippetsFile());
    ::testing::internal::GetCapturedStdout();
    ASSERT_FALSE(error) << error->description;
    ASSERT_EQ(importer.snippets().size(), 4u);
    EXPECT_EQ(importer.snippets()[3].shortcut, "sig");
}

REGISTER_TYPED_TEST_SUITE_P(SnippetStoreBadFiles, EachIsRefusedWithItsReasonAndChangesNothing,
                            AFileWithoutReadPermissionIsRefused,
                            AByteOrderMarkBeforeAGoodFileIsWelcome);

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
