// The watch on real files: each way another program changes a file calls it on the main loop.
#include "platform/linux/InotifyFileWatcher.h"

#include "support/EngineFixture.h"
#include "support/PersistenceContract.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace quillo::linuxdesktop {
namespace {

namespace fs = std::filesystem;
using testing::persistence::writeText;

TEST(InotifyFileWatcher, EachWayAFileChangesCallsItsWatch) {
    const auto write = [](const fs::path& file) { writeText(file, "new"); };
    struct {
        const char* name;
        // The watched path is a link to another file, and that file changes.
        bool linked;
        std::function<void(const fs::path&)> change;
    } cases[] = {
        {"written in place", false, write},
        {"replaced by a rename", false,
         [&write](const fs::path& file) {
             write(file.string() + ".new");
             fs::rename(file.string() + ".new", file);
         }},
        {"deleted", false, [](const fs::path& file) { fs::remove(file); }},
        {"changed behind a link", true, write},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TemporaryFolder folder;
        const fs::path watched = folder.path() / "snippets.json";
        const fs::path file = c.linked ? folder.path() / "real.json" : watched;
        writeText(file, "old");
        if (c.linked) {
            fs::create_symlink(file, watched);
        }
        InotifyFileWatcher watcher;
        int calls = 0;
        auto watch = watcher.watch(watched, [&calls] { ++calls; });
        ASSERT_TRUE(watch) << watch.error.description;
        c.change(file);
        // A bound on the wait, not on the speed: the call comes within milliseconds.
        for (QDeadlineTimer deadline(10'000); calls == 0 && !deadline.hasExpired();) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        EXPECT_GT(calls, 0);
    }
}

} // namespace
} // namespace quillo::linuxdesktop
