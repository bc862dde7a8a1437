#include "quenFileSystem.h"

#include <atomic>

namespace quenFile {
namespace {

// The base class's calls are the real ones, defined per platform.
FileSystem realSystem;
std::atomic<FileSystem*> current{&realSystem};

}  // namespace

FileSystem& System() { return *current.load(); }

FileSystem* SetSystem(FileSystem* fs) {
  FileSystem* old = current.exchange(fs ? fs : &realSystem);
  return old == &realSystem ? nullptr : old;
}

}  // namespace quenFile
