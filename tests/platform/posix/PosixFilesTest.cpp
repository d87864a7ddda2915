// The files of both desktops: whole, durable replacement, permissions, links, reads bounded by
// their limit, and moves that never replace.
#include "platform/posix/PosixFiles.h"

#include "platform/posix/FileLock.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quillo::posix {
namespace {

namespace fs = std::filesystem;

platform::Bytes bytes(std::string_view text) {
    return platform::Bytes(text.begin(), text.end());
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// How many entries a folder holds: a temporary file left behind would show.
std::ptrdiff_t entries(const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

unsigned mode(const fs::path& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode & 07777;
}

// Says whether `error` ends in `path` and the system's reason `code`.
::testing::AssertionResult tells(const std::optional<platform::FileError>& error,
                                 const fs::path& path, int code) {
    const std::string text = error ? error->description : "no error";
    return text.ends_with(path.string() + ": " + std::strerror(code))
               ? ::testing::AssertionSuccess()
               : ::testing::AssertionFailure() << text;
}

class PosixFilesTest : public ::testing::Test {
  protected:
    PosixFilesTest() { fs::create_directories(root); }
    ~PosixFilesTest() override { fs::remove_all(root); }

    const fs::path root = fs::temp_directory_path() / ("quillo-files-" + std::to_string(getpid()));
    PosixFiles files{root};
};

TEST_F(PosixFilesTest, AWriteReplacesTheWholeFileAndLeavesNothingBeside) {
    const fs::path path = root / "snippets.json";
    EXPECT_FALSE(files.exists(path));
    ASSERT_EQ(files.writeAtomically(path, bytes("the old, longer contents")), std::nullopt);
    EXPECT_TRUE(files.exists(path));
    ASSERT_EQ(files.writeAtomically(path, bytes("new")), std::nullopt);
    EXPECT_EQ(fileText(path), "new");
    EXPECT_EQ(mode(path), 0600u) << "a new file is private";

    // Through a link: the file it names is replaced, and the link kept.
    const fs::path real = root / "dotfiles" / "shared";
    writeText(real, "old");
    ::chmod(real.c_str(), 0644);
    fs::create_symlink(real, root / "link");
    ASSERT_EQ(files.writeAtomically(root / "link", bytes("new")), std::nullopt);
    EXPECT_TRUE(fs::is_symlink(root / "link"));
    EXPECT_EQ(fileText(real), "new");
    EXPECT_EQ(mode(real), 0644u) << "a replaced file keeps its permissions";
    EXPECT_EQ(entries(root), 3); // the link, its folder and snippets.json
    EXPECT_EQ(entries(root / "dotfiles"), 1);
}

TEST_F(PosixFilesTest, AFailedWriteSaysWhyAndLeavesTheOldContentsAndNoTemporaryFile) {
    // A folder in the file's place makes the final rename fail after the data was written.
    writeText(root / "taken" / "inside", "old");
    EXPECT_TRUE(tells(files.writeAtomically(root / "taken", bytes("new")), root / "taken", EISDIR));
    EXPECT_TRUE(tells(files.writeAtomically(root / "missing" / "file", bytes("new")),
                      root / "missing" / "file", ENOENT));
    EXPECT_EQ(fileText(root / "taken" / "inside"), "old");
    EXPECT_EQ(entries(root), 1);
}

TEST_F(PosixFilesTest, MovingNeverReplacesWhatIsAlreadyThere) {
    writeText(root / "from", "moved");
    writeText(root / "kept", "kept");
    EXPECT_TRUE(tells(files.move(root / "from", root / "kept"), root / "kept", EEXIST));
    EXPECT_EQ(fileText(root / "kept"), "kept");

    EXPECT_EQ(files.move(root / "from", root / "to"), std::nullopt);
    EXPECT_FALSE(files.exists(root / "from"));
    EXPECT_EQ(fileText(root / "to"), "moved");
    EXPECT_TRUE(tells(files.move(root / "from", root / "again"), root / "again", ENOENT));
}

TEST_F(PosixFilesTest, CreatingAFolderMakesPrivateLevelsAndAcceptsAnExistingOne) {
    const fs::path deep = root / "a" / "b";
    EXPECT_EQ(files.createFolder(deep), std::nullopt);
    EXPECT_EQ(mode(root / "a"), 0700u);
    EXPECT_EQ(mode(deep), 0700u);
    EXPECT_EQ(files.createFolder(deep), std::nullopt);

    writeText(root / "file", "x");
    EXPECT_TRUE(tells(files.createFolder(root / "file" / "sub"), root / "file" / "sub", ENOTDIR));
}

TEST_F(PosixFilesTest, AReadGivesEveryByteUpToItsLimitOrSaysWhyNot) {
    const std::string binary("\0\x01\xfe\xff text", 9);
    writeText(root / "binary", binary);
    writeText(root / "ten", "0123456789");
    writeText(root / "empty", "");
    const struct {
        const char* name;
        fs::path path;
        std::size_t limit;
        std::optional<std::string> contents; // none: refused
        std::string reason;
    } cases[] = {
        {"bytes of any value", root / "binary", binary.size(), binary, ""},
        {"exactly the limit", root / "ten", 10, "0123456789", ""},
        {"one byte more", root / "ten", 9, std::nullopt, "it is larger than the limit of 9 bytes"},
        {"empty with no room at all", root / "empty", 0, "", ""},
        // No size to tell beforehand, and no end: only the limit stops it.
        {"a device without end", "/dev/zero", 100'000, std::nullopt,
         "it is larger than the limit of 100000 bytes"},
        {"nothing there", root / "nothing", 1024, std::nullopt, std::strerror(ENOENT)},
        {"a folder", root, 1024, std::nullopt, std::strerror(EISDIR)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = files.read(c.path, c.limit);
        if (c.contents) {
            ASSERT_TRUE(read) << read.error.description;
            EXPECT_EQ(*read.value, bytes(*c.contents));
        } else {
            ASSERT_FALSE(read);
            EXPECT_NE(read.error.description.find(c.path.string() + ": " + c.reason),
                      std::string::npos)
                << read.error.description;
        }
    }
}

} // namespace
} // namespace quillo::posix

namespace quillo::posix {
namespace {

namespace fs = std::filesystem;

// The lock of the snippets file: readers share it, a writer has it alone, and it is free again
// when its holder lets go.
TEST(FileLockTest, WritersExcludeEveryoneAndReadersShare) {
    const fs::path root = fs::temp_directory_path() / ("quillo-lock-" + std::to_string(getpid()));
    const auto file = FileLock::pathIn(root / "Quillo");
    using Mode = FileLock::Mode;
    {
        auto writer = FileLock::acquire(file, Mode::exclusive);
        ASSERT_TRUE(writer) << "the folder is made when missing";
        EXPECT_FALSE(FileLock::tryAcquire(file, Mode::shared));
        EXPECT_FALSE(FileLock::tryAcquire(file, Mode::exclusive));
    }
    auto reader = FileLock::tryAcquire(file, Mode::shared);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(FileLock::tryAcquire(file, Mode::shared));
    EXPECT_FALSE(FileLock::tryAcquire(file, Mode::exclusive));
    reader = FileLock::tryAcquire(file, Mode::shared); // the first is let go on assignment
    EXPECT_FALSE(FileLock::tryAcquire(file, Mode::exclusive));
    reader.reset();
    EXPECT_TRUE(FileLock::tryAcquire(file, Mode::exclusive));
    fs::remove_all(root);
}

} // namespace
} // namespace quillo::posix
