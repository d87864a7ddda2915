// The snippet store and the settings on the simulated desktop: its files in a temporary folder,
// its preferences and login item in memory.
#include "platform/sim/SimDesktop.h"
#include "support/PersistenceContract.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>

namespace quillo::testing {
namespace {

class SimBackend {
  public:
    explicit SimBackend(const std::filesystem::path& root) : desktop_(root / "Quillo") {}

    platform::Files& files() { return desktop_.services().files; }
    platform::Preferences& preferences() { return desktop_.services().preferences; }
    platform::LoginItem& loginItem() { return desktop_.services().loginItem; }
    // The simulated preferences and login item outlive a launch, as the real ones do.
    void restart() {}
    void plantPreference(std::string key, std::string text) {
        desktop_.setPreferenceString(std::move(key), std::move(text));
    }
    void removeLoginItemOutside() { desktop_.setLoginItemEnabled(false); }
    void breakLoginItem() { desktop_.setLoginItemError("the service is not available"); }

  private:
    sim::SimDesktop desktop_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(SimDesktop, PersistenceContract, SimBackend);

TEST(SnippetStoreOnSimDesktop, WithoutADataFolderNothingLoadsOrSaves) {
    sim::SimDesktop desktop;
    std::unique_ptr<model::SnippetStore> store;
    const std::string printed = persistence::printedBy([&] {
        store = std::make_unique<model::SnippetStore>(desktop.services().files);
        store->add(persistence::instant("brb", "Be right back"));
    });

    EXPECT_EQ(store->snippets().size(), 1u);
    EXPECT_EQ(store->snippetsFile(), std::nullopt);
    EXPECT_EQ(printed, "Failed to load snippets: there is no folder for the program's data\n"
                       "Failed to save snippets: there is no folder for the program's data\n");
}

std::string letters(const std::vector<model::Snippet>& list) {
    std::string text;
    for (const auto& s : list) {
        text += s.shortcut;
    }
    return text;
}

// The snippets file in other programs' hands while the store follows it. Snippets are letters; a
// capital is the same snippet (the same id) with its shortcut changed, and a list is its letters.
struct OutsideEdits {
    OutsideEdits() {
        persistence::writeText(file, document("abc"));
        store.emplace(desktop.services().files);
        store->watchFile(desktop.services().fileWatcher, desktop.services().time);
    }
    static model::Uuid idOf(char letter) {
        return model::Uuid({static_cast<std::uint8_t>(std::tolower(letter))});
    }
    static std::string document(std::string_view shortcuts) {
        std::vector<model::Snippet> list;
        for (const char letter : shortcuts) {
            list.push_back(persistence::instant(std::string(1, letter), "text"));
            list.back().id = idOf(letter);
        }
        return model::encodeSnippets(list);
    }
    void writeHalf(std::string_view shortcuts) {
        const std::string whole = document(shortcuts);
        desktop.writeFileOutside(file, whole.substr(0, whole.size() / 2));
    }
    // The user gives a snippet another shortcut in the window.
    void rename(char from, char to) {
        auto changed = *std::ranges::find(store->snippets(), idOf(from), &model::Snippet::id);
        changed.shortcut = std::string(1, to);
        store->update(changed);
    }
    std::string onDisk() const {
        auto decoded = model::decodeSnippets(persistence::fileText(file));
        const auto* list = std::get_if<std::vector<model::Snippet>>(&decoded);
        return !std::filesystem::exists(file) ? "(none)" : list ? letters(*list) : "(unreadable)";
    }

    TemporaryFolder folder;
    sim::SimDesktop desktop{folder.path() / "Quillo"};
    std::filesystem::path file = folder.path() / "Quillo" / "snippets.json";
    std::optional<model::SnippetStore> store;
};

TEST(SnippetStoreOnSimDesktop, OutsideEditsAreTakenInAndNeverLost) {
    using Problem = model::SnippetStore::FileProblem;
    using namespace std::chrono_literals;
    const std::function<void(OutsideEdits&)> half = [](OutsideEdits& f) {
        f.writeHalf("aBcd");
        f.desktop.runFor(1s);
        f.rename('c', 'C');
    };
    struct Row {
        const char* name;
        std::function<void(OutsideEdits&)> act;
        std::string list, file;
        Problem problem;
        bool unsaved;
        int heard; // by the store's observers: changes of the list and of the file's status
    } rows[] = {
        {"changed and valid",
         [](auto& f) { f.desktop.writeFileOutside(f.file, f.document("aBcd")); }, "aBcd", "aBcd",
         Problem::none, false, 1},
        {"replaced by a rename",
         [](auto& f) { f.desktop.replaceFileOutside(f.file, f.document("Bcd")); }, "Bcd", "Bcd",
         Problem::none, false, 1},
        {"written in steps within the settling time",
         [](auto& f) {
             f.writeHalf("aBcd");
             f.desktop.doAt(f.desktop.now() + 80ms, [&f] { f.writeHalf("aBcdef"); });
             f.desktop.doAt(f.desktop.now() + 160ms,
                            [&f] { f.desktop.writeFileOutside(f.file, f.document("aBcd")); });
         },
         "aBcd", "aBcd", Problem::none, false, 1},
        {"half-written", [](auto& f) { f.writeHalf("aBcd"); }, "abc", "(unreadable)",
         Problem::unreadable, false, 1},
        {"half-written, then changed here", half, "abC", "(unreadable)", Problem::unreadable, true,
         3},
        {"half-written, changed here, then whole",
         [&half](auto& f) {
             half(f);
             f.desktop.writeFileOutside(f.file, f.document("aBcd"));
         },
         "aBCd", "aBCd", Problem::none, false, 5},
        {"deleted", [](auto& f) { f.desktop.deleteFileOutside(f.file); }, "abc", "(none)",
         Problem::deleted, false, 1},
        {"deleted, then changed here",
         [](auto& f) {
             f.desktop.deleteFileOutside(f.file);
             f.desktop.runFor(1s);
             f.rename('c', 'C');
         },
         "abC", "abC", Problem::writtenAgain, false, 3},
        // Here a goes, c changes and e comes, in one save, as the list's delete makes one.
        {"changed between the store's read and its next save",
         [](auto& f) {
             f.desktop.writeFileOutside(f.file, f.document("aBcd"));
             auto list = f.store->snippets();
             list.erase(list.begin());
             list[1].shortcut = "C";
             list.push_back(persistence::instant("e", "text"));
             f.store->setSnippets(list);
             f.store->save();
         },
         "BCed", "BCed", Problem::none, false, 2},
        {"saved here", [](auto& f) { f.rename('c', 'C'); }, "abC", "abC", Problem::none, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OutsideEdits f;
        persistence::NotificationCounter heard(*f.store);
        persistence::printedBy([&] {
            row.act(f);
            f.desktop.runFor(1s);
        });
        EXPECT_EQ(letters(f.store->snippets()), row.list);
        EXPECT_EQ(f.onDisk(), row.file);
        const auto& status = f.store->fileStatus();
        EXPECT_EQ(status.problem, row.problem);
        EXPECT_EQ(status.unsaved, row.unsaved);
        EXPECT_EQ(heard.count, row.heard);
    }
}

} // namespace
} // namespace quillo::testing
