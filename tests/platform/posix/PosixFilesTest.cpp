// The files of both desktops: whole, durable replacement, permissions, links, reads bounded by
// their limit, and moves that never replace.
#include "platform/posix/PosixFiles.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <sys/stat.h>

namespace quillo::posix {
namespace {

namespace fs = std::filesystem;
using platform::Bytes;

Bytes bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class PosixFilesTest : public ::testing::Test {
  protected:
    PosixFilesTest() {
        std::random_device random;
        root = fs::temp_directory_path() /
               ("quillo-files-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(root);
    }
    ~PosixFilesTest() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

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

    fs::path root;
    PosixFiles files{root};
};

TEST_F(PosixFilesTest, AWriteReplacesTheWholeFileAndLeavesNothingBeside) {
    const fs::path path = root / "snippets.json";
    EXPECT_FALSE(files.exists(path));
    ASSERT_EQ(files.writeAtomically(path, bytes("the old, longer contents")), std::nullopt);
    EXPECT_TRUE(files.exists(path));
    ASSERT_EQ(files.writeAtomically(path, bytes("new")), std::nullopt);

    EXPECT_EQ(fileText(path), "new");
    EXPECT_EQ(names(root), std::vector<std::string>{"snippets.json"});
}

TEST_F(PosixFilesTest, ANewFileIsPrivateAndAReplacedOneKeepsItsPermissions) {
    const fs::path fresh = root / "fresh";
    ASSERT_EQ(files.writeAtomically(fresh, bytes("x")), std::nullopt);
    EXPECT_EQ(mode(fresh), 0600u);

    const fs::path shared = root / "shared";
    writeText(shared, "old");
    ::chmod(shared.c_str(), 0644);
    ASSERT_EQ(files.writeAtomically(shared, bytes("new")), std::nullopt);
    EXPECT_EQ(mode(shared), 0644u);
}

TEST_F(PosixFilesTest, WritingThroughALinkReplacesTheFileItNamesAndKeepsTheLink) {
    const fs::path real = root / "dotfiles" / "snippets.json";
    const fs::path link = root / "snippets.json";
    writeText(real, "old");
    fs::create_symlink(real, link);

    ASSERT_EQ(files.writeAtomically(link, bytes("new")), std::nullopt);

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fileText(real), "new");
    EXPECT_EQ(names(root / "dotfiles"), std::vector<std::string>{"snippets.json"});
}

TEST_F(PosixFilesTest, AFailedWriteSaysWhyAndLeavesTheOldContentsAndNoTemporaryFile) {
    // A folder in the file's place makes the final rename fail after the data was written.
    const fs::path taken = root / "taken";
    writeText(taken / "inside", "old");
    const struct {
        fs::path path;
        int error;
    } cases[] = {{taken, EISDIR}, {root / "missing" / "file", ENOENT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto error = files.writeAtomically(c.path, bytes("new"));
        ASSERT_TRUE(error);
        EXPECT_NE(error->description.find(c.path.string()), std::string::npos)
            << error->description;
        EXPECT_NE(error->description.find(std::strerror(c.error)), std::string::npos)
            << error->description;
    }
    EXPECT_EQ(fileText(taken / "inside"), "old");
    EXPECT_EQ(names(root), std::vector<std::string>{"taken"});
}

TEST_F(PosixFilesTest, MovingNeverReplacesWhatIsAlreadyThere) {
    writeText(root / "from", "moved");
    writeText(root / "kept", "kept");

    auto error = files.move(root / "from", root / "kept");
    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find(std::strerror(EEXIST)), std::string::npos)
        << error->description;
    EXPECT_EQ(fileText(root / "kept"), "kept");
    EXPECT_EQ(fileText(root / "from"), "moved");

    EXPECT_EQ(files.move(root / "from", root / "to"), std::nullopt);
    EXPECT_FALSE(files.exists(root / "from"));
    EXPECT_EQ(fileText(root / "to"), "moved");

    auto gone = files.move(root / "from", root / "again");
    ASSERT_TRUE(gone);
    EXPECT_NE(gone->description.find((root / "from").string()), std::string::npos);
    EXPECT_NE(gone->description.find(std::strerror(ENOENT)), std::string::npos);
}

TEST_F(PosixFilesTest, CreatingAFolderMakesPrivateLevelsAndAcceptsAnExistingOne) {
    const fs::path deep = root / "a" / "b";
    EXPECT_EQ(files.createFolder(deep), std::nullopt);
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(mode(root / "a"), 0700u);
    EXPECT_EQ(mode(deep), 0700u);
    EXPECT_EQ(files.createFolder(deep), std::nullopt);

    writeText(root / "file", "x");
    auto error = files.createFolder(root / "file" / "sub");
    ASSERT_TRUE(error);
    EXPECT_NE(error->description.find((root / "file" / "sub").string()), std::string::npos);
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
