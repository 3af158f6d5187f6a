// Names as bytes: the corpus list cut into names however its bytes arrive, file names that are not
// UTF-8 in JSON, control characters in progress lines; and messages that name the real problem.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "name_list.h"
#include "output_format.h"
#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace pitchtrack::cli {

namespace {

using testsupport::shellQuote;

std::vector<std::string> split(std::string_view bytes, bool nulSeparated, size_t piece) {
  std::vector<std::string> names;
  NameSplitter splitter(nulSeparated,
                        [&names](std::string_view name) { names.emplace(names.end(), name); });
  for (size_t at = 0; at < bytes.size(); at += piece) {
    const std::string_view part = bytes.substr(at, piece);
    splitter.feed(std::span(part.data(), part.size()));
  }
  splitter.finish();
  return names;
}

struct ListCase {
  const char* what;
  std::string_view bytes;
  bool nulSeparated;
  std::vector<std::string> names;
};

TEST(NameList, NamesAreTheSameHoweverTheBytesArrive) {
  using namespace std::string_view_literals;
  const std::vector<ListCase> cases = {
      {"lines", "a.wav\nb.wav\n", false, {"a.wav", "b.wav"}},
      {"carriage returns and empty lines", "a.wav\r\n\n\r\nb c.wav", false, {"a.wav", "b c.wav"}},
      {"NUL-ended names keep newlines", "a\nb.wav\0\0c.wav\0"sv, true, {"a\nb.wav", "c.wav"}},
      {"a last name without its separator", "a.wav\0b.wav"sv, true, {"a.wav", "b.wav"}},
      {"nothing", "", false, {}},
  };
  for (const ListCase& c : cases) {
    for (const size_t piece : {size_t{1}, size_t{2}, size_t{7}, size_t{4096}}) {
      EXPECT_EQ(split(c.bytes, c.nulSeparated, piece), c.names)
          << c.what << ", pieces of " << piece;
    }
  }
}

struct JsonCase {
  const char* what;
  std::string name;
  std::string written;  // between the quotes
};

TEST(JsonNames, BytesThatAreNotUtf8AreWrittenAsTheirLatin1Characters) {
  const std::vector<JsonCase> cases = {
      {"Latin-1", "caf\xE9.wav", "caf\\u00e9.wav"},
      {"UTF-8 stays", "caf\xC3\xA9 \xF0\x9F\x8E\xB5.wav", "caf\xC3\xA9 \xF0\x9F\x8E\xB5.wav"},
      {"lone continuation byte", "a\x80z", "a\\u0080z"},
      {"overlong slash", "a\xC0\xAFz", "a\\u00c0\\u00afz"},
      {"surrogate", "a\xED\xA0\x80z", "a\\u00ed\\u00a0\\u0080z"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", "\\u00f4\\u0090\\u0080\\u0080"},
      {"cut short", "a\xE2\x82", "a\\u00e2\\u0082"},
      {"controls, quote and backslash", "\x01\"\\", "\\u0001\\\"\\\\"},
  };
  Contour contour;
  for (const JsonCase& c : cases) {
    const std::string json = formatJson(contour, c.name);
    const std::string expected = "{\"file\": \"" + c.written + "\", ";
    EXPECT_EQ(json.substr(0, expected.size()), expected) << c.what;
  }
}

struct MessageCase {
  const char* what;
  const char* arguments;
  int status;
  const char* says;  // in standard error
};

TEST(Messages, EachProblemIsNamedAsItIs) {
  const testsupport::TempDir work;
  const std::vector<MessageCase> cases = {
      {"an empty output folder", "-o '' x.wav", 2, "pitchtrack: -o needs a folder name;"},
      {"a thread count that is no number", "-j abc -o o x.wav", 2,
       "needs a whole number of threads from 1 to 1024, not 'abc'"},
      {"a thread count out of range", "-j 0 -o o x.wav", 2,
       "needs a whole number of threads from 1 to 1024, not '0'"},
      {"an output folder that is a dangling link", "-q -o dangling x.wav", 1,
       "pitchtrack: dangling: a symbolic link to a folder that does not exist\n"},
  };
  ASSERT_EQ(
      testsupport::runShell("cd " + shellQuote(work.root().string()) + " && ln -s nowhere dangling",
                            work.root())
          .status,
      0);
  for (const MessageCase& c : cases) {
    const auto run = testsupport::runTool(work.root(), c.arguments);
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_NE(run.error.find(c.says), std::string::npos) << c.what << ": " << run.error;
  }
}

// The default run's lines print a printable name as it is and a control character escaped, so a
// name cannot move the cursor, clear the screen or change the colours of a terminal.
TEST(Messages, ControlCharactersInNamesAreEscapedOnStandardOutput) {
  const testsupport::TempDir work;
  const std::string recording = std::string(EXAMPLES_DIR) + "/melody.wav";
  const auto run = testsupport::runTool(
      work.root(), shellQuote(recording) + " " + shellQuote("o\x1B[2Jut\x07.pitch"));
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_NE(run.output.find("Writing pitch to o\\x1B[2Jut\\x07.pitch\n"), std::string::npos)
      << run.output;
  const auto missing = testsupport::runTool(work.root(), "'no\nsuch.wav' out.pitch");
  EXPECT_EQ(missing.output, "Error: cannot open wave file no\\nsuch.wav!\n");
}

}  // namespace

}  // namespace pitchtrack::cli
