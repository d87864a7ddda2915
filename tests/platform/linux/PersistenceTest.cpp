// The snippet store and the settings on the real Linux files, preferences and autostart entry,
// all kept in a temporary folder.
#include "platform/linux/LinuxLoginItem.h"
#include "platform/linux/LinuxPreferences.h"
#include "platform/posix/PosixFiles.h"
#include "support/PersistenceContract.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace quillo::testing {
namespace {

namespace fs = std::filesystem;
using linuxdesktop::LinuxLoginItem;
using linuxdesktop::LinuxPreferences;
using persistence::decoded;
using persistence::fileText;
using persistence::writeText;
using posix::PosixFiles;

class LinuxBackend {
  public:
    explicit LinuxBackend(const fs::path& root)
        : root_(root), files_(root / "Quillo"), loginItem_(root / "autostart", "/usr/bin/quillo") {
        restart();
    }

    platform::Files& files() { return files_; }
    platform::Preferences& preferences() { return *preferences_; }
    platform::LoginItem& loginItem() { return loginItem_; }
    void restart() { preferences_ = std::make_unique<LinuxPreferences>(root_ / "config"); }
    void plantPreference(std::string key, std::string text) {
        planted_[std::move(key)] = std::move(text);
        writeText(root_ / "config" / "preferences.json", nlohmann::json(planted_).dump());
    }
    void removeLoginItemOutside() { fs::remove(*loginItem_.entryFile()); }
    // A file where the autostart folder should be.
    void breakLoginItem() {
        fs::remove_all(root_ / "autostart");
        writeText(root_ / "autostart", "not a folder");
    }

  private:
    fs::path root_;
    PosixFiles files_;
    LinuxLoginItem loginItem_;
    std::unique_ptr<LinuxPreferences> preferences_;
    std::map<std::string, std::string> planted_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Linux, PersistenceContract, LinuxBackend);

std::vector<model::Snippet> manySnippets(int count, const std::string& prefix) {
    std::vector<model::Snippet> list;
    for (int i = 0; i < count; ++i) {
        list.push_back(snippet(prefix + std::to_string(i), model::Snippet::TriggerMode::instant,
                               std::string(100, prefix[0])));
    }
    return list;
}

TEST(SnippetStoreOnLinuxFiles, ASaveKilledAtAnyInstantLeavesOneWholeList) {
    TemporaryFolder folder;
    const fs::path data = folder.path() / "Quillo";
    // Lists of different lengths: a torn file can pass for neither.
    const auto a = manySnippets(40, "a");
    const auto b = manySnippets(400, "b");
    // The kills are spread over two cycles of two saves, as long as this machine takes for them,
    // so that they fall before, during and between writes.
    const auto started = std::chrono::steady_clock::now();
    {
        PosixFiles files(data);
        model::SnippetStore store(files);
        for (int i = 0; i < 3; ++i) {
            store.setSnippets(b);
            store.save();
            store.setSnippets(a);
            store.save();
        }
    }
    const auto cycle = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - started) /
                       3;

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> pause(0, 2000 + 2 * cycle.count()); // microseconds
    constexpr int rounds = 200;
    for (int round = 0; round < rounds; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PosixFiles files(data);
            model::SnippetStore store(files);
            for (;;) {
                store.setSnippets(b);
                store.save();
                store.setSnippets(a);
                store.save();
            }
        }
        ::usleep(static_cast<useconds_t>(pause(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        const auto list = decoded(fileText(data / "snippets.json"));
        ASSERT_TRUE(list == a || list == b) << "round " << round << ": " << list.size();
    }
}

} // namespace
} // namespace quillo::testing
