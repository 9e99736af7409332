// What users and disks really do, run through trimwright-cli: malformed and
// unusable logs, images and report targets. Each case has a defined outcome
// (records dropped, or a clear error naming the file and the problem) and
// never changes the image unless the run completed.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;

const std::string kCli = TRIMWRIGHT_CLI_PATH;

class BadInputTest : public ::testing::Test {
 protected:
  BadInputTest()
      : image_(dir_.File("car.bin")), original_(CalibrationImage().Bytes(ImageLayout::kBin)) {
    tools::WriteFile(image_, original_);
    // Open to every user, for the runs that give up root's rights.
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::all);
  }

  ProcessResult Tune(const std::string& log, const std::string& image,
                     std::vector<std::string> options = {}, bool unprivileged = false) {
    std::vector<std::string> args{kCli};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(log);
    args.push_back(image);
    return RunProcess(args, {}, unprivileged);
  }

  std::string Log(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    tools::WriteFile(path, bytes);
    return path;
  }

  bool ImageUnchanged() const { return tools::ReadFile(image_) == original_; }

  // Runs as an unprivileged user. A machine that does not let root give up
  // its rights cannot try permission bits; that fails the test.
  ProcessResult TuneUnprivileged(const std::string& log, const std::string& image,
                                 std::vector<std::string> options = {}) {
    ProcessResult result = Tune(log, image, options, true);
    if (result.exitStatus == testing::kCouldNotDropPrivileges) {
      ADD_FAILURE() << "could not run as an unprivileged user";
    }
    return result;
  }

  // Where the runs that give up root's rights can reach it, wherever the
  // checkout and the system's temporary folder lie.
  TempDir dir_{testing::FolderOpenToEveryone()};
  std::string image_;
  std::string original_;
};

// A log that yields no usable record tunes nothing: every factor is 1, the
// image keeps every byte, the run says so on standard error and ends as any
// pass does, and no history entry is written for a pass that changed nothing.
void ExpectNoRecordsRun(const ProcessResult& result, const std::string& image,
                        const std::string& name) {
  EXPECT_EQ(result.exitStatus, 0) << name << ": " << result.err;
  EXPECT_EQ(result.err,
            "Nothing to tune: no record of the log(s) was used (0 read: 0 rejected, 0 not warm, "
            "0 at high throttle, 0 outside the second trim window, 0 used), so the pass changes "
            "no VE byte\ntrimwright-cli: Processing complete\n")
      << name;
  EXPECT_FALSE(std::filesystem::exists(image + ".history")) << name;
}

// ------------------------------------------------------------------ logs

TEST_F(BadInputTest, EmptyAndHeaderOnlyLogsTuneNothing) {
  const std::string header5 = "a\nb\nc\nd\ne\n";
  for (const auto& [name, bytes] :
       std::vector<std::pair<std::string, std::string>>{{"empty.uni", ""},
                                                        {"empty.csv", ""},
                                                        {"empty.txt", ""},
                                                        {"header.uni", std::string(128, 'h')},
                                                        {"header.csv", "time,rpm,map\n"},
                                                        {"header.txt", header5},
                                                        {"short.uni", std::string(127, 'h')},
                                                        {"null.csv", ""},
                                                        {"null.uni", ""}}) {
    std::string log = Log(name, bytes);
    // The null device reads as an empty log, like the empty files.
    if (name.starts_with("null.")) {
      std::filesystem::remove(log);
      std::filesystem::create_symlink("/dev/null", log);
    }
    const ProcessResult result = Tune(log, image_);
    ExpectNoRecordsRun(result, image_, name);
    EXPECT_NE(result.out.find("ecords"), std::string::npos) << name;
    EXPECT_TRUE(ImageUnchanged()) << name;
  }
}

// A pipe (or a socket, or a device other than the null device) is refused at
// once, before a byte of it is read, instead of waiting for a writer while
// the run holds the image's lock.
TEST_F(BadInputTest, PipeAsLogIsRefusedAtOnce) {
  const std::string fifo = dir_.File("drive.csv");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string zero = dir_.File("zero.txt");
  std::filesystem::create_symlink("/dev/zero", zero);
  for (const std::string& log : {fifo, zero}) {
    const ProcessResult result = RunProcess({"/usr/bin/timeout", "20", kCli, log, image_});
    EXPECT_EQ(result.exitStatus, 3) << result.err;
    EXPECT_EQ(result.err, "trimwright-cli: error: The log " + log +
                              " is not a regular file (a pipe, socket or device), so it was not "
                              "read; nothing was written\n");
    EXPECT_TRUE(ImageUnchanged());
  }
}

TEST_F(BadInputTest, BinaryJunkAndNulBytesInTextLogsAreDropped) {
  std::string junk;
  std::uint32_t state = 12345;
  for (int k = 0; k < 200000; ++k) {
    state = state * 1664525u + 1013904223u;
    junk.push_back(static_cast<char>(state >> 24));
  }
  std::string nuls = tools::FreescanLog(std::vector<tools::FreescanRecord>(3));
  for (std::size_t k = 40; k < nuls.size(); k += 7) nuls[k] = '\0';
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"junk.csv", junk},
           {"junk.txt", junk},
           {"junk.uni", junk},
           {"nul.csv", nuls},
           {"nul.txt", std::string(600, '\0') + "\n\n\n\n\n" + std::string(600, '\0') + "\n"}}) {
    const ProcessResult result = Tune(Log(name, bytes), image_);
    EXPECT_EQ(result.exitStatus, 0) << name << ": " << result.err;
  }
}

TEST_F(BadInputTest, TenMegabyteLineIsOneRecordLikeAnyOther) {
  const std::string valid = tools::JoinFields(tools::FreescanFields(tools::FreescanRecord{}), ",");
  std::string text = "header\n" + valid + "\n";
  text += std::string(10 * 1024 * 1024, '7') + "\n";                       // one field: dropped
  text += std::string(5 * 1024 * 1024, ',') + valid.substr(0, 20) + "\n";  // millions of fields
  text += valid + "\n";
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult result = Tune(Log("long.csv", text), image_);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.out.find("No. records:  4\n"), std::string::npos);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(BadInputTest, CarriageReturnOnlyLineEndsMakeOneLongLine) {
  const std::string csv = tools::FreescanLog(std::vector<tools::FreescanRecord>(5), {"\r", true});
  const ProcessResult result = Tune(Log("mac.csv", csv), image_);
  ExpectNoRecordsRun(result, image_, "mac.csv");
  EXPECT_NE(result.out.find("No. records:  0\n"), std::string::npos);
  EXPECT_TRUE(ImageUnchanged());
}

TEST_F(BadInputTest, LogThatIsAFolderIsAnError) {
  for (const std::string name : {"folder.uni", "folder.csv", "folder.txt"}) {
    std::filesystem::create_directory(dir_.File(name));
    const ProcessResult result = Tune(dir_.File(name), image_);
    EXPECT_EQ(result.exitStatus, 3) << name;
    EXPECT_NE(result.err.find("Unable to open"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(dir_.File(name)), std::string::npos);
    EXPECT_TRUE(ImageUnchanged());
  }
}

TEST_F(BadInputTest, LogWithoutReadPermissionIsAnError) {
  const std::string log = Log("secret.csv", tools::FreescanLog({tools::FreescanRecord{}}));
  chmod(log.c_str(), 0);
  chmod(image_.c_str(), 0666);
  const ProcessResult result = TuneUnprivileged(log, image_);
  EXPECT_EQ(result.exitStatus, 3);
  // Said once: the reader's own line is the error.
  EXPECT_EQ(result.err, "Unable to open input file " + log + "\n");
  EXPECT_TRUE(ImageUnchanged());
}

// ---------------------------------------------------------------- images

TEST_F(BadInputTest, ImageThatIsMissingOrAFolderIsAnError) {
  const std::string log = Log("drive.uni", tools::UniLog(std::vector<tools::UniRecord>(3)));
  std::filesystem::create_directory(dir_.File("folder.bin"));
  for (const std::string& image : {dir_.File("missing.bin"), dir_.File("folder.bin")}) {
    const ProcessResult result = Tune(log, image);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.err, "trimwright-cli: error: Unable to open file " + image + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("missing.bin")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("missing_trw.txt")));
}

TEST_F(BadInputTest, ReadOnlyImageIsAnErrorAndStaysUnchanged) {
  const std::string log = Log("drive.uni", tools::UniLog(std::vector<tools::UniRecord>(3)));
  chmod(image_.c_str(), 0444);
  const ProcessResult result = TuneUnprivileged(log, image_);
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_EQ(result.err, "trimwright-cli: error: Unable to open file " + image_ + "\n");
  EXPECT_TRUE(ImageUnchanged());
}

// Told to tune it anyway, so that the check of the image does not refuse it
// first: the run itself refuses what it cannot tune.
TEST_F(BadInputTest, ImageTooShortIsRefusedAndKeepsItsBytes) {
  const std::string log = Log("drive.uni", tools::UniLog(std::vector<tools::UniRecord>(3)));
  for (const std::size_t size : {std::size_t{0}, std::size_t{0x2740}, std::size_t{0x12C00}}) {
    const std::string bytes = original_.substr(0, size);
    tools::WriteFile(image_, bytes);
    const ProcessResult result = Tune(log, image_, {"--ignore-checksum"});
    EXPECT_EQ(result.exitStatus, 3) << size;
    EXPECT_NE(result.err.find("is " + std::to_string(size) + " bytes long, but this run needs"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(tools::ReadFile(image_), bytes);
  }
}

TEST_F(BadInputTest, ExtremeBoundaryBytesStillGiveAWholeRun) {
  for (const std::array<std::uint8_t, 6>& bytes :
       {std::array<std::uint8_t, 6>{0, 0, 0, 0, 0, 0},
        std::array<std::uint8_t, 6>{255, 255, 255, 255, 255, 255},
        std::array<std::uint8_t, 6>{255, 0, 128, 255, 0, 104}}) {
    CalibrationImage image;
    image.SetBoundaryBytes(bytes);
    image.MakeChecksumConsistent();
    tools::WriteFile(image_, image.Bytes(ImageLayout::kBin));
    std::vector<tools::UniRecord> records(32);
    for (std::size_t k = 0; k < records.size(); ++k) {
      records[k].blmCell = static_cast<std::uint8_t>(k % 17);
      records[k].blmLeft = static_cast<std::uint8_t>(110 + k);
    }
    const std::string log = Log("drive.uni", tools::UniLog(records));
    // No calibration has such boundaries: refused unless told, then tuned.
    const ProcessResult refused = Tune(log, image_, {"--rpm-limit", "7000"});
    EXPECT_EQ(refused.exitStatus, 3) << refused.err;
    EXPECT_NE(refused.err.find("do not rise strictly within the VE grid's axes"), std::string::npos)
        << refused.err;
    const ProcessResult result = Tune(log, image_, {"--rpm-limit", "7000", "--ignore-checksum"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const CalibrationImage after =
        CalibrationImage::FromBytes(tools::ReadFile(image_), ImageLayout::kBin);
    EXPECT_EQ(after.StoredChecksum(), after.ComputedChecksum());
  }
}

TEST_F(BadInputTest, ImageLockedByAnotherRunIsRefusedAtOnce) {
  const std::string log = Log("drive.uni", tools::UniLog(std::vector<tools::UniRecord>(3)));
  const int held = open(image_.c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  const ProcessResult result = Tune(log, image_);
  close(held);
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_EQ(result.err, "trimwright-cli: error: Unable to lock file " + image_ +
                            ": another run is tuning this image\n");
  EXPECT_TRUE(ImageUnchanged());
  EXPECT_EQ(Tune(log, image_).exitStatus, 0);
}

// ---------------------------------------------------------------- reports

TEST_F(BadInputTest, ReportThatCannotBeWrittenLeavesTheImageUnchanged) {
  std::vector<tools::UniRecord> records(8);
  for (auto& r : records) r.blmLeft = 140;  // a run that would change the image
  const std::string log = Log("drive.uni", tools::UniLog(records));
  for (const std::string& report : {dir_.File("no/such/folder/car_trw.txt"), dir_.path()}) {
    const ProcessResult result = Tune(log, image_, {"--report", report});
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.err, "Unable to open logfile " + report + "\n");
    EXPECT_TRUE(ImageUnchanged());
  }
  if (std::filesystem::exists("/dev/full")) {
    const ProcessResult full = Tune(log, image_, {"--report", "/dev/full"});
    EXPECT_EQ(full.exitStatus, 3);
    EXPECT_NE(full.err.find("Unable to write logfile /dev/full; the calibration image was not "
                            "changed"),
              std::string::npos)
        << full.err;
    EXPECT_TRUE(ImageUnchanged());
  }
  // Sanity: the same log does change the image when the report can be written.
  EXPECT_EQ(Tune(log, image_).exitStatus, 0);
  EXPECT_FALSE(ImageUnchanged());
}

TEST_F(BadInputTest, ReportInAFolderWithoutWritePermissionIsAnError) {
  std::vector<tools::UniRecord> records(8);
  for (auto& r : records) r.blmLeft = 140;
  const std::string log = Log("drive.uni", tools::UniLog(records));
  const std::string locked = dir_.File("locked");
  std::filesystem::create_directory(locked);
  chmod(locked.c_str(), 0555);
  chmod(image_.c_str(), 0666);
  const ProcessResult result = TuneUnprivileged(log, image_, {"--report", locked + "/r.txt"});
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_NE(result.err.find("Unable to open logfile " + locked + "/r.txt"), std::string::npos);
  EXPECT_TRUE(ImageUnchanged());
}

TEST_F(BadInputTest, ReportNamingAnInputIsRefused) {
  const std::string log = Log("drive.uni", tools::UniLog(std::vector<tools::UniRecord>(3)));
  const std::string logBytes = tools::ReadFile(log);
  for (const auto& [report, what] :
       {std::pair{image_, "calibration image"}, std::pair{log, "logged data file"}}) {
    const ProcessResult result = Tune(log, image_, {"--report", report});
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.err, "trimwright-cli: error: The report file " + report + " is the " + what +
                              " itself; writing the report would destroy it\n");
  }
  EXPECT_TRUE(ImageUnchanged());
  EXPECT_EQ(tools::ReadFile(log), logBytes);
}

}  // namespace
}  // namespace trimwright
