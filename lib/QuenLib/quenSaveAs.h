// quenSaveAs: writing a file a user named, as a shell's ">" would, but never
// half of a regular file.
#pragma once

#include <filesystem>
#include <string_view>

namespace quenFile {

// Writes bytes to path. A symbolic link is followed; what it leads to is
// treated by its own type:
// - a device, a FIFO or a terminal is opened and written in place;
// - a regular file, or none, is replaced atomically: the bytes go to a file
//   without a name (where the file system has those; else to a hidden
//   temporary beside it, which the next save of the same name removes
//   should the process die), flushed to disk, then put in place. A new file
//   gets 0666 less the umask; a replaced one keeps its permission bits, and
//   one that is not writable is refused.
// A folder is refused (EISDIR). Throws FileError naming path.
void SaveAs(const std::filesystem::path& path, std::string_view bytes);

}  // namespace quenFile
