// The extended-length path form ("\\?\C:\...", "\\?\UNC\server\share\...") and back.
// The wide file calls take paths beyond MAX_PATH in that form; callers know the ordinary one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvale {

// Lengths, in UTF-16 characters, at which the ordinary form stops working: a path must leave room
// for its terminating null within MAX_PATH, and a folder that CreateDirectory makes must leave
// room for an 8.3 name (MAX_PATH - 12) as well.
constexpr size_t kMaxPathLength = 260;
constexpr size_t kMaxFolderPathLength = kMaxPathLength - 12;

// `path` in the extended-length form when it is `limit` UTF-16 characters or longer. That form
// skips Windows' own clean-up of the path, so only what is already clean takes it: an absolute
// drive or UNC path without "." or ".." segments and without a segment ending in a dot or space
// (which Windows would trim). "/" becomes "\" and doubled delimiters become one, as Windows
// would make them. Anything else, and a path already in that form, comes back as it was.
std::string ExtendedLengthPath(std::string_view path, size_t limit = kMaxPathLength);

// An extended-length drive or UNC path as the ordinary path it stands for; any other path
// (a volume or device path among them) as it is.
std::string OrdinaryPath(std::string_view path);

}  // namespace corvale
