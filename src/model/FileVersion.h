// One version of a file: which file lay at the path and a digest of what it held. The snippet
// store keeps the version of the snippets file that it last read or wrote, and before it writes
// again it looks whether the file is still that version, so that nothing another program wrote
// meanwhile is lost.
//
// The identity alone would not tell every change: file times tick coarsely, and a rewrite of the
// same length within one tick keeps it. Hence the digest; and the identity still tells a file
// that cannot be read from the next one.
#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace quillo::model {

struct FileVersion {
    platform::FileIdentity identity;
    // Of the contents; 0 for a file that could not be read.
    std::uint64_t digest = 0;

    static FileVersion of(const platform::FileIdentity& identity, const platform::Bytes& contents);
    bool operator==(const FileVersion&) const = default;
};

// The file at a path as it is now, read whole (at most `maxBytes`).
struct FileSnapshot {
    // None when nothing lies at the path.
    std::optional<FileVersion> version;
    platform::Result<platform::Bytes> contents;

    static FileSnapshot take(const platform::Files& files, const std::filesystem::path& path,
                             std::size_t maxBytes);
};

} // namespace quillo::model
