// The tuning run driven through a recording fake of its four window
// operations: input checks and their order, number texts, extensions,
// progress positions and the end of a run; a previewed pass written later,
// and refused when an input changed since the preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/PathRules.h"
#include "app/TuningRun.h"
#include "common/TrimwrightError.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using testing::CapturedOutput;
using testing::TempDir;
using tools::CalibrationImage;
using tools::ImageLayout;

// Records every operation the run asks of the window, in order.
class RecordingWindow : public RunWindow {
 public:
  void ShowMessage(const std::string& text) override { events.push_back("message: " + text); }
  void SetProgress(int position) override {
    progress = position;
    events.push_back("progress " + std::to_string(position));
  }
  void RepaintProgress() override { events.push_back("repaint"); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const std::string& e : events) {
      if (e.starts_with("message: ")) messages.push_back(e.substr(9));
    }
    return messages;
  }

  std::vector<std::string> events;
  int progress = 0;
};

using Strings = std::vector<std::string>;

class TuningRunTest : public ::testing::Test {
 protected:
  TuningRunTest() {
    tools::WriteFile(dir_.File("drive.uni"), tools::UniLog(std::vector<tools::UniRecord>(4)));
    tools::WriteFile(dir_.File("car.bin"), CalibrationImage().Bytes(ImageLayout::kBin));
  }

  // One run with the given stored paths; names are files of the temporary
  // folder unless empty.
  RunOutcome Run(const std::string& log, const std::string& pcm,
                 const std::string& report = "report.txt") {
    TuningRun run(window_);
    const RunResult result = run.Perform(
        RunRequest::ForOneLog(log.empty() ? "" : dir_.File(log), pcm.empty() ? "" : dir_.File(pcm),
                              report.empty() ? "" : dir_.File(report), targetText_, rpmText_));
    if (result.plan) {
      targetBlm_ = result.plan->targetBlm;
      rpmLimit_ = result.plan->rpmLimit;
    }
    return result.outcome;
  }

  TempDir dir_;
  CapturedOutput output_;
  RecordingWindow window_;
  std::string targetText_ = "124";
  std::string rpmText_ = "3000";
  std::int32_t targetBlm_ = -1;
  std::int32_t rpmLimit_ = -1;
};

TEST_F(TuningRunTest, MissingInputsAreReportedOneAtATimeInOrder) {
  struct Case {
    std::string log, pcm, report, message;
  };
  for (const Case& c : {Case{"", "", "", "Please enter a datamaster file"},
                        Case{"", "car.bin", "report.txt", "Please enter a datamaster file"},
                        Case{"drive.uni", "", "", "Please enter a Tunercat file"},
                        Case{"drive.uni", "car.bin", "", "Please enter a logfile name"}}) {
    window_.events.clear();
    EXPECT_EQ(Run(c.log, c.pcm, c.report), RunOutcome::kEndedEarly);
    EXPECT_EQ(window_.events, Strings{"message: " + c.message});
  }
  EXPECT_EQ(targetBlm_, -1);
  EXPECT_EQ(output_.Stdout(), "");
}

TEST_F(TuningRunTest, CompleteRunMovesTheBarThroughItsPositions) {
  EXPECT_EQ(Run("drive.uni", "car.bin"), RunOutcome::kCompleted);
  EXPECT_EQ(window_.events, (Strings{"progress 20", "progress 40", "progress 60", "progress 100",
                                     "message: Processing complete", "progress 0", "repaint"}));
  EXPECT_EQ(targetBlm_, 124);
  EXPECT_EQ(rpmLimit_, 3000);
  EXPECT_TRUE(output_.Stdout().ends_with(
      "Tunercat:  destructing\nLT1_obd1:  destructing\nPCM:  destructing\n"
      "DMUni:  destructing\nLoggedData:  destructing......done\n"));
}

struct TextCase {
  std::string text;
  std::int32_t value;
  bool warns;
};

class TargetBlmTextTest : public TuningRunTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TargetBlmTextTest, ConvertsLikeAtoiAndWarnsOutside118To124) {
  targetText_ = GetParam().text;
  EXPECT_EQ(Run("drive.uni", "car.bin"), RunOutcome::kCompleted);
  EXPECT_EQ(targetBlm_, GetParam().value);
  const Strings expected =
      GetParam().warns
          ? Strings{"It is recommended to tune for a blm of 118-124", "Processing complete"}
          : Strings{"Processing complete"};
  EXPECT_EQ(window_.Messages(), expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, TargetBlmTextTest,
                         ::testing::Values(TextCase{"117", 117, true}, TextCase{"118", 118, false},
                                           TextCase{"120", 120, false}, TextCase{"124", 124, false},
                                           TextCase{"125", 125, true}, TextCase{"128", 128, true},
                                           TextCase{"abc", 0, true}, TextCase{"", 0, true},
                                           TextCase{"124abc", 124, false},
                                           TextCase{"  121", 121, false},
                                           // Only the first 78 characters of a field count.
                                           TextCase{std::string(78, ' ') + "120", 0, true},
                                           TextCase{std::string(77, ' ') + "120", 1, true}));

class RpmLimitTextTest : public TuningRunTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(RpmLimitTextTest, ClampsAbove7000WithAMessageAndNothingElse) {
  rpmText_ = GetParam().text;
  EXPECT_EQ(Run("drive.uni", "car.bin"), RunOutcome::kCompleted);
  EXPECT_EQ(rpmLimit_, GetParam().value);
  const Strings expected = GetParam().warns
                               ? Strings{"Cannot tune above 7000 rpm", "Processing complete"}
                               : Strings{"Processing complete"};
  EXPECT_EQ(window_.Messages(), expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, RpmLimitTextTest,
                         ::testing::Values(TextCase{"7000", 7000, false},
                                           TextCase{"7001", 7000, true},
                                           TextCase{"99999999999", 7000, true},
                                           TextCase{"-5", -5, false}, TextCase{"", 0, false},
                                           TextCase{"2100", 2100, false}));

TEST_F(TuningRunTest, ClampedLimitReachesTheCalibration) {
  rpmText_ = "7001";
  Run("drive.uni", "car.bin");
  const std::string report = tools::ReadFile(dir_.File("report.txt"));
  EXPECT_NE(report.find("cell[6500][100]"), std::string::npos);
  EXPECT_EQ(report.find("cell[7000]"), std::string::npos);
}

TEST_F(TuningRunTest, BlmMessageComesBeforeRpmMessage) {
  targetText_ = "100";
  rpmText_ = "9000";
  EXPECT_EQ(Run("drive.uni", "car.bin"), RunOutcome::kCompleted);
  EXPECT_EQ(window_.Messages(), (Strings{"It is recommended to tune for a blm of 118-124",
                                         "Cannot tune above 7000 rpm", "Processing complete"}));
  EXPECT_EQ(targetBlm_, 100);
  EXPECT_EQ(rpmLimit_, 7000);
}

TEST_F(TuningRunTest, LogExtensionsAreExactAndCaseSensitive) {
  tools::WriteFile(dir_.File("drive.UNI"), tools::ReadFile(dir_.File("drive.uni")));
  EXPECT_EQ(Run("drive.UNI", "car.bin"), RunOutcome::kCompleted);
  EXPECT_NE(output_.Stdout().find("DMUni:  in constructor"), std::string::npos);

  for (const std::string name : {"drive.Uni", "drive.uni.bak", "drive", "drive."}) {
    window_.events.clear();
    output_.Clear();
    EXPECT_EQ(Run(name, "car.bin"), RunOutcome::kEndedEarly) << name;
    EXPECT_EQ(window_.Messages(), Strings{"I don't know what kind of logged data file this is"});
    EXPECT_EQ(window_.progress, 20);
    EXPECT_EQ(output_.Stdout(), "");
  }
}

TEST_F(TuningRunTest, DotInAFolderNameMakesTheRestOfThePathTheExtension) {
  std::filesystem::create_directory(dir_.File("logs.csv"));
  tools::WriteFile(dir_.File("logs.csv/drive"), tools::FreescanLog({tools::FreescanRecord{}}));
  EXPECT_EQ(Run("logs.csv/drive", "car.bin"), RunOutcome::kEndedEarly);
  EXPECT_EQ(window_.Messages(), Strings{"I don't know what kind of logged data file this is"});
}

TEST_F(TuningRunTest, ImageExtensionSelectsTheFormat) {
  const std::string lt1 = CalibrationImage().Bytes(ImageLayout::kLt1);
  tools::WriteFile(dir_.File("car.lt1"), lt1);
  tools::WriteFile(dir_.File("car.LT1"), lt1);
  tools::WriteFile(dir_.File("car.BIN"), CalibrationImage().Bytes(ImageLayout::kBin));
  for (const auto& [name, line] : {std::pair{"car.lt1", "LT1edit:  constructor\n"},
                                   std::pair{"car.LT1", "LT1edit:  constructor\n"},
                                   std::pair{"car.BIN", "Tunercat:  constructor\n"}}) {
    output_.Clear();
    EXPECT_EQ(Run("drive.uni", name), RunOutcome::kCompleted) << name;
    EXPECT_NE(output_.Stdout().find(line), std::string::npos) << name;
  }
}

TEST_F(TuningRunTest, UnknownImageExtensionEndsTheRunAfterTheLogWasRead) {
  tools::WriteFile(dir_.File("car.Lt1"), CalibrationImage().Bytes(ImageLayout::kLt1));
  EXPECT_EQ(Run("drive.uni", "car.Lt1"), RunOutcome::kEndedEarly);
  EXPECT_EQ(window_.events,
            (Strings{"progress 20", "progress 40", "message: Unknown type of pcm file"}));
  EXPECT_TRUE(output_.Stdout().ends_with(
      "DMUni:  reading in data...okay\nDMUni:  destructing\nLoggedData:  destructing......done\n"));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("report.txt")));
}

TEST_F(TuningRunTest, FatalErrorsLeaveTheRunAsAnErrorAfterDestroyingItsObjects) {
  EXPECT_THROW(Run("missing.uni", "car.bin"), TrimwrightError);
  EXPECT_EQ(window_.progress, 20);
  output_.Clear();
  EXPECT_THROW(Run("drive.uni", "missing.bin"), TrimwrightError);
  EXPECT_EQ(window_.progress, 40);
  EXPECT_TRUE(output_.Stdout().ends_with(
      "LT1_obd1:  Unable to open file " + dir_.File("missing.bin") +
      "\nPCM:  destructing\nDMUni:  destructing\nLoggedData:  destructing......done\n"));
}

TEST_F(TuningRunTest, ReportThatNamesAnInputIsRefusedBeforeAnythingHappens) {
  const std::string image = tools::ReadFile(dir_.File("car.bin"));
  for (const std::string report : {"drive.uni", "car.bin", "./car.bin"}) {
    window_.events.clear();
    try {
      Run("drive.uni", "car.bin", report);
      FAIL() << report << " accepted";
    } catch (const TrimwrightError& e) {
      EXPECT_NE(std::string(e.what()).find("writing the report would destroy it"),
                std::string::npos);
    }
    EXPECT_TRUE(window_.events.empty());
  }
  EXPECT_EQ(tools::ReadFile(dir_.File("car.bin")), image);
  EXPECT_EQ(output_.Stdout(), "");
}

// How an input changes between the preview and Apply, given the two logs
// and the image; nullptr changes nothing.
struct InputChange {
  const char* name;
  void (*change)(const std::string& firstLog, const std::string& secondLog,
                 const std::string& image);
  // What the refusal says changed, the files' folder written as "DIR/".
  const char* named = "";
};

// The file at path rewritten as bytes, its modification time then set to
// its old one moved by shift.
void Rewrite(const std::string& path, const std::string& bytes,
             std::filesystem::file_time_type::duration shift) {
  const auto time = std::filesystem::last_write_time(path);
  tools::WriteFile(path, bytes);
  std::filesystem::last_write_time(path, time + shift);
}

class StalePreviewTest : public TuningRunTest, public ::testing::WithParamInterface<InputChange> {};

// A pass previewed from two lean logs; Apply writes it exactly as Perform
// would, unless a log or the image changed on disk since the preview: then
// it throws StalePreviewError and writes nothing (no image byte, no report,
// no history).
TEST_P(StalePreviewTest, ApplyWritesThePreviewOnlyWhileItsInputsAreAsTheyWere) {
  tools::UniRecord lean;
  lean.blmLeft = lean.blmRight = 140;
  const std::string first = dir_.File("a.uni");
  const std::string second = dir_.File("b.uni");
  const std::string image = dir_.File("car.bin");
  tools::WriteFile(first, tools::UniLog(std::vector<tools::UniRecord>(4, lean)));
  tools::WriteFile(second, tools::UniLog(std::vector<tools::UniRecord>(3, lean)));
  const std::string before = tools::ReadFile(image);
  RunRequest request = RunRequest::ForOneLog(first, image, "", "124", "3000");
  request.logPaths.push_back(second);
  request.dryRun = true;
  TuningRun run(window_);
  const RunResult preview = run.Perform(request);
  ASSERT_TRUE(preview.plan);
  if (GetParam().change) GetParam().change(first, second, image);
  request.dryRun = false;
  request.logfileName = dir_.File("car.txt");
  if (!GetParam().change) {
    request.history = false;  // the window's test writes one; this saves the syncs
    run.ApplyPreview(request, *preview.plan);
    RunRequest direct = request;
    direct.pcmPath = dir_.File("direct.bin");
    direct.logfileName = dir_.File("direct.txt");
    tools::WriteFile(direct.pcmPath, before);
    ASSERT_EQ(run.Perform(direct).outcome, RunOutcome::kCompleted);
    EXPECT_NE(tools::ReadFile(image), before);
    EXPECT_EQ(tools::ReadFile(image), tools::ReadFile(direct.pcmPath));
    EXPECT_EQ(tools::ReadFile(request.logfileName), tools::ReadFile(direct.logfileName));
    return;
  }
  const std::string changed = tools::ReadFile(image);
  try {
    run.ApplyPreview(request, *preview.plan);
    ADD_FAILURE() << "a stale preview was written";
  } catch (const StalePreviewError& error) {
    std::string expected = GetParam().named;
    for (std::size_t at; (at = expected.find("DIR/")) != std::string::npos;) {
      expected.replace(at, 4, dir_.File(""));
    }
    EXPECT_EQ(error.what(), "Since the preview, " + expected + "; nothing was written");
  }
  EXPECT_EQ(tools::ReadFile(image), changed);
  EXPECT_FALSE(std::filesystem::exists(request.logfileName));
  EXPECT_FALSE(std::filesystem::exists(image + ".history"));
}

// A request that names other logs than the preview was made from is stale too:
// one log fewer, or one more.
TEST_F(TuningRunTest, ApplyRefusesAPreviewOfOtherLogs) {
  const std::string first = dir_.File("a.uni");
  const std::string second = dir_.File("b.uni");
  tools::WriteFile(first, tools::ReadFile(dir_.File("drive.uni")));
  tools::WriteFile(second, tools::ReadFile(dir_.File("drive.uni")));
  const std::string image = dir_.File("car.bin");
  const std::string before = tools::ReadFile(image);
  RunRequest request = RunRequest::ForOneLog(first, image, "", "124", "3000");
  request.logPaths.push_back(second);
  request.dryRun = true;
  TuningRun run(window_);
  const RunResult preview = run.Perform(request);
  ASSERT_TRUE(preview.plan);
  request.dryRun = false;
  request.logfileName = dir_.File("car.txt");
  for (const std::vector<std::string>& logs :
       std::vector<std::vector<std::string>>{{first}, {first, second, second}}) {
    request.logPaths = logs;
    try {
      run.ApplyPreview(request, *preview.plan);
      ADD_FAILURE() << "a preview of other logs was written";
    } catch (const StalePreviewError& error) {
      EXPECT_EQ(std::string(error.what()),
                "Since the preview, the list of logs changed; nothing was written");
    }
  }
  EXPECT_EQ(tools::ReadFile(image), before);
  EXPECT_FALSE(std::filesystem::exists(request.logfileName));
}

constexpr std::chrono::seconds kLater{1};
constexpr std::chrono::seconds kSameTime{0};

INSTANTIATE_TEST_SUITE_P(
    Changes, StalePreviewTest,
    ::testing::Values(
        InputChange{"Nothing", nullptr},
        // The log's time alone: the same bytes, written again.
        InputChange{"FirstLogTouched",
                    [](const std::string& log, const std::string&, const std::string&) {
                      Rewrite(log, tools::ReadFile(log), kLater);
                    },
                    "the log DIR/a.uni changed"},
        // The log's size alone: a record more, its time kept.
        InputChange{"FirstLogGrownAtItsOldTime",
                    [](const std::string& log, const std::string&, const std::string&) {
                      Rewrite(log, tools::ReadFile(log) + tools::UniRecordBytes({}, 4), kSameTime);
                    },
                    "the log DIR/a.uni changed"},
        // Every log counts, not only the first.
        InputChange{"SecondLogTouched",
                    [](const std::string&, const std::string& log, const std::string&) {
                      Rewrite(log, tools::ReadFile(log), kLater);
                    },
                    "the log DIR/b.uni changed"},
        InputChange{"SecondLogRemoved",
                    [](const std::string&, const std::string& log, const std::string&) {
                      std::filesystem::remove(log);
                    },
                    "the log DIR/b.uni is gone"},
        // Two inputs at once: both named.
        InputChange{"FirstLogAndImageTouched",
                    [](const std::string& log, const std::string&, const std::string& image) {
                      Rewrite(log, tools::ReadFile(log), kLater);
                      Rewrite(image, tools::ReadFile(image), kLater);
                    },
                    "the log DIR/a.uni changed and the calibration image DIR/car.bin changed"},
        // The image's time alone.
        InputChange{"ImageTouched",
                    [](const std::string&, const std::string&, const std::string& image) {
                      Rewrite(image, tools::ReadFile(image), kLater);
                    },
                    "the calibration image DIR/car.bin changed"},
        // The image's hash alone: a byte outside the region a pass writes,
        // at the same size and time.
        InputChange{"ImageEditedAtItsOldTime",
                    [](const std::string&, const std::string&, const std::string& image) {
                      std::string bytes = tools::ReadFile(image);
                      bytes[0x100] = static_cast<char>(bytes[0x100] ^ 0x5A);
                      Rewrite(image, bytes, kSameTime);
                    },
                    "the calibration image DIR/car.bin changed"}),
    [](const ::testing::TestParamInfo<InputChange>& tested) {
      return std::string(tested.param.name);
    });

// Output that cuts the log down to `size` bytes when its reader starts
// reading the records, after it counted them: the log shrinks while it is
// read.
class ShrinkingOutput : public std::stringbuf {
 public:
  ShrinkingOutput(std::string path, std::uintmax_t size) : path_(std::move(path)), size_(size) {}

 protected:
  int sync() override {
    if (!cut_ && str().find("reading in data...") != std::string::npos) {
      std::filesystem::resize_file(path_, size_);
      cut_ = true;
    }
    return 0;
  }

 private:
  std::string path_;
  std::uintmax_t size_;
  bool cut_ = false;
};

struct Shrink {
  std::string extension;
  int kept;  // of ten records
};

void PrintTo(const Shrink& shrink, std::ostream* out) {
  *out << shrink.extension << " keeping " << shrink.kept;
}

class ShrinkTest : public ::testing::TestWithParam<Shrink> {};

// Records counted in the file but gone when read count as cut off, so the
// fates still add up, and the run says the log shrank; with none left, it
// also says there was nothing to tune.
TEST_P(ShrinkTest, ALogThatShrinksWhileReadIsSaidToHave) {
  // Named copies, not a structured binding: clang 14, which builds the tests
  // under the sanitizers, cannot capture a binding in a lambda.
  const std::string extension = GetParam().extension;
  const int kept = GetParam().kept;
  auto log = [&extension](int records) {
    if (extension == "uni") return tools::UniLog(std::vector<tools::UniRecord>(records));
    if (extension == "csv") return tools::FreescanLog(std::vector<tools::FreescanRecord>(records));
    return tools::PCMcommLog(std::vector<tools::PCMcommRecord>(records));
  };
  TempDir dir;
  const std::string path = dir.File("drive." + extension);
  tools::WriteFile(path, log(10));
  tools::WriteFile(dir.File("car.bin"), CalibrationImage().Bytes(ImageLayout::kBin));
  ShrinkingOutput shrinking(path, log(kept).size());
  std::ostream out(&shrinking);
  std::ostringstream err;
  Diagnostics diagnostics(out, err);
  RecordingWindow window;
  RunRequest request = RunRequest::ForOneLog(path, dir.File("car.bin"), "", "124", "3000");
  request.dryRun = true;
  const RunResult result = TuningRun(window, diagnostics).Perform(request);
  ASSERT_TRUE(result.plan);

  const RecordFates& fates = result.plan->logs.front().fates;
  EXPECT_EQ(fates.read, 10u);
  EXPECT_EQ(fates.rejected[static_cast<std::size_t>(Rejection::kCutOff)], 10u - kept);
  EXPECT_EQ(fates.Used(), static_cast<std::uint64_t>(kept));
  EXPECT_EQ(fates.Counted(), fates.read);
  const std::string shrank = "The log " + path +
                             " shrank while it was read: " + std::to_string(10 - kept) +
                             " record(s) counted in it were gone when read; tune again once the "
                             "log is complete";
  const std::vector<std::string>& warnings = result.plan->warnings;
  EXPECT_NE(std::find(warnings.begin(), warnings.end(), shrank), warnings.end());
  EXPECT_NE(err.str().find(shrank + "\n"), std::string::npos) << err.str();
  EXPECT_EQ(result.plan->NothingToTune(), kept == 0);
  EXPECT_EQ(err.str().find("Nothing to tune: no record of the log(s) was used (10 read: 10 "
                           "rejected (cut_off 10), 0 not warm") != std::string::npos,
            kept == 0)
      << err.str();
}

INSTANTIATE_TEST_SUITE_P(Formats, ShrinkTest,
                         ::testing::Values(Shrink{"uni", 4}, Shrink{"csv", 4}, Shrink{"txt", 4},
                                           Shrink{"csv", 0}),
                         [](const ::testing::TestParamInfo<Shrink>& tested) {
                           return tested.param.extension + "Keeps" +
                                  std::to_string(tested.param.kept);
                         });

TEST(PathRulesTest, LogfileNameReplacesTheLastExtension) {
  EXPECT_EQ(DeriveLogfileName("/tunes/car.bin"), "/tunes/car_trw.txt");
  EXPECT_EQ(DeriveLogfileName("/tunes/car.v2.lt1"), "/tunes/car.v2_trw.txt");
  EXPECT_EQ(DeriveLogfileName("/tunes.old/car"), "/tunes_trw.txt");
  EXPECT_EQ(DeriveLogfileName("/tunes/car"), "/tunes/car_trw.txt");
  EXPECT_EQ(DeriveLogfileName(""), "_trw.txt");
}

TEST(PathRulesTest, ExtensionIsTheTextAfterTheLastDot) {
  EXPECT_EQ(FileExtension("/logs/run.uni"), "uni");
  EXPECT_EQ(FileExtension("/logs/run.uni.bak"), "bak");
  EXPECT_EQ(FileExtension("/logs.d/run"), "d/run");
  EXPECT_EQ(FileExtension("/logs/run."), "");
  EXPECT_EQ(FileExtension("/logs/run"), "");
}

}  // namespace
}  // namespace trimwright
