// pitchtrack --live on a pipe that stays open: values come out while the stream is still being
// written, and the end of the stream or SIGINT ends the run with status 0 after every frame the
// audio so far makes final, the same lines either way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include "support/run_tool.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

constexpr int kRate = 16000;
// Safety net against a hang; no test outcome depends on it.
constexpr int kGiveUpMilliseconds = 60000;

struct RunningTool {
  pid_t pid = -1;
  int input = -1;   // the tool's standard input
  int output = -1;  // the tool's standard output
};

RunningTool startLive() {
  int in[2];
  int out[2];
  EXPECT_EQ(::pipe(in), 0);
  EXPECT_EQ(::pipe(out), 0);
  RunningTool tool;
  tool.pid = ::fork();
  if (tool.pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    for (const int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
    ::execl(PITCHTRACK_BIN, "pitchtrack", "--live", "-", "-", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  tool.input = in[1];
  tool.output = out[0];
  return tool;
}

// Reads until `lines` lines have come (or the output ends).
void readLines(int output, size_t lines, std::string& text) {
  char buffer[4096];
  while (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) < lines) {
    pollfd watched{output, POLLIN, 0};
    if (::poll(&watched, 1, kGiveUpMilliseconds) <= 0) return;
    const ssize_t count = ::read(output, buffer, sizeof buffer);
    if (count <= 0) return;
    text.append(buffer, static_cast<size_t>(count));
  }
}

int exitStatus(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Two seconds of a hummed tone as a streaming WAV (data size 0xFFFFFFFF), ending inside a sample.
testwav::Bytes openEndedRecording() {
  const auto samples = testsignal::hummedNotes(kRate, {220, 262}, 0.9, 0.1, 0.05);
  testwav::Bytes body =
      testwav::chunk("fmt ", testwav::fmtPayload(testwav::format(testwav::kTagPcm, 1, kRate, 16)));
  testwav::appendText(body, "data");
  testwav::appendU32(body, 0xFFFFFFFF);
  for (const int16_t s : samples) testwav::appendU16(body, static_cast<uint16_t>(s));
  body.push_back(0x12);
  return testwav::riffWave(body);
}

TEST(LiveCli, ValuesArriveBeforeTheStreamEndsAndEveryFinalOneAtTheEnd) {
  const testwav::Bytes recording = openEndedRecording();
  testsupport::TempDir dir;
  testwav::writeFile(dir.path("in.wav"), recording);
  const auto whole = testsupport::runTool(dir.root(), "--live - - < in.wav");
  ASSERT_EQ(whole.status, 0) << whole.error;
  const size_t frames =
      static_cast<size_t>(std::count(whole.output.begin(), whole.output.end(), '\n'));
  EXPECT_EQ(frames, (recording.size() - 44) / 2 / 512);
  for (const bool interrupt : {false, true}) {
    const RunningTool tool = startLive();
    ASSERT_EQ(::write(tool.input, recording.data(), recording.size()),
              static_cast<ssize_t>(recording.size()));
    std::string text;
    readLines(tool.output, frames * 3 / 4, text);
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), frames * 3 / 4) << "before the end";
    if (interrupt) ::kill(tool.pid, SIGINT);
    ::close(tool.input);
    readLines(tool.output, frames + 1, text);
    ::close(tool.output);
    EXPECT_EQ(exitStatus(tool.pid), 0) << (interrupt ? "SIGINT" : "end");
    EXPECT_EQ(text, whole.output) << (interrupt ? "SIGINT" : "end");
  }
}

// With --notes the live run writes each note as it ends, the lines the file run writes.
TEST(LiveCli, NotesEqualTheFileRunsInEveryFormat) {
  testsupport::TempDir dir;
  testwav::writeFile(dir.path("in.wav"), openEndedRecording());
  for (const std::string format : {"line", "csv", "json"}) {
    const auto live =
        testsupport::runTool(dir.root(), "--live --notes --format=" + format + " - - < in.wav");
    const auto file = testsupport::runTool(dir.root(), "--notes --format=" + format + " in.wav -");
    ASSERT_EQ(live.status, 0) << format << ": " << live.error;
    EXPECT_EQ(std::count(live.output.begin(), live.output.end(), '\n'), format == "csv" ? 3 : 2)
        << format << ": " << live.output;
    if (format != "json") {
      EXPECT_EQ(live.output, file.output) << format;
    } else {
      for (size_t at = 0, end; (end = live.output.find('\n', at)) != std::string::npos;
           at = end + 1) {
        EXPECT_NE(file.output.find(live.output.substr(at, end - at)), std::string::npos) << format;
      }
    }
  }
  EXPECT_EQ(testsupport::runTool(dir.root(), "--live --format=midi - - < in.wav").status, 2);
}

}  // namespace
