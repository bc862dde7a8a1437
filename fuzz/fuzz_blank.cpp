// quenUtil::IsBlank answers what RemoveSpaces(text).empty() answers, without
// converting.
#include <string>

#include "FuzzSupport.h"
#include "quenUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::Bytes(data, size);
  FUZZ_CHECK(quenUtil::IsBlank(text) == quenUtil::RemoveSpaces(text).empty());
  return 0;
}
