// Where the built tool can put its pitch line: a device that refuses the bytes, a full
// filesystem, a file size limit, a FIFO (read or not), standard output, a symbolic link, an
// existing file with its own permission bits, and what another user planted in a shared folder.
// A failed write leaves neither a partial file nor a temporary one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runTool;
using testsupport::TempDir;

// An 8-bit 8 kHz recording: the tool prints nothing before "Writing pitch to".
const fs::path kRecording = fs::path(TEST_DATA_DIR) / "golden" / "01_melody_8k_u8";

std::string expectedLine() { return readFile(kRecording / "expected.pitch"); }

void copyRecording(const TempDir& work) {
  fs::copy_file(kRecording / "in.wav", work.path("in.wav"));
}

std::string writingTo(const std::string& target) { return "Writing pitch to " + target + "\n"; }

std::string cannotWrite(const std::string& target) {
  return writingTo(target) + "Error: cannot write pitch file " + target + "!\n";
}

TEST(PitchOutput, DeviceThatRefusesTheBytesIsAWriteError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TempDir work;
  copyRecording(work);
  const auto run = runTool(work.root(), "in.wav /dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, cannotWrite("/dev/full"));
}

// A tmpfs of a few pages mounted on a directory for the life of the object; mounted() is false
// where mounting is not allowed (no root, no CAP_SYS_ADMIN).
class TinyFilesystem {
 public:
  explicit TinyFilesystem(const fs::path& dir) : dir_(dir) {
    fs::create_directory(dir_);
    mounted_ = ::mount("pitchtrack-test", dir_.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
  }
  ~TinyFilesystem() {
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
  }
  TinyFilesystem(const TinyFilesystem&) = delete;
  TinyFilesystem& operator=(const TinyFilesystem&) = delete;

  bool mounted() const { return mounted_; }

  // Writes a filler file until the filesystem refuses more; true when it ended full.
  bool fill() const {
    const int fd = ::open((dir_ / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const std::string block(4096, 'x');
    ssize_t written = 0;
    do {
      written = ::write(fd, block.data(), block.size());
    } while (written > 0);
    const bool full = written < 0 && errno == ENOSPC;
    ::close(fd);
    return full;
  }

 private:
  fs::path dir_;
  bool mounted_ = false;
};

TEST(PitchOutput, FullFilesystemLeavesNoPartialOrTemporaryFile) {
  struct Case {
    const char* what;
    std::optional<std::string> existing;  // content of a pitch file already there
  };
  const std::vector<Case> cases = {{"new file", std::nullopt}, {"existing file", "42\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir work;
    copyRecording(work);
    const TinyFilesystem tiny(work.path("full"));
    if (!tiny.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    if (c.existing) testsupport::writeText(work.path("full/out.pitch"), *c.existing);
    ASSERT_TRUE(tiny.fill());

    const auto run = runTool(work.root(), "in.wav full/out.pitch");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, cannotWrite("full/out.pitch"));
    if (c.existing) {
      EXPECT_EQ(work.names("full"), (std::vector<std::string>{"filler", "out.pitch"}));
      EXPECT_EQ(readFile(work.path("full/out.pitch")), *c.existing);
    } else {
      EXPECT_EQ(work.names("full"), std::vector<std::string>{"filler"});
    }
  }
}

// Reads a FIFO to its end on a thread of its own. The thread blocks in open() until a writer
// comes; finish() lets it go even when none came, so a tool that never opens the FIFO fails
// the test instead of hanging it.
class FifoReader {
 public:
  explicit FifoReader(fs::path fifo) : fifo_(std::move(fifo)), thread_([this] { run(); }) {}
  ~FifoReader() { finish(); }
  FifoReader(const FifoReader&) = delete;
  FifoReader& operator=(const FifoReader&) = delete;

  std::string finish() {
    while (!done_) {
      // Succeeds only while the reader waits in open(); the immediate close is its end of file.
      const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (thread_.joinable()) thread_.join();
    return received_;
  }

 private:
  void run() {
    const int fd = ::open(fifo_.c_str(), O_RDONLY);
    if (fd >= 0) {
      char buffer[4096];
      ssize_t n = 0;
      while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        received_.append(buffer, static_cast<size_t>(n));
      ::close(fd);
    }
    done_ = true;
  }

  fs::path fifo_;
  std::string received_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TEST(PitchOutput, FifoReceivesTheLine) {
  TempDir work;
  copyRecording(work);
  ASSERT_EQ(::mkfifo(work.path("pitch.fifo").c_str(), 0600), 0);
  FifoReader reader(work.path("pitch.fifo"));
  const auto run = runTool(work.root(), "in.wav pitch.fifo");
  EXPECT_EQ(reader.finish(), expectedLine());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, writingTo("pitch.fifo"));
  EXPECT_TRUE(fs::is_fifo(work.path("pitch.fifo")));
  EXPECT_EQ(work.names(), (std::vector<std::string>{"in.wav", "pitch.fifo"}));
}

// The line follows the progress messages on standard output, whether that is a file (opened
// again, it would be truncated and written from its start) or a pipe (where a separate write
// would overtake the messages still in the stream's buffer).
TEST(PitchOutput, StandardOutputGetsTheLineAfterTheMessages) {
  struct Case {
    const char* target;
    const char* afterTool;  // shell text between the tool's arguments and the capture
    bool statusIsTools;     // through a pipe, the shell reports the last command's status
  };
  const std::vector<Case> cases = {
      {"/dev/stdout", "", true},
      {"/dev/fd/1", "", true},
      {"/dev/stdout", " | cat", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.target) + c.afterTool);
    TempDir work;
    copyRecording(work);
    const auto run = runTool(work.root(), std::string("in.wav ") + c.target + c.afterTool);
    if (c.statusIsTools) {
      EXPECT_EQ(run.status, 0);
    }
    EXPECT_EQ(run.output, writingTo(c.target) + expectedLine());
    EXPECT_EQ(work.names(), std::vector<std::string>{"in.wav"});
  }
}

TEST(PitchOutput, SymbolicLinkIsWrittenThroughAndStaysALink) {
  struct Case {
    const char* what;
    bool targetExists;
  };
  for (const Case& c : {Case{"link to an existing file", true}, Case{"dangling link", false}}) {
    SCOPED_TRACE(c.what);
    TempDir work;
    copyRecording(work);
    fs::create_directory(work.path("real"));
    if (c.targetExists) {
      testsupport::writeText(work.path("real/song.pitch"),
                             "an older and much longer pitch line than the new one will be\n");
    }
    fs::create_symlink("real/song.pitch", work.path("link.pitch"));

    const auto run = runTool(work.root(), "in.wav link.pitch");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, writingTo("link.pitch"));
    ASSERT_TRUE(fs::is_symlink(fs::symlink_status(work.path("link.pitch"))));
    EXPECT_EQ(fs::read_symlink(work.path("link.pitch")), "real/song.pitch");
    EXPECT_EQ(readFile(work.path("real/song.pitch")), expectedLine());
    EXPECT_EQ(work.names("real"), std::vector<std::string>{"song.pitch"});
  }
}

TEST(PitchOutput, ExistingFileKeepsItsPermissionBitsAndNewOnesFollowTheUmask) {
  struct Case {
    std::optional<mode_t> existing;  // mode of a pitch file already there
    const char* umask;
    mode_t expected;
  };
  const std::vector<Case> cases = {
      {0640, "022", 0640},
      {0600, "022", 0600},
      {0666, "077", 0666},
      {0755, "022", 0755},
      {std::nullopt, "022", 0644},
      {std::nullopt, "077", 0600},
      // Set-user-ID, set-group-ID and sticky bits are never handed on.
      {04755, "022", 0755},
      {02750, "022", 0750},
      {01644, "022", 0644},
      {06777, "000", 0777},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "existing " << std::oct << c.existing.value_or(0) << ", umask " << c.umask);
    TempDir work;
    copyRecording(work);
    const fs::path target = work.path("out.pitch");
    if (c.existing) {
      testsupport::writeText(target, "old\n");
      ASSERT_EQ(::chmod(target.c_str(), *c.existing), 0);
    }
    const auto run =
        runTool(work.root(), "in.wav out.pitch", std::string("umask ") + c.umask + ";");
    EXPECT_EQ(run.status, 0);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.expected) << std::oct << (info.st_mode & 07777);
    EXPECT_EQ(readFile(target), expectedLine());
    EXPECT_EQ(work.names(), (std::vector<std::string>{"in.wav", "out.pitch"}));
  }
}

// A recording long enough for a pitch line of several kilobytes: a scale hummed over and over,
// in 8 bits at 8 kHz, so the tool prints nothing before "Writing pitch to".
std::string longLine(const TempDir& work) {
  std::vector<uint8_t> samples;
  for (int round = 0; round < 16; ++round) {
    for (const int16_t s :
         testsignal::hummedNotes(8000, {220, 247, 262, 294, 330, 349, 392, 440})) {
      samples.push_back(static_cast<uint8_t>((s >> 8) + 128));
    }
  }
  testwav::writeFile(work.path("long.wav"), testwav::pcm8Wave(samples));
  const auto run = runTool(work.root(), "long.wav expected.pitch");
  EXPECT_EQ(run.status, 0);
  const std::string line = readFile(work.path("expected.pitch"));
  fs::remove(work.path("expected.pitch"));
  return line;
}

// Past the file size limit the write fails with "File too large" (SIGXFSZ is ignored rather
// than ending the tool), and the old file, or the one a link leads to, stays whole.
TEST(PitchOutput, FileSizeLimitLeavesTheOldFileWhole) {
  struct Case {
    const char* what;
    const char* target;                   // what the tool is told to write
    std::optional<std::string> existing;  // content of real.pitch before the run
    bool link;                            // target is a link to real.pitch
  };
  const std::string old(9000, '7');
  const std::vector<Case> cases = {
      {"new file", "real.pitch", std::nullopt, false},
      {"existing file", "real.pitch", old, false},
      {"link to an existing file", "link.pitch", old, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir work;
    const std::string line = longLine(work);
    ASSERT_GT(line.size(), 4096u);  // beyond "ulimit -f 4" in 512- or 1024-byte blocks
    if (c.existing) testsupport::writeText(work.path("real.pitch"), *c.existing);
    if (c.link) fs::create_symlink("real.pitch", work.path("link.pitch"));

    const auto run = runTool(work.root(), std::string("long.wav ") + c.target, "ulimit -f 4;");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, cannotWrite(c.target));
    EXPECT_EQ(run.error, std::string("pitchtrack: ") + c.target + ": File too large\n");
    EXPECT_EQ(fs::exists(work.path("real.pitch")), c.existing.has_value());
    if (c.existing) {
      EXPECT_EQ(readFile(work.path("real.pitch")), *c.existing);
    }
    std::vector<std::string> expectedNames = {"long.wav"};
    if (c.link) expectedNames.insert(expectedNames.begin(), "link.pitch");
    if (c.existing) expectedNames.push_back("real.pitch");
    EXPECT_EQ(work.names(), expectedNames);
  }
}

// Opening a FIFO nobody reads would wait for ever; the tool says why it cannot write instead.
TEST(PitchOutput, FifoWithoutAReaderIsAnErrorNotAWait) {
  TempDir work;
  copyRecording(work);
  ASSERT_EQ(::mkfifo(work.path("pitch.fifo").c_str(), 0600), 0);
  const auto run = runTool(work.root(), "in.wav pitch.fifo", "timeout 60");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, cannotWrite("pitch.fifo"));
  EXPECT_EQ(run.error, "pitchtrack: pitch.fifo: no reader on the FIFO\n");
}

// Another user's link or FIFO at the pitch file's name in a shared folder, such as /tmp with the
// kernel's link protections off: the tool neither writes through it nor waits on it.
TEST(PitchOutput, PlantedEntryInASharedFolderIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "planting another user's entries needs root";
  struct Case {
    const char* what;
    bool fifo;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"link", false, "a symbolic link of another user in a shared folder; not followed"},
      {"FIFO", true, "a FIFO of another user in a shared folder; not opened"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir work;
    copyRecording(work);
    testsupport::writeText(work.path("victim"), "untouched\n");
    fs::create_directory(work.path("shared"));
    const fs::path planted = work.path("shared/out.pitch");
    if (c.fifo) {
      ASSERT_EQ(::mkfifo(planted.c_str(), 0666), 0);
    } else {
      fs::create_symlink("../victim", planted);
    }
    ASSERT_EQ(::lchown(planted.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(work.path("shared").c_str(), 01777), 0);

    const auto run = runTool(work.root(), "in.wav shared/out.pitch", "timeout 60");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, cannotWrite("shared/out.pitch"));
    EXPECT_EQ(run.error, std::string("pitchtrack: shared/out.pitch: ") + c.reason + "\n");
    EXPECT_EQ(readFile(work.path("victim")), "untouched\n");
    EXPECT_EQ(work.names("shared"), std::vector<std::string>{"out.pitch"});
  }
}

}  // namespace
