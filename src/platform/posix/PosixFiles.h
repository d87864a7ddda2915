// The program's files on a POSIX system, for the Linux desktop and the simulated one alike.
//
// A write replaces the file whole and durably: the new bytes go to a file of their own in the
// same folder, are flushed to the disk, and take the old file's name in one rename, after which
// the folder itself is flushed. A crash, a kill or a power cut at any instant leaves either the
// whole old file or the whole new one. Where the file system allows it the new file has no name
// until it is complete, so an interrupted write leaves nothing behind either.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>

namespace quillo::posix {

class PosixFiles final : public platform::Files {
  public:
    // `dataFolder` is where the program keeps its data; none when there is no such place.
    explicit PosixFiles(std::optional<std::filesystem::path> dataFolder)
        : dataFolder_(std::move(dataFolder)) {}

    std::optional<std::filesystem::path> dataFolder() const override { return dataFolder_; }
    // True for a file, a folder, or a link to one of them.
    bool exists(const std::filesystem::path& path) const override;
    // Creates every missing level with permissions 0700, as the XDG rules ask of data folders.
    std::optional<platform::FileError> createFolder(const std::filesystem::path& path) override;
    // Renames; fails rather than replace anything already at `to`.
    std::optional<platform::FileError> move(const std::filesystem::path& from,
                                            const std::filesystem::path& to) override;
    platform::Result<platform::Bytes> read(const std::filesystem::path& path,
                                           std::size_t maxBytes) const override;
    // A new file is private to the user (0600); a replaced one keeps its permissions. When
    // `path` is a symbolic link, the file it names is replaced and the link stays.
    std::optional<platform::FileError> writeAtomically(const std::filesystem::path& path,
                                                       const platform::Bytes& data) override;
    std::optional<platform::FileIdentity>
    identify(const std::filesystem::path& path) const override;

  private:
    std::optional<std::filesystem::path> dataFolder_;
};

// The same operations for files outside the data folder (preferences, the autostart entry).
platform::Result<platform::Bytes>
readFile(const std::filesystem::path& path,
         std::size_t maxBytes = std::numeric_limits<std::size_t>::max());
std::optional<platform::FileError> writeFileAtomically(const std::filesystem::path& path,
                                                       const platform::Bytes& data);
std::optional<platform::FileError> createFolders(const std::filesystem::path& path);

} // namespace quillo::posix
