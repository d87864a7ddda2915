// The Linux files: whole, durable replacement, permissions, links, and moves that never
// replace.
#include "platform/linux/LinuxFiles.h"
#include "support/EngineFixture.h"
#include "support/PersistenceContract.h"
#include "support/ScopedEnvironment.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace quillo::linuxdesktop {
namespace {

namespace fs = std::filesystem;
using platform::Bytes;
using testing::persistence::fileText;
using testing::persistence::writeText;

Bytes bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

class LinuxFilesTest : public ::testing::Test {
  protected:
    std::vector<std::string> names(const fs::path& in) const {
        std::vector<std::string> result;
        for (const auto& entry : fs::directory_iterator(in)) {
            result.push_back(entry.path().filename().string());
        }
        std::sort(result.begin(), result.end());
        return result;
    }
    unsigned mode(const fs::path& path) const {
        struct stat status {};
        ::lstat(path.c_str(), &status);
        return status.st_mode & 07777;
    }

    testing::TemporaryFolder folder;
    LinuxFiles files{folder.path()};
};

TEST_F(LinuxFilesTest, TheDataFolderIsQuilloInTheXdgDataFolder) {
    testing::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", "/somewhere/data");
    EXPECT_EQ(LinuxFiles().dataFolder(), fs::path("/somewhere/data/Quillo"));
    environment.set("XDG_DATA_HOME", std::nullopt);
    environment.set("HOME", std::nullopt);
    EXPECT_EQ(LinuxFiles().dataFolder(), std::nullopt);
    EXPECT_EQ(files.dataFolder(), folder.path());
}

TEST_F(LinuxFilesTest, AWriteReplacesTheWholeFileAndLeavesNothingBeside) {
    const fs::path path = folder.path() / "snippets.json";
    ASSERT_EQ(files.writeAtomically(path, bytes("the old, longer contents")), std::nullopt);
    ASSERT_EQ(files.writeAtomically(path, bytes("new")), std::nullopt);

    auto read = files.read(path, 1024);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read.value, bytes("new"));
    EXPECT_EQ(names(folder.path()), std::vector<std::string>{"snippets.json"});
}

TEST_F(LinuxFilesTest, ANewFileIsPrivateAndAReplacedOneKeepsItsPermissions) {
    const fs::path fresh = folder.path() / "fresh";
    ASSERT_EQ(files.writeAtomically(fresh, bytes("x")), std::nullopt);
    EXPECT_EQ(mode(fresh), 0600u);

    const fs::path shared = folder.path() / "shared";
    writeText(shared, "old");
    ::chmod(shared.c_str(), 0644);
    ASSERT_EQ(files.writeAtomically(shared, bytes("new")), std::nullopt);
    EXPECT_EQ(mode(shared), 0644u);
}

TEST_F(LinuxFilesTest, WritingThroughALinkReplacesTheFileItNamesAndKeepsTheLink) {
    const fs::path real = folder.path() / "dotfiles" / "snippets.json";
    const fs::path link = folder.path() / "snippets.json";
    writeText(real, "old");
    fs::create_symlink(real, link);

    ASSERT_EQ(files.writeAtomically(link, bytes("new")), std::nullopt);

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fileText(real), "new");
    EXPECT_EQ(names(folder.path() / "dotfiles"), std::vector<std::string>{"snippets.json"});
}

TEST_F(LinuxFilesTest, AFailedWriteLeavesTheOldContentsAndNoTemporaryFile) {
    // A folder in the file's place makes the final rename fail after the data was written.
    const fs::path path = folder.path() / "taken";
    writeText(path / "inside", "old");

    auto error = files.writeAtomically(path, bytes("new"));

    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find(path.string()), std::string::npos) << error->description;
    EXPECT_NE(error->description.find(std::strerror(EISDIR)), std::string::npos)
        << error->description;
    EXPECT_EQ(fileText(path / "inside"), "old");
    EXPECT_EQ(names(folder.path()), std::vector<std::string>{"taken"});
}

TEST_F(LinuxFilesTest, MovingNeverReplacesWhatIsAlreadyThere) {
    writeText(folder.path() / "from", "moved");
    writeText(folder.path() / "kept", "kept");

    auto error = files.move(folder.path() / "from", folder.path() / "kept");
    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find(std::strerror(EEXIST)), std::string::npos)
        << error->description;
    EXPECT_EQ(fileText(folder.path() / "kept"), "kept");
    EXPECT_EQ(fileText(folder.path() / "from"), "moved");

    EXPECT_EQ(files.move(folder.path() / "from", folder.path() / "to"), std::nullopt);
    EXPECT_FALSE(files.exists(folder.path() / "from"));
    EXPECT_EQ(fileText(folder.path() / "to"), "moved");
}

TEST_F(LinuxFilesTest, CreatingAFolderMakesPrivateLevelsAndAcceptsAnExistingOne) {
    const fs::path deep = folder.path() / "a" / "b";
    EXPECT_EQ(files.createFolder(deep), std::nullopt);
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(mode(folder.path() / "a"), 0700u);
    EXPECT_EQ(mode(deep), 0700u);
    EXPECT_EQ(files.createFolder(deep), std::nullopt);

    writeText(folder.path() / "file", "x");
    auto error = files.createFolder(folder.path() / "file" / "sub");
    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find((folder.path() / "file" / "sub").string()),
              std::string::npos);
}

TEST_F(LinuxFilesTest, ReadingSaysWhyItFails) {
    auto missing = files.read(folder.path() / "nothing", 1024);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.error.description.find((folder.path() / "nothing").string()),
              std::string::npos);
    EXPECT_NE(missing.error.description.find(std::strerror(ENOENT)), std::string::npos);

    auto aFolder = files.read(folder.path(), 1024);
    ASSERT_FALSE(aFolder);
    EXPECT_NE(aFolder.error.description.find(std::strerror(EISDIR)), std::string::npos);
}

TEST_F(LinuxFilesTest, AReadRefusesWhatIsLargerThanItsLimit) {
    writeText(folder.path() / "ten", "0123456789");
    writeText(folder.path() / "empty", "");
    const struct {
        const char* name;
        fs::path path;
        std::size_t limit;
        std::optional<std::string> contents; // none: refused
    } cases[] = {
        {"exactly the limit", folder.path() / "ten", 10, "0123456789"},
        {"one byte more", folder.path() / "ten", 9, std::nullopt},
        {"empty with no room at all", folder.path() / "empty", 0, ""},
        // No size to tell beforehand, and no end: only the limit stops it.
        {"a device without end", "/dev/zero", 100'000, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = files.read(c.path, c.limit);
        if (c.contents) {
            ASSERT_TRUE(read) << read.error.description;
            EXPECT_EQ(*read.value, bytes(*c.contents));
        } else {
            ASSERT_FALSE(read);
            EXPECT_NE(read.error.description.find(c.path.string()), std::string::npos)
                << read.error.description;
            EXPECT_NE(read.error.description.find("larger than the limit of " +
                                                  std::to_string(c.limit) + " bytes"),
                      std::string::npos)
                << read.error.description;
        }
    }
}

} // namespace
} // namespace quillo::linuxdesktop
