// quenReason: the system's reason for a failed file operation in Japanese,
// worded as Windows words it, whatever the locale, for every message that
// names a file and why it failed.
#pragma once

#include <string>

namespace quenFile {

// Not a system error number: this program refused a file that is no regular
// file on a disk (a FIFO, a device, a socket or a kernel interface such as
// /proc/kmsg), whose reading could wait for ever.
constexpr int kNotRegularFile = -1;
// Nor are these: a folder could not be made or opened because a file of
// that name is in its way, because it is a symbolic link, or because the
// folder it belongs in no longer exists.
constexpr int kFileInTheWay = -2;
constexpr int kSymbolicLink = -3;
constexpr int kFolderNotFound = -4;

// The reason for errorNumber (an errno value or one of the above), UTF-8. A
// number without a Japanese text gives the system's own text.
std::string ReasonText(int errorNumber);

}  // namespace quenFile
