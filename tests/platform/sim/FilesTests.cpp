#include "platform/sim/SimDesktop.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillo::sim {
namespace {

namespace fs = std::filesystem;
using platform::Bytes;

Bytes bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Files : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::path(testing::TempDir()) / "quillo-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& entry : fs::directory_iterator(root)) {
            result.push_back(entry.path().filename().string());
        }
        std::sort(result.begin(), result.end());
        return result;
    }

    fs::path root;
};

TEST_F(Files, TheDataFolderIsTheRootGiven) {
    SimDesktop withRoot(root);
    EXPECT_EQ(withRoot.services().files.dataFolder(), root);
    SimDesktop without;
    EXPECT_EQ(without.services().files.dataFolder(), std::nullopt);
}

TEST_F(Files, WriteAtomicallyCreatesThenReplacesAndLeavesNothingElse) {
    SimDesktop desktop(root);
    auto& files = desktop.services().files;
    const fs::path path = root / "snippets.json";

    EXPECT_FALSE(files.exists(path));
    EXPECT_EQ(files.writeAtomically(path, bytes("old")), std::nullopt);
    EXPECT_TRUE(files.exists(path));
    EXPECT_EQ(files.writeAtomically(path, bytes("new and longer")), std::nullopt);

    auto read = files.read(path, 1024);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read.value, bytes("new and longer"));
    EXPECT_EQ(names(), std::vector<std::string>{"snippets.json"});
}

TEST_F(Files, WriteAtomicallyKeepsThePermissionsOfTheFileItReplaces) {
    SimDesktop desktop(root);
    const fs::path path = root / "private";
    std::ofstream(path) << "old";
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(desktop.services().files.writeAtomically(path, bytes("new")), std::nullopt);
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(Files, AFailedWriteLeavesTheOldContentsAndNoTemporaryFile) {
    SimDesktop desktop(root);
    // A folder in the file's place makes the final rename fail after the data was written.
    const fs::path path = root / "taken";
    fs::create_directory(path);
    std::ofstream(path / "inside") << "old";

    auto error = desktop.services().files.writeAtomically(path, bytes("new"));

    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find(path.string()), std::string::npos) << error->description;
    EXPECT_NE(error->description.find(std::strerror(EISDIR)), std::string::npos)
        << error->description;
    EXPECT_EQ(contents(path / "inside"), "old");
    EXPECT_EQ(names(), std::vector<std::string>{"taken"});
}

TEST_F(Files, WritingIntoAMissingFolderSaysWhy) {
    SimDesktop desktop(root);
    const fs::path path = root / "missing" / "file";
    auto error = desktop.services().files.writeAtomically(path, bytes("x"));
    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find(path.string()), std::string::npos) << error->description;
    EXPECT_NE(error->description.find(std::strerror(ENOENT)), std::string::npos)
        << error->description;
}

TEST_F(Files, AWriterKilledAtAnyInstantLeavesTheOldFileOrTheNewOne) {
    const fs::path path = root / "snippets.json";
    const std::string a(200'000, 'a');
    const std::string b(300'000, 'b');
    {
        SimDesktop desktop(root);
        ASSERT_EQ(desktop.services().files.writeAtomically(path, bytes(a)), std::nullopt);
    }
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SimDesktop desktop(root);
            auto& files = desktop.services().files;
            for (;;) {
                (void)files.writeAtomically(path, bytes(b));
                (void)files.writeAtomically(path, bytes(a));
            }
        }
        ::usleep(static_cast<useconds_t>(300 + round * 397 % 2000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string now = contents(path);
        EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST_F(Files, ReadGivesTheBytesOrSaysWhyNot) {
    SimDesktop desktop(root);
    auto& files = desktop.services().files;
    const std::string binary("\0\x01\xfe\xff text", 9);
    std::ofstream(root / "data", std::ios::binary) << binary;

    auto read = files.read(root / "data", binary.size());
    ASSERT_TRUE(read);
    EXPECT_EQ(*read.value, bytes(binary));

    auto missing = files.read(root / "nothing", 1024);
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.error.description.find((root / "nothing").string()), std::string::npos);
    EXPECT_NE(missing.error.description.find(std::strerror(ENOENT)), std::string::npos);

    auto folder = files.read(root, 1024);
    EXPECT_FALSE(folder);
    EXPECT_NE(folder.error.description.find(std::strerror(EISDIR)), std::string::npos);
}

TEST_F(Files, ReadRefusesWhatIsLargerThanItsLimit) {
    SimDesktop desktop(root);
    auto& files = desktop.services().files;
    std::ofstream(root / "ten", std::ios::binary) << "0123456789";
    const struct {
        const char* name;
        fs::path path;
        std::size_t limit;
        bool read;
    } cases[] = {
        {"exactly the limit", root / "ten", 10, true},
        {"one byte more", root / "ten", 9, false},
        // No size to tell beforehand, and no end: only the limit stops it.
        {"a device without end", "/dev/zero", 100'000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = files.read(c.path, c.limit);
        ASSERT_EQ(static_cast<bool>(read), c.read) << read.error.description;
        if (!c.read) {
            EXPECT_NE(read.error.description.find(c.path.string() +
                                                  ": it is larger than the limit of " +
                                                  std::to_string(c.limit) + " bytes"),
                      std::string::npos)
                << read.error.description;
        }
    }
}

TEST_F(Files, ReadsAnEmptyFileAsNoBytes) {
    SimDesktop desktop(root);
    std::ofstream(root / "empty").flush();
    auto read = desktop.services().files.read(root / "empty", 0);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read.value->empty());
}

TEST_F(Files, CreateFolderMakesEveryLevelAndAcceptsAnExistingFolder) {
    SimDesktop desktop(root);
    auto& files = desktop.services().files;
    EXPECT_EQ(files.createFolder(root / "a" / "b"), std::nullopt);
    EXPECT_TRUE(fs::is_directory(root / "a" / "b"));
    EXPECT_EQ(files.createFolder(root / "a" / "b"), std::nullopt);

    std::ofstream(root / "file") << "x";
    auto error = files.createFolder(root / "file");
    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find((root / "file").string()), std::string::npos);
}

TEST_F(Files, MoveRenamesOrSaysWhyNot) {
    SimDesktop desktop(root);
    auto& files = desktop.services().files;
    std::ofstream(root / "from") << "moved";
    EXPECT_EQ(files.move(root / "from", root / "to"), std::nullopt);
    EXPECT_FALSE(files.exists(root / "from"));
    EXPECT_EQ(contents(root / "to"), "moved");

    auto error = files.move(root / "from", root / "again");
    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find((root / "from").string()), std::string::npos);
    EXPECT_NE(error->description.find(std::strerror(ENOENT)), std::string::npos);
}

} // namespace
} // namespace quillo::sim
