#include "RecordFormat.h"

#include "quenText.h"

const std::array<std::string, 3>& ErrorKindNames() {
  static const std::array<std::string, 3> names = {
      std::string(),
      quenText::FromUtf8("書名（ヨミ）空白"),
      quenText::FromUtf8("ＮＤＣ桁数"),
  };
  return names;
}
