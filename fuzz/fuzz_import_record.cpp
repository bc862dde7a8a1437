// ConversionRun::IsImportRecord agrees with the plain reading of a record
// line: at least 25 fields as quenUtil::Split cuts them, an 8-byte field 0
// and "1" in field 1.
#include <string>
#include <vector>

#include "ConversionRun.h"
#include "FuzzSupport.h"
#include "quenUtil.h"

namespace {

class NoHost : public RunHost {
 public:
  std::filesystem::path ConfirmedFolder() const override { return {}; }
};

bool PlainIsImportRecord(char delimiter, std::string_view line) {
  std::vector<std::string> fields;
  quenUtil::Split(delimiter, line, &fields);
  return fields.size() >= 25 && fields[0].size() == 8 && fields[1] == "1";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static NoHost host;
  static RunData runData;
  static const ConversionRun run(host, runData);
  const std::string_view line = fuzz::Bytes(data, size);
  FUZZ_CHECK(run.IsImportRecord(line) == PlainIsImportRecord(runData.Delimiter, line));
  return 0;
}
