// The file-system seam's real calls on Windows, in the POSIX shapes the file
// layer is written in. Descriptors index a table of handles that also keeps
// each one's full path, so the *At calls are the path calls on
// "<folder>\<name>". Paths arrive as UTF-8 and reach Win32 as wide text in
// the "\\?\" form, so neither the ANSI code page nor MAX_PATH limits them.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "quenFileSystem.h"

namespace quenFile {
namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;

// What the program meets, in the errno values its messages know.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
      return EACCES;
    case ERROR_PRIVILEGE_NOT_HELD:
      return EPERM;
    // Another program holds the file open: the sharing violation's own words.
    case ERROR_SHARING_VIOLATION:
      return ETXTBSY;
    case ERROR_LOCK_VIOLATION:
      return EWOULDBLOCK;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case kDiskQuotaExceeded:
      return EDQUOT;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_CANT_RESOLVE_FILENAME:
      return ELOOP;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return EOPNOTSUPP;
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    default:
      return EIO;
  }
}

int Fail(DWORD error) {
  errno = ErrnoOf(error);
  return -1;
}
int Fail() { return Fail(::GetLastError()); }

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
  return utf8;
}

// The full "\\?\" form of a path: the one that passes MAX_PATH.
std::wstring LongForm(std::string_view utf8) {
  std::wstring path = Widen(utf8);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (path.starts_with(L"\\\\?\\") || path.empty()) return path;
  const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  full.resize(written);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

struct OpenFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring path;  // long form, for the *At calls
  int flags = 0;
  HANDLE lock = nullptr;  // the folder's run lock, once taken
};

// Descriptors start above the standard streams' numbers.
constexpr int kFirstFd = 3;

class HandleTable {
 public:
  int Add(OpenFile file) {
    std::lock_guard guard(mutex_);
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (!files_[i]) {
        files_[i] = std::move(file);
        return static_cast<int>(i) + kFirstFd;
      }
    }
    files_.push_back(std::move(file));
    return static_cast<int>(files_.size()) - 1 + kFirstFd;
  }
  std::optional<OpenFile> Take(int fd) {
    std::lock_guard guard(mutex_);
    OpenFile* file = Find(fd);
    if (file == nullptr) return std::nullopt;
    std::optional<OpenFile> taken = std::move(*file);
    files_[static_cast<std::size_t>(fd - kFirstFd)].reset();
    return taken;
  }
  HANDLE Handle(int fd) {
    std::lock_guard guard(mutex_);
    const OpenFile* file = Find(fd);
    return file ? file->handle : INVALID_HANDLE_VALUE;
  }
  std::optional<std::wstring> Path(int fd) {
    std::lock_guard guard(mutex_);
    const OpenFile* file = Find(fd);
    if (file == nullptr) return std::nullopt;
    return file->path;
  }
  bool SetLock(int fd, HANDLE lock) {
    std::lock_guard guard(mutex_);
    OpenFile* file = Find(fd);
    if (file == nullptr) return false;
    file->lock = lock;
    return true;
  }
  int Flags(int fd) {
    std::lock_guard guard(mutex_);
    const OpenFile* file = Find(fd);
    return file ? file->flags : -1;
  }

 private:
  OpenFile* Find(int fd) {
    const std::size_t i = static_cast<std::size_t>(fd - kFirstFd);
    if (fd < kFirstFd || i >= files_.size() || !files_[i]) return nullptr;
    return &*files_[i];
  }
  std::mutex mutex_;
  std::vector<std::optional<OpenFile>> files_;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

// The long form of name in the folder open as dirFd, or of the path name
// with AT_FDCWD; nothing (errno EBADF) for a descriptor that is not open.
std::optional<std::wstring> PathIn(int dirFd, const char* name) {
  if (dirFd == AT_FDCWD) return LongForm(name);
  std::optional<std::wstring> folder = Table().Path(dirFd);
  if (!folder) {
    errno = EBADF;
    return std::nullopt;
  }
  return *folder + L"\\" + Widen(name);
}

void FillStatus(DWORD attributes, unsigned long long size, struct stat* st, bool follow) {
  *st = {};
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !follow) {
    st->st_mode = S_IFLNK | 0777;
    return;
  }
  st->st_mode = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? (S_IFDIR | 0555) : (S_IFREG | 0444);
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) st->st_mode |= 0222;
  st->st_size = static_cast<decltype(st->st_size)>(size);
}

int StatusOfHandle(HANDLE handle, struct stat* st) {
  switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_PIPE:
      *st = {};
      st->st_mode = S_IFIFO | 0666;
      return 0;
    case FILE_TYPE_CHAR:
      *st = {};
      st->st_mode = S_IFCHR | 0666;
      return 0;
    default:
      return Fail();
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return Fail();
  FillStatus(info.dwFileAttributes & ~FILE_ATTRIBUTE_REPARSE_POINT,
             (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow, st,
             true);
  return 0;
}

int StatusOfPath(const std::wstring& path, struct stat* st, bool follow) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return Fail();
  if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !follow) {
    FillStatus(data.dwFileAttributes,
               (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, st,
               follow);
    return 0;
  }
  // A link: what it leads to, by opening it.
  const HANDLE handle =
      ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail();
  const int result = StatusOfHandle(handle, st);
  ::CloseHandle(handle);
  return result;
}

int OpenPath(const std::wstring& path, int flags) {
  DWORD access = GENERIC_READ;
  if ((flags & O_ACCMODE) == O_WRONLY) access = GENERIC_WRITE;
  if ((flags & O_ACCMODE) == O_RDWR) access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  if ((flags & O_CREAT) && (flags & O_EXCL)) {
    disposition = CREATE_NEW;
  } else if (flags & O_CREAT) {
    disposition = (flags & O_TRUNC) ? CREATE_ALWAYS : OPEN_ALWAYS;
  } else if (flags & O_TRUNC) {
    disposition = TRUNCATE_EXISTING;
  }
  // The program creates files exclusively only for its temporary files,
  // which stay out of sight until they are renamed over their target.
  const DWORD attributes =
      disposition == CREATE_NEW ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL;
  // Backup semantics let a folder be opened, as a descriptor of one must be.
  DWORD options = FILE_FLAG_BACKUP_SEMANTICS;
  if (flags & O_NOFOLLOW) options |= FILE_FLAG_OPEN_REPARSE_POINT;
  // Shared reading: other programs may go on reading and writing the file.
  const HANDLE handle =
      ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, attributes | options, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail();
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known =
      ::GetFileType(handle) == FILE_TYPE_DISK && ::GetFileInformationByHandle(handle, &info);
  int refusal = 0;
  if (known && (flags & O_NOFOLLOW) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    refusal = ELOOP;
  } else if ((flags & O_DIRECTORY) &&
             !(known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))) {
    refusal = ENOTDIR;
  }
  if (refusal != 0) {
    ::CloseHandle(handle);
    errno = refusal;
    return -1;
  }
  return Table().Add(OpenFile{handle, path, flags});
}

int ListPath(const std::wstring& folder, std::vector<DirEntry>& entries) {
  entries.clear();
  WIN32_FIND_DATAW data;
  const HANDLE find = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // A drive's root can be without even "." and "..".
    if (error == ERROR_FILE_NOT_FOUND) return 0;
    return ErrnoOf(error);
  }
  int result = 0;
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    bool regular = !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (regular && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      // A link counts as a file only when it leads to one.
      struct stat st {};
      regular =
          StatusOfPath(folder + L"\\" + data.cFileName, &st, true) == 0 && S_ISREG(st.st_mode);
    }
    const bool hidden = data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    entries.push_back(DirEntry{Narrow(name), regular, hidden});
  } while (::FindNextFileW(find, &data));
  if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES) result = ErrnoOf(error);
  ::FindClose(find);
  return result;
}

int RenamePath(const std::wstring& source, const std::wstring& target) {
  // A temporary file was created hidden; the file it becomes must not be.
  const DWORD attributes = ::GetFileAttributesW(source.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN)) {
    const DWORD shown = attributes & ~FILE_ATTRIBUTE_HIDDEN;
    ::SetFileAttributesW(source.c_str(), shown != 0 ? shown : FILE_ATTRIBUTE_NORMAL);
  }
  return ::MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : Fail();
}

// The run lock of a folder: a named mutex per folder (volume and file
// index), alive while a handle to it is open. Creating one that exists
// means another run holds the folder.
int LockFolder(int fd) {
  const HANDLE handle = Table().Handle(fd);
  BY_HANDLE_FILE_INFORMATION info;
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  if (!::GetFileInformationByHandle(handle, &info)) return Fail();
  wchar_t name[96];
  std::swprintf(name, 96, L"Local\\TextCnv.folder.%08lx.%08lx%08lx", info.dwVolumeSerialNumber,
                info.nFileIndexHigh, info.nFileIndexLow);
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return Fail();
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    errno = EWOULDBLOCK;
    return -1;
  }
  Table().SetLock(fd, mutex);
  return 0;
}

}  // namespace

int FileSystem::Open(const char* path, int flags, mode_t) {
  return OpenPath(LongForm(path), flags);
}

ssize_t FileSystem::Read(int fd, void* buffer, std::size_t size) {
  const HANDLE handle = Table().Handle(fd);
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (!::ReadFile(handle, buffer, want, &got, nullptr)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    return Fail(error);
  }
  return static_cast<ssize_t>(got);
}

ssize_t FileSystem::Write(int fd, const void* buffer, std::size_t size) {
  const HANDLE handle = Table().Handle(fd);
  DWORD put = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (!::WriteFile(handle, buffer, want, &put, nullptr)) return Fail();
  return static_cast<ssize_t>(put);
}

int FileSystem::Sync(int fd) { return ::FlushFileBuffers(Table().Handle(fd)) ? 0 : Fail(); }

// Windows writes dirty pages back on its own; FlushFileBuffers at the end is
// the one call that waits.
int FileSystem::StartWriteBack(int, long long, long long) { return 0; }

// Nothing to do: every rename is a MoveFileExW with MOVEFILE_WRITE_THROUGH,
// which returns only once the move is on the disk; a folder has no flush of
// its own a program can ask for.
int FileSystem::SyncFolder(int) { return 0; }

int FileSystem::Close(int fd) {
  std::optional<OpenFile> file = Table().Take(fd);
  if (!file) {
    errno = EBADF;
    return -1;
  }
  if (file->lock != nullptr) ::CloseHandle(file->lock);
  return ::CloseHandle(file->handle) ? 0 : Fail();
}

int FileSystem::Rename(const char* from, const char* to) {
  return RenamePath(LongForm(from), LongForm(to));
}

int FileSystem::Unlink(const char* path) {
  return ::DeleteFileW(LongForm(path).c_str()) ? 0 : Fail();
}

int FileSystem::MakeDirectory(const char* path, mode_t) {
  return ::CreateDirectoryW(LongForm(path).c_str(), nullptr) ? 0 : Fail();
}

int FileSystem::Status(const char* path, struct stat* st, bool follow) {
  return StatusOfPath(LongForm(path), st, follow);
}

int FileSystem::List(const char* path, std::vector<DirEntry>& entries) {
  return ListPath(LongForm(path), entries);
}

int FileSystem::OpenAt(int dirFd, const char* name, int flags, mode_t) {
  const std::optional<std::wstring> path = PathIn(dirFd, name);
  return path ? OpenPath(*path, flags) : -1;
}

int FileSystem::RenameAt(int fromDirFd, const char* from, int toDirFd, const char* to) {
  const std::optional<std::wstring> source = PathIn(fromDirFd, from);
  const std::optional<std::wstring> target = PathIn(toDirFd, to);
  if (!source || !target) return -1;
  return RenamePath(*source, *target);
}

int FileSystem::LinkAt(int fromDirFd, const char* from, int toDirFd, const char* to) {
  const std::optional<std::wstring> source = PathIn(fromDirFd, from);
  const std::optional<std::wstring> target = PathIn(toDirFd, to);
  if (!source || !target) return -1;
  return ::CreateHardLinkW(target->c_str(), source->c_str(), nullptr) ? 0 : Fail();
}

int FileSystem::UnlinkAt(int dirFd, const char* name, int) {
  const std::optional<std::wstring> path = PathIn(dirFd, name);
  if (!path) return -1;
  return ::DeleteFileW(path->c_str()) ? 0 : Fail();
}

int FileSystem::StatusAt(int dirFd, const char* name, struct stat* st, bool follow) {
  const std::optional<std::wstring> path = PathIn(dirFd, name);
  return path ? StatusOfPath(*path, st, follow) : -1;
}

int FileSystem::AccessAt(int dirFd, const char* name, int mode) {
  const std::optional<std::wstring> path = PathIn(dirFd, name);
  if (!path) return -1;
  const DWORD attributes = ::GetFileAttributesW(path->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail();
  // A folder's read-only attribute means nothing for its files.
  if ((mode & W_OK) && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

int FileSystem::ListAt(int dirFd, std::vector<DirEntry>& entries) {
  const std::optional<std::wstring> folder = Table().Path(dirFd);
  if (!folder) return EBADF;
  return ListPath(*folder, entries);
}

int FileSystem::FileStatus(int fd, struct stat* st) {
  return StatusOfHandle(Table().Handle(fd), st);
}

// Windows has no kernel interfaces dressed as disk files.
int FileSystem::IsKernelFile(int fd) {
  if (Table().Handle(fd) == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  return 0;
}

// Only read-only would matter, and a read-only target is refused before a
// replacement is made; a new file gets the folder's inherited security.
int FileSystem::ChangeMode(int, mode_t) { return 0; }

int FileSystem::Lock(int fd, int) { return LockFolder(fd); }

// Reads never wait on a Windows disk file, so the non-blocking flag is only
// kept to be handed back.
int FileSystem::Control(int fd, int command, int) {
  const int flags = Table().Flags(fd);
  if (flags < 0) {
    errno = EBADF;
    return -1;
  }
  return command == F_GETFL ? flags : 0;
}

// Windows has no unnamed files: writers fall back to a hidden temporary.
int FileSystem::OpenUnnamed(const char*, mode_t) {
  errno = EOPNOTSUPP;
  return -1;
}
int FileSystem::LinkUnnamed(int, const char*) {
  errno = EOPNOTSUPP;
  return -1;
}

// A link's final target, as the system resolves it: Windows keeps no
// relative text worth reading back.
int FileSystem::ReadLink(const char* path, std::string& target) {
  const std::wstring link = LongForm(path);
  const DWORD attributes = ::GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail();
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return errno = EINVAL, -1;
  const HANDLE handle =
      ::CreateFileW(link.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail();
  std::wstring resolved(32768, L'\0');
  const DWORD n = ::GetFinalPathNameByHandleW(
      handle, resolved.data(), static_cast<DWORD>(resolved.size()), FILE_NAME_NORMALIZED);
  const DWORD error = ::GetLastError();
  ::CloseHandle(handle);
  if (n == 0 || n >= resolved.size()) return Fail(error);
  resolved.resize(n);
  if (resolved.starts_with(L"\\\\?\\UNC\\")) {
    resolved = L"\\\\" + resolved.substr(8);
  } else if (resolved.starts_with(L"\\\\?\\")) {
    resolved = resolved.substr(4);
  }
  target = Narrow(resolved);
  return 0;
}

// Files are read, not mapped: ReadFile serves them well enough here.
int FileSystem::Map(int, void*, std::size_t) { return errno = ENOSYS, -1; }

}  // namespace quenFile
