// LineList: loading follows the documented breaking rule, and a saved list
// is its lines each followed by CR LF and loads back as the same lines.
// The file lives in memory, for speed.
#include <string>

#include "FuzzSupport.h"
#include "LineList.h"
#include "MemoryFileSystem.h"

namespace {

fuzz::MemoryFileSystem memory;

std::string Saved(const std::filesystem::path& file) {
  const std::string* bytes = memory.File(file);
  FUZZ_CHECK(bytes != nullptr);
  return *bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quenFile::SetSystem(&memory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  LineList list;
  list.LoadFromBytes(std::string(bytes));

  const std::vector<std::string_view> expected = fuzz::ReferenceLines(bytes);
  FUZZ_CHECK(list.size() == expected.size());
  FUZZ_CHECK(LineList::CountLines(bytes) == expected.size());
  std::string saved;
  for (std::size_t i = 0; i < list.size(); ++i) {
    FUZZ_CHECK(list[i] == expected[i]);
    saved.append(list[i]).append("\r\n");
  }

  const std::filesystem::path file = "/lines.txt";
  list.SaveToFile(file);
  FUZZ_CHECK(Saved(file) == saved);

  // Lines past what an entry packs (here past lowered limits) come out the
  // same, loaded or added.
  LineList narrow(2 * LineArena::kChunkBytes, 16);
  narrow.LoadFromBytes(std::string(bytes));
  LineList narrowAdded(LineArena::kChunkBytes, 4);
  for (std::size_t i = 0; i < list.size(); ++i) narrowAdded.Add(list[i]);
  FUZZ_CHECK(narrow.size() == expected.size() && narrowAdded.size() == expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    FUZZ_CHECK(narrow[i] == expected[i] && narrowAdded[i] == expected[i]);
  }

  LineList reloaded;
  reloaded.LoadFromFile(file);
  FUZZ_CHECK(reloaded.size() == list.size());
  for (std::size_t i = 0; i < list.size(); ++i) FUZZ_CHECK(reloaded[i] == list[i]);

  // Lines added one by one (copied) or taken over (shared) are the same
  // lines and save the same way.
  LineList copied;
  LineList shared;
  for (std::size_t i = 0; i < list.size(); ++i) {
    copied.Add(list[i]);
    shared.AddFrom(list, i);
  }
  list.Clear();  // the shared lines must keep their bytes alive on their own
  FUZZ_CHECK(copied.size() == expected.size() && shared.size() == expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    FUZZ_CHECK(copied[i] == expected[i]);
    FUZZ_CHECK(shared[i] == expected[i]);
  }
  shared.SaveToFile(file);
  FUZZ_CHECK(Saved(file) == saved);
  FUZZ_CHECK(memory.OpenDescriptors() == 0);
  return 0;
}
