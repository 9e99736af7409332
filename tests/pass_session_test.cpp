// The window's session without a window: Process, Preview and Apply, an
// input changed or gone after the preview, an image its check refused, cells
// locked while a preview is shown, and undo, through a view that records
// what the user would see and answers what the user would be asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/CellLocks.h"
#include "app/PassSession.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/TempDir.h"
#include "tools/DriveSimulator.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

namespace fs = std::filesystem;

class RecordingView : public SessionView {
 public:
  void ShowMessage(const std::string& text) override { events.push_back("message " + text); }
  void SetProgress(int position) override { progress = position; }
  void RepaintProgress() override {}
  void ShowError(const std::string& text) override { events.push_back("error " + text); }
  void ShowWarning(const std::string& text) override { events.push_back("warning " + text); }
  bool AskTuneAnyway(const std::string&) override {
    events.push_back("ask tune anyway");
    return tuneAnyway;
  }
  bool Confirm(const std::string& question) override {
    events.push_back("confirm " + question.substr(0, question.find('(')));
    return confirm;
  }
  void ShowPass(const PassPlan& plan, bool preview) override {
    events.push_back(preview ? "preview" : "written");
    shown = plan;
  }
  void PreviewLost() override { events.push_back("preview lost"); }

  std::vector<std::string> events;
  int progress = -1;
  bool tuneAnyway = false;
  bool confirm = true;
  std::optional<PassPlan> shown;
};

using Events = std::vector<std::string>;

class PassSessionTest : public ::testing::Test {
 protected:
  PassSessionTest() {
    const tools::CalibrationImage image = tools::MakeSampleImage();
    original_ = image.Bytes(tools::ImageLayout::kBin);
    std::vector<tools::UniRecord> records;
    for (const tools::LogSample& s : tools::SimulateDrive(image, 1, 1500)) {
      records.push_back(tools::UniRecord::From(s));
    }
    for (const char* name : {"car.bin", "twin.bin"}) {
      tools::WriteFile(dir_.File(name), original_);
    }
    tools::WriteFile(log_, tools::UniLog(records));
  }

  RunRequest Request(const std::string& image, bool dryRun) const {
    RunRequest request;
    request.logPaths = {log_};
    request.pcmPath = dir_.File(image);
    request.logfileName = dryRun ? "" : dir_.File("car_trw.txt");
    request.dryRun = dryRun;
    return request;
  }
  std::string Image(const std::string& name = "car.bin") const {
    return tools::ReadFile(dir_.File(name));
  }

  testing::TempDir dir_;
  testing::CapturedOutput quiet_;
  std::string original_;
  const std::string log_ = dir_.File("drive.uni");
  RecordingView view_;
  PassSession session_{view_};
};

TEST_F(PassSessionTest, ApplyWritesExactlyThePreviewAndForgetsIt) {
  session_.Apply(dir_.File("car_trw.txt"));
  EXPECT_EQ(view_.events, Events{}) << "nothing previewed, nothing to apply";
  session_.Preview(Request("car.bin", true));
  EXPECT_TRUE(session_.HasPreview());
  EXPECT_EQ(Image(), original_);
  session_.Apply(dir_.File("car_trw.txt"));
  session_.Process(Request("twin.bin", false));
  EXPECT_EQ(view_.events, (Events{"preview", "message Processing complete", "written",
                                  "message Processing complete", "written"}));
  EXPECT_NE(Image(), original_);
  EXPECT_EQ(Image(), Image("twin.bin"));
  EXPECT_FALSE(session_.HasPreview());
}

// Apply writes the report under the name the window holds when it is pressed,
// not the one of the preview; a Process that fails forgets the preview too.
TEST_F(PassSessionTest, ApplyTakesTheReportNameGivenAndAFailedProcessForgetsThePreview) {
  RunRequest preview = Request("car.bin", true);
  preview.logfileName = dir_.File("earlier_trw.txt");
  session_.Preview(preview);
  session_.Apply(dir_.File("car_trw.txt"));
  EXPECT_TRUE(fs::exists(dir_.File("car_trw.txt")));
  session_.Preview(Request("twin.bin", true));
  session_.Process(Request("missing.bin", false));
  EXPECT_EQ(view_.events.back().rfind("error ", 0), 0u) << view_.events.back();
  EXPECT_FALSE(session_.HasPreview());
  session_.Apply(dir_.File("twin_trw.txt"));
  EXPECT_EQ(Image("twin.bin"), original_);
}

// A log changed since the preview: said, nothing written, previewed again;
// the next Apply writes the new preview. A log gone: the preview is lost, so
// Apply does nothing instead of asking again and again.
TEST_F(PassSessionTest, StaleInputsArePreviewedAgainAndAGoneOneLosesThePreview) {
  session_.Preview(Request("car.bin", true));
  tools::WriteFile(log_, tools::ReadFile(log_) + std::string(128, '\0'));
  session_.Apply(dir_.File("car_trw.txt"));
  ASSERT_EQ(view_.events.size(), 3u);
  EXPECT_EQ(view_.events[1], "warning Since the preview, the log " + log_ +
                                 " changed; nothing was written; the pass is previewed again.");
  EXPECT_EQ(view_.events[2], "preview");
  EXPECT_EQ(Image(), original_);
  session_.Apply(dir_.File("car_trw.txt"));
  EXPECT_EQ(view_.events.back(), "written");

  view_.events.clear();
  session_.Preview(Request("car.bin", true));
  fs::remove(log_);
  session_.Apply(dir_.File("car_trw.txt"));
  ASSERT_EQ(view_.events.size(), 4u);
  EXPECT_EQ(view_.events[1].rfind("warning Since the preview, the log " + log_ + " is gone;", 0),
            0u)
      << view_.events[1];
  EXPECT_EQ(view_.events[2].rfind("error ", 0), 0u) << view_.events[2];
  EXPECT_EQ(view_.events[3], "preview lost");
  EXPECT_FALSE(session_.HasPreview());
  view_.events.clear();
  session_.Apply(dir_.File("car_trw.txt"));
  EXPECT_EQ(view_.events, Events{});
}

// A refused image asks; No writes nothing and puts the bar back, Yes tunes
// it as --ignore-checksum does.
TEST_F(PassSessionTest, ARefusedImageIsTunedOnlyWhenTheUserSaysSo) {
  std::string broken = original_;
  broken[0x1FFFF] = static_cast<char>(broken[0x1FFFF] ^ 1);
  tools::WriteFile(dir_.File("car.bin"), broken);
  tools::WriteFile(dir_.File("twin.bin"), broken);
  session_.Process(Request("car.bin", false));
  EXPECT_EQ(view_.events, Events{"ask tune anyway"});
  EXPECT_EQ(view_.progress, 0);
  EXPECT_EQ(Image(), broken);

  view_.tuneAnyway = true;
  session_.Process(Request("car.bin", false));
  RunRequest anyway = Request("twin.bin", false);
  anyway.ignoreChecksum = true;
  PassSession other(view_);
  other.Process(anyway);
  EXPECT_NE(Image(), broken);
  EXPECT_EQ(Image(), Image("twin.bin"));
}

// Locking cells while a preview is shown plans it again with them, so that
// Apply keeps them; no cells selected is said, and nothing is stored.
TEST_F(PassSessionTest, LockingPlansThePreviewAgain) {
  EXPECT_FALSE(session_.ChangeLocks(dir_.File("car.bin"), {}, true));
  EXPECT_EQ(view_.events, Events{"message Select the VE cells to lock in the grid first"});
  session_.Preview(Request("car.bin", true));
  const std::vector<GridCell> cells{{1600, 50}, {1600, 55}};
  const auto locks = session_.ChangeLocks(dir_.File("car.bin"), cells, true);
  ASSERT_TRUE(locks);
  EXPECT_EQ(*locks, cells);
  EXPECT_EQ(view_.events.back(), "preview");
  EXPECT_EQ(view_.shown->limits.locked, cells);
  session_.Apply(dir_.File("car_trw.txt"));
  EXPECT_EQ(view_.events.back(), "written");
  EXPECT_EQ(CellLocks::Read(dir_.File("car.bin")), cells);
  EXPECT_EQ(*session_.ChangeLocks(dir_.File("car.bin"), {{1600, 55}}, false),
            (std::vector<GridCell>{{1600, 50}}));
}

TEST_F(PassSessionTest, UndoAsksFirstAndSaysWhenNothingIsLeft) {
  session_.Undo(dir_.File("car.bin"), 50);
  EXPECT_EQ(view_.events.back(), "message No pass of " + dir_.File("car.bin") + " is left to undo");
  session_.Process(Request("car.bin", false));
  view_.confirm = false;
  session_.Undo(dir_.File("car.bin"), 50);
  EXPECT_EQ(view_.events.back().rfind("confirm Undo pass #1 of ", 0), 0u) << view_.events.back();
  EXPECT_NE(Image(), original_);
  view_.confirm = true;
  session_.Undo(dir_.File("car.bin"), 50);
  EXPECT_EQ(Image(), original_);
  EXPECT_EQ(view_.events.back().rfind("message Put back ", 0), 0u) << view_.events.back();
  // An image changed since its pass: undone once the user agreed to lose
  // that change too.
  session_.Process(Request("car.bin", false));
  std::string edited = Image();
  edited[0x12BEE] = static_cast<char>(edited[0x12BEE] ^ 1);
  tools::WriteFile(dir_.File("car.bin"), edited);
  session_.Undo(dir_.File("car.bin"), 50);
  EXPECT_EQ(Image(), original_);
  EXPECT_EQ(view_.events.back().rfind("message Put back ", 0), 0u) << view_.events.back();
}

}  // namespace
}  // namespace trimwright
