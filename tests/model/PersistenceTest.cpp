// The snippet store and the settings on the simulated desktop: its files in a temporary folder,
// its preferences and login item in memory.
#include "platform/sim/SimDesktop.h"
#include "support/PersistenceContract.h"

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

} // namespace
} // namespace quillo::testing
