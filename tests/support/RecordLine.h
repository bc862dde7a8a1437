// The one builder of record lines for every test: a line of TAB-separated
// fields whose fields the run reads are chosen and whose others hold
// fillers that tell lines apart. Texts are UTF-8 and end up CP932.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

std::string Cp932(std::string_view utf8);

struct Rec {
  std::string id = "00000001";
  std::string key = "K1";
  std::string title = "書名";
  std::string reading = "ショメイ";
  std::string ndc = "913.6";
  int fields = 30;
};

std::string RecordLine(const Rec& r);
std::string RecordLine(std::string_view id, std::string_view key, std::string_view title = "書名",
                       std::string_view reading = "ショメイ", std::string_view ndc = "913.6");
// id is written with eight digits.
std::string RecordLine(int id, std::string_view key, std::string_view title = "書名",
                       std::string_view reading = "ショメイ", std::string_view ndc = "913.6");

// Lines joined with CR LF after each, as a record file holds them.
std::string Crlf(const std::vector<std::string>& lines);

}  // namespace testing_support
