// libFuzzer target: the corpus list reader and the CSV and JSON writers on arbitrary bytes.
//
// Input layout: 1 byte of flags (bit 0: NUL-separated names, else lines; bits 1..3: the size of
// the pieces the list arrives in, 1 to 128 bytes), 1 byte giving how many of the following bytes
// form the list (the rest is a file name for the writers, and also the contour's values, a byte
// each, 0 or 340 to 900 in tenths).
//
// Checked beyond the sanitizers: every name is non-empty, holds no separator, and the names are
// the same whatever the piece size; the JSON text is well-formed UTF-8 without raw control
// characters; the CSV text has a header and one row per contour value.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "name_list.h"
#include "output_format.h"
#include "utf8.h"

namespace pitchtrack::cli {

namespace {

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "cli_text_fuzz: %s\n", what);
  std::abort();
}

std::vector<std::string> namesOf(std::string_view list, bool nulSeparated, size_t piece) {
  std::vector<std::string> names;
  NameSplitter splitter(nulSeparated,
                        [&names](std::string_view name) { names.emplace_back(name); });
  for (size_t at = 0; at < list.size(); at += piece) {
    const std::string_view part = list.substr(at, piece);
    splitter.feed(std::span(part.data(), part.size()));
  }
  splitter.finish();
  return names;
}

void checkNames(std::string_view list, bool nulSeparated, size_t piece) {
  const std::vector<std::string> names = namesOf(list, nulSeparated, piece);
  const char separator = nulSeparated ? '\0' : '\n';
  for (const std::string& name : names) {
    if (name.empty()) broken("an empty name");
    if (name.find(separator) != std::string::npos) broken("a name holds its separator");
  }
  if (names != namesOf(list, nulSeparated, list.size() + 1)) {
    broken("the names depend on the pieces the list arrives in");
  }
}

void checkJson(const std::string& json) {
  for (size_t i = 0; i < json.size();) {
    const size_t length = utf8SequenceLength(std::string_view(json).substr(i));
    if (length == 0) broken("JSON that is not UTF-8");
    if (static_cast<unsigned char>(json[i]) < 0x20 && json[i] != '\n') {
      broken("a raw control character in JSON");
    }
    i += length;
  }
}

Contour contourOf(std::string_view bytes) {
  Contour contour;
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    contour.values.push_back(b < 16 ? 0 : 340 + (b % 57) * 10);
  }
  return contour;
}

}  // namespace

}  // namespace pitchtrack::cli

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using pitchtrack::cli::checkJson;
  using pitchtrack::cli::checkNames;
  using pitchtrack::cli::contourOf;
  if (size < 2) return 0;
  const bool nulSeparated = (data[0] & 1) != 0;
  const size_t piece = size_t{1} << ((data[0] >> 1) & 7);
  const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string_view list = rest.substr(0, data[1]);
  const std::string name(rest.substr(list.size()));
  checkNames(list, nulSeparated, piece);
  const pitchtrack::Contour contour = contourOf(name);
  checkJson(pitchtrack::cli::formatJson(contour, name));
  const std::string csv = pitchtrack::cli::formatCsv(contour);
  if (static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')) != contour.size() + 1) {
    pitchtrack::cli::broken("a CSV row missing or extra");
  }
  return 0;
}
