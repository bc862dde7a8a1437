// quenOutputFolder: the folder a run writes into, held open from the start
// so that every output goes to that very folder: a symbolic link there is
// refused instead of followed, a folder swapped for a link later is not
// followed either, and two runs on one folder are kept apart by a lock.
//
//   quenFile::OutputFolder out(folderPath);      // throws FileError (create)
//   if (!out.TryLock()) { /* another run is busy here: box, end */ }
//   quenFile::RemoveStaleTemporaries(out);
//   if (out.Exists(name) && !out.Remove(name)) { ... }
//   quenFile::WriteAll(out, name, bytes);
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "quenFile.h"

namespace quenFile {

class OutputFolder {
 public:
  // Opens the folder at path, first creating that one level when nothing is
  // there. Throws FileError (create, naming path) when it cannot be created
  // or opened, or when a symbolic link or anything but a folder is there
  // (ENOTDIR).
  explicit OutputFolder(std::filesystem::path path);
  ~OutputFolder();
  OutputFolder(OutputFolder&& other) noexcept;
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;
  OutputFolder& operator=(OutputFolder&&) = delete;

  // The folder's path, without a trailing delimiter, and a name in it: the
  // paths failure messages show.
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path PathOf(std::string_view name) const;
  int fd() const { return fd_; }

  // Takes the run lock of the folder without waiting: false when another
  // open folder object (in this process or another) holds it. Held until
  // this object is destroyed or the process ends. Where the file system
  // cannot lock at all, true: the run goes unguarded rather than not at all.
  // Throws FileError (input/output) on any other failure.
  bool TryLock();

  // name is a plain file name in the folder; a symbolic link there is never
  // followed.
  // Whether something is there. Throws FileError (input/output).
  bool Exists(std::string_view name) const;
  // Whether a symbolic link is there. Throws FileError (input/output).
  bool IsSymlink(std::string_view name) const;
  // Deletes the file (a link itself, never a folder); false when it cannot.
  bool Remove(std::string_view name) const;
  // Deletes the file as Remove does, and fails as Remove fails, but leaves
  // freeing its contents, which takes long for a large file, to whoever
  // removes the hidden temporary name returned in aside: a second link kept
  // to the contents, or "" where none could be made. A name left behind is
  // what RemoveStaleTemporaries removes.
  bool RemoveLater(std::string_view name, std::string& aside) const;
  // The whole file, read as quenFile::ReadAll reads. Throws FileError.
  std::string ReadAll(std::string_view name) const;
  // Makes the renames and deletions done in the folder so far durable: the
  // files' own bytes are synced when written, the folder's entries are not.
  // Throws FileError (write, naming the folder); where the file system
  // cannot sync a folder at all, nothing happens.
  void Sync() const;

 private:
  bool Status(std::string_view name, struct stat& st) const;
  std::filesystem::path path_;
  int fd_ = -1;
};

// Writes bytes as one atomic replacement of name in folder.
void WriteAll(const OutputFolder& folder, std::string_view name, std::string_view bytes);

// Removes the temporary files AtomicWriter leaves when a process dies while
// writing (".<name>.tmp-<pid>-<n>"). Call it holding the folder's lock: then
// no other run can be writing them. Throws FileError (input/output) when the
// folder cannot be read; a file that cannot be removed stays.
void RemoveStaleTemporaries(const OutputFolder& folder);

}  // namespace quenFile
