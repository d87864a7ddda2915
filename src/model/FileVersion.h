// One version of a file: which file lay at the path, and a digest of what it held. The snippet
// store keeps the version of the snippets file that it last read or wrote, to tell whether
// another program has written the file since.
//
// The identity alone misses one change: file times tick coarsely (every few milliseconds), so a
// rewrite in place, of the same length, within the tick of the version before keeps it. The
// digest catches that one, at the price of reading the file.
#pragma once

#include "platform/Platform.h"

#include <cstdint>

namespace quillo::model {

struct FileVersion {
    platform::FileIdentity identity;
    // Of the contents; 0 for a file that could not be read.
    std::uint64_t digest = 0;

    static FileVersion of(const platform::FileIdentity& identity, const platform::Bytes& contents);
    bool operator==(const FileVersion&) const = default;
};

} // namespace quillo::model
