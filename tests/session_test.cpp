// A tuning session through trimwright-cli: the progress of the passes read
// from the history (--history --json), over passes with locked cells and a
// limit over all passes too, and the comparison of two images (--compare), of
// files in either layout and of images a history saved.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/DriveSimulator.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using Json = nlohmann::json;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;

// The sample image's halves swapped: the same calibration as an .lt1 file.
std::string Swapped(const std::string& bin) { return bin.substr(0x10000) + bin.substr(0, 0x10000); }

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : original_(tools::ReadFile(kExamples + "/sample.bin")) {
    tools::WriteFile(image_, original_);
  }

  ProcessResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), kCli);
    return RunProcess(args);
  }
  // A pass with options over a new simulated drive over the image as it
  // stands.
  void DriveAndPass(std::uint32_t seed, std::vector<std::string> options = {}) {
    const tools::CalibrationImage image =
        tools::CalibrationImage::FromBytes(tools::ReadFile(image_), tools::ImageLayout::kBin);
    std::vector<tools::UniRecord> records;
    for (const tools::LogSample& s : tools::SimulateDrive(image, seed, 1500)) {
      records.push_back(tools::UniRecord::From(s));
    }
    const std::string log = dir_.File("drive" + std::to_string(seed) + ".uni");
    tools::WriteFile(log, tools::UniLog(records));
    options.insert(options.end(), {"-q", log, image_});
    const ProcessResult pass = Cli(options);
    ASSERT_EQ(pass.exitStatus, 0) << pass.err;
  }
  Json JsonOf(const std::vector<std::string>& args) {
    const ProcessResult result = Cli(args);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    return Json::parse(result.out);
  }
  std::vector<std::string> EntryFolders() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(image_ + ".history")) {
      if (e.is_directory() && e.path().filename() != "baseline") names.push_back(e.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  const std::string image_ = dir_.File("car.bin");
  const std::string original_;
};

// Three drives, each logged over the image the pass before left, with a block
// of cells locked and every cell held within 5 % of the first image: the trims
// close in on the target, and the image now differs from the one before the
// first pass in exactly the VE cells whose bytes the passes moved (the first
// stored plan's old byte against the last one's new byte), none of them
// locked, none further than the limit, the limit reached.
TEST_F(SessionTest, ThreeLimitedPassesCloseInAndCompareWithTheFirstImageListsTheirCells) {
  ASSERT_EQ(Cli({"--lock", "1600-1800:50-60", image_}).exitStatus, 0);
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    DriveAndPass(seed, {"--max-total-change", "5"});
  }

  const Json progress = JsonOf({"--history", image_, "--json", "-"});
  ASSERT_EQ(progress["passes"].size(), 3u) << progress.dump(1);
  double previous = 1e9;
  for (std::size_t k = 0; k < 3; ++k) {
    const Json& pass = progress["passes"][k];
    EXPECT_EQ(pass["number"], k + 1);
    EXPECT_EQ(pass["kind"], "pass");
    EXPECT_EQ(pass["undone"], false);
    EXPECT_EQ(pass["target_blm"], 124);
    EXPECT_EQ(pass["limits"]["max_total_change_percent"], 5.0);
    EXPECT_EQ(pass["limits"]["locked_cells"].size(), 6u);
    EXPECT_EQ(pass["logs"][0]["path"], dir_.File("drive" + std::to_string(k + 1) + ".uni"));
    EXPECT_GT(pass["records_used"].get<int>(), 500);
    const double mean = pass["distance"]["mean"].get<double>();
    EXPECT_LT(mean, previous) << "pass " << k + 1;
    EXPECT_GE(pass["distance"]["worst"].get<double>(), mean);
    previous = mean;
  }
  EXPECT_EQ(progress["passes"][2]["image_as_left"], true);
  EXPECT_EQ(progress["passes"][0]["image_as_left"], false);

  const Json compare = JsonOf({"--compare", image_ + "@1", image_, "--json", "-"});
  std::vector<Json> plans;
  for (const std::string& entry : EntryFolders()) {
    plans.push_back(Json::parse(tools::ReadFile(entry + "/pass.json")));
  }
  ASSERT_EQ(plans.size(), 3u);
  int differing = 0;
  for (const char* cells : {"ve_cells", "extended_row_2000"}) {
    ASSERT_EQ(compare[cells].size(), plans[0][cells].size()) << cells;
    for (std::size_t k = 0; k < compare[cells].size(); ++k) {
      const Json& cell = compare[cells][k];
      const int rpm = cell["rpm"];
      const int kpa = cell["kpa"];
      const std::string at =
          std::string(cells) + " " + std::to_string(rpm) + "/" + std::to_string(kpa);
      EXPECT_EQ(cell["a"], plans[0][cells][k]["old"]) << at;
      EXPECT_EQ(cell["b"], plans[2][cells][k]["new"]) << at;
      const int a = cell["a"];
      const int b = cell["b"];
      EXPECT_LE(std::abs(b - a) * 100, 5 * a) << at;
      if (rpm >= 1600 && rpm <= 1800 && kpa >= 50 && kpa <= 60) {
        EXPECT_EQ(a, b) << at;
      }
      if (std::string(cells) == "ve_cells") differing += a != b ? 1 : 0;
    }
  }
  EXPECT_GT(differing, 100);
  EXPECT_EQ(compare["differing_cells"], differing);
  EXPECT_EQ(compare["largest_rise"]["change_percent"], 5.0);
  // Outside the VE tables only the checksum word moved.
  for (const Json& offset : compare["other_differing_offsets"]) {
    EXPECT_TRUE(offset == 0x12015 || offset == 0x12016) << offset;
  }
}

// The figures of a made-up history: an entry's stored plan replaced by
// statistics whose distances are known, an undone pass, its undo, and a
// damaged entry, which is listed and never hidden.
TEST_F(SessionTest, ProgressFiguresOfAMadeUpHistory) {
  tools::WriteFile(dir_.File("drive.uni"), tools::ReadFile(kExamples + "/sample.uni"));
  ASSERT_EQ(Cli({"-q", dir_.File("drive.uni"), image_}).exitStatus, 0);
  ASSERT_EQ(Cli({"-q", "--target-blm", "122", dir_.File("drive.uni"), image_}).exitStatus, 0);
  ASSERT_EQ(Cli({"--undo", image_}).exitStatus, 0);
  // Cell 0: 10 records, 2 and 3 counts off; cell 5: 30 records, 0.5 and 0
  // off; cell 9 without records and the idle cell do not count.
  const std::string plan = EntryFolders()[0] + "/pass.json";
  Json stored = Json::parse(tools::ReadFile(plan));
  auto cell = [](int number, int records, double left, double right) {
    return Json{{"number", number},
                {"records", records},
                {"left", {{"min", 0}, {"avg", left}, {"max", 255}}},
                {"right", {{"min", 0}, {"avg", right}, {"max", 255}}}};
  };
  stored["trim_cells"] = Json::array({cell(0, 10, 126.0, 121.0), cell(5, 30, 124.5, 124.0),
                                      Json{{"number", 9}, {"records", 0}, {"left", nullptr}},
                                      cell(16, 500, 140.0, 140.0)});
  tools::WriteFile(plan, stored.dump());
  std::filesystem::create_directory(image_ + ".history/000004-20270101T000000Z");

  const ProcessResult listed = Cli({"--history", image_, "--json", dir_.File("progress.json")});
  ASSERT_EQ(listed.exitStatus, 0) << listed.err;
  EXPECT_NE(listed.out.find("History of " + image_), std::string::npos) << listed.out;
  const Json progress = Json::parse(tools::ReadFile(dir_.File("progress.json")));
  EXPECT_EQ(progress, JsonOf({"--history", image_, "--json", "-"}));
  ASSERT_EQ(progress["passes"].size(), 4u) << progress.dump(1);

  const Json& first = progress["passes"][0];
  EXPECT_EQ(first["undone"], false);
  EXPECT_EQ(first["distance"], (Json{{"mean", 1.125}, {"worst", 3.0}, {"worst_cell", 0}}));
  EXPECT_EQ(first["banks"]["left"], (Json{{"mean", 0.875}, {"worst", 2.0}, {"worst_cell", 0}}));
  EXPECT_EQ(first["banks"]["right"], (Json{{"mean", 0.75}, {"worst", 3.0}, {"worst_cell", 0}}));
  EXPECT_EQ(first["cells_with_records"], 2);
  EXPECT_EQ(first["time"].get<std::string>().size(), 20u);

  const Json& second = progress["passes"][1];
  EXPECT_EQ(second["kind"], "pass");
  EXPECT_EQ(second["undone"], true);
  EXPECT_EQ(second["target_blm"], 122);
  EXPECT_TRUE(second["distance"]["mean"].is_number());

  const Json& undo = progress["passes"][2];
  EXPECT_EQ(undo["kind"], "undo");
  EXPECT_EQ(undo["undoes"], 2);
  EXPECT_EQ(undo["image_as_left"], true);
  EXPECT_TRUE(undo["distance"].is_null() && undo["records_used"].is_null() &&
              undo["target_blm"].is_null());

  const Json& damaged = progress["passes"][3];
  EXPECT_EQ(damaged["number"], 4);
  EXPECT_TRUE(damaged["kind"].is_null() && damaged["distance"].is_null());
  EXPECT_EQ(damaged["damaged"], "its manifest cannot be read");

  // A stored plan that cannot be read leaves the pass listed, its figures
  // unknown.
  tools::WriteFile(plan, "{ not json");
  const Json unreadable = JsonOf({"--history", image_, "--json", "-"});
  EXPECT_EQ(unreadable["passes"][0]["kind"], "pass");
  EXPECT_EQ(unreadable["passes"][0]["damaged"], "its pass.json cannot be read");
  EXPECT_TRUE(unreadable["passes"][0]["distance"].is_null());
}

// The JSON of --history and --compare goes where any output of a run may:
// never over an image or into its history.
TEST_F(SessionTest, JsonOverAnImageOrItsHistoryIsRefused) {
  tools::WriteFile(dir_.File("drive.uni"), tools::ReadFile(kExamples + "/sample.uni"));
  ASSERT_EQ(Cli({"-q", dir_.File("drive.uni"), image_}).exitStatus, 0);
  const std::string tuned = tools::ReadFile(image_);
  const std::string other = dir_.File("other.bin");
  tools::WriteFile(other, original_);
  const std::string inHistory = EntryFolders()[0] + "/pass.json";
  const std::string stored = tools::ReadFile(inHistory);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--history", image_, "--json", image_},
        {"--history", image_, "--json", inHistory},
        {"--compare", image_, other, "--json", other},
        {"--compare", other, image_, "--json", inHistory}}) {
    const ProcessResult refused = Cli(args);
    EXPECT_EQ(refused.exitStatus, 3) << args[3];
    EXPECT_NE(refused.err.find("The JSON file "), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_TRUE(tools::ReadFile(image_) == tuned);
  EXPECT_TRUE(tools::ReadFile(other) == original_);
  EXPECT_EQ(tools::ReadFile(inHistory), stored);
}

// The same calibration compares equal to itself, also in the other layout;
// a tuned copy differs in exactly the cells its pass changed.
TEST_F(SessionTest, CompareFindsExactlyThePassesCells) {
  const std::string lt1 = dir_.File("car.lt1");
  tools::WriteFile(lt1, Swapped(original_));
  for (const std::string& same : {image_, lt1}) {
    const Json json = JsonOf({"--compare", image_, same, "--json", "-"});
    EXPECT_EQ(json["a"], image_);
    EXPECT_EQ(json["b"], same);
    EXPECT_EQ(json["differing_cells"], 0);
    EXPECT_EQ(json["other_differing_offsets"], Json::array());
    EXPECT_TRUE(json["largest_rise"].is_null() && json["largest_fall"].is_null());
    for (const Json& cell : json["ve_cells"]) EXPECT_EQ(cell["change_percent"], 0.0);
  }
  std::string edges = original_;
  edges.front() = static_cast<char>(edges.front() ^ 1);
  edges.back() = static_cast<char>(edges.back() ^ 1);
  tools::WriteFile(dir_.File("edges.bin"), edges);
  // Its checksum no longer holds: compared only when told to.
  EXPECT_EQ(Cli({"--compare", image_, dir_.File("edges.bin")}).exitStatus, 3);
  EXPECT_EQ(JsonOf({"--compare", image_, dir_.File("edges.bin"), "--json", "-",
                    "--ignore-checksum"})["other_differing_offsets"],
            Json::array({0, 0x1FFFF}));

  const std::string tuned = dir_.File("tuned.lt1");
  tools::WriteFile(tuned, Swapped(original_));
  tools::WriteFile(dir_.File("drive.uni"), tools::ReadFile(kExamples + "/sample.uni"));
  ASSERT_EQ(Cli({"-q", "--no-history", "--json", dir_.File("plan.json"), "--rpm-limit", "4000",
                 dir_.File("drive.uni"), tuned})
                .exitStatus,
            0);
  const Json plan = Json::parse(tools::ReadFile(dir_.File("plan.json")));
  const ProcessResult text = Cli({"--compare", image_, tuned});
  ASSERT_EQ(text.exitStatus, 0) << text.err;
  const Json json = JsonOf({"--compare", image_, tuned, "--json", "-"});
  int changed = 0;
  for (std::size_t k = 0; k < 425; ++k) {
    const Json& cell = json["ve_cells"][k];
    EXPECT_EQ(cell["a"], plan["ve_cells"][k]["old"]) << k;
    EXPECT_EQ(cell["b"], plan["ve_cells"][k]["new"]) << k;
    if (cell["a"] != cell["b"]) {
      ++changed;
      const double a = cell["a"];
      EXPECT_DOUBLE_EQ(cell["change_percent"].get<double>(),
                       (cell["b"].get<double>() - a) * 100.0 / a);
    }
  }
  EXPECT_EQ(changed,
            plan["cells_changed"].get<int>() - json["extended_row_2000_differing"].get<int>());
  EXPECT_EQ(json["differing_cells"], changed);
  // The checksum word, at the .bin offsets of A, with B's .lt1 offsets.
  EXPECT_EQ(json["other_differing_offsets"], Json::array({0x12015, 0x12016}));
  EXPECT_EQ(json["other_differences"][0]["offset_b"], 0x2015);
  const std::string summary = std::to_string(changed) + " VE cell(s) differ; largest rise +";
  EXPECT_NE(text.out.find(summary), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Other bytes that differ, at offsets of A: 0x12015 0x12016\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("     7000     .     .     ."), std::string::npos) << text.out;
}

// A byte on each side of each VE table's edges lands in its own list: the
// first and last of the main and the extended table as VE cells (the
// extended table's first as its copy of the 2000 rpm row), the bytes just
// outside among the other offsets; in the JSON and in the text.
TEST_F(SessionTest, CompareCountsTheBytesAtTheTablesEdgesInTheirOwnList) {
  std::string edges = original_;
  for (const std::size_t offset : {0x12BED, 0x12BEE, 0x12C86, 0x12C87, 0x12C8A, 0x12DAA, 0x12DAB}) {
    edges[offset] = static_cast<char>(edges[offset] ^ 1);
  }
  const std::string other = dir_.File("edges.bin");
  tools::WriteFile(other, edges);
  const Json json = JsonOf({"--ignore-checksum", "--compare", image_, other, "--json", "-"});
  std::vector<std::string> differing;
  for (const Json& cell : json["ve_cells"]) {
    if (cell["a"] == cell["b"]) continue;
    differing.push_back(std::to_string(cell["rpm"].get<int>()) + ":" +
                        std::to_string(cell["kpa"].get<int>()) + " " +
                        cell["table"].get<std::string>());
  }
  EXPECT_EQ(differing,
            (std::vector<std::string>{"400:20 main", "2000:100 main", "7000:100 extended"}));
  EXPECT_EQ(json["differing_cells"], 3);
  EXPECT_EQ(json["extended_row_2000_differing"], 1);
  EXPECT_NE(json["extended_row_2000"][0]["a"], json["extended_row_2000"][0]["b"]);
  EXPECT_EQ(json["other_differing_offsets"], Json::array({0x12BED, 0x12C87, 0x12DAB}));
  const std::string text = Cli({"--ignore-checksum", "--compare", image_, other}).out;
  std::string top = "\n     7000";
  for (int column = 0; column < 16; ++column) top += "     .";
  for (const std::string& line : std::vector<std::string>{
           top + "  +0.5\n", std::string("\n      400  -1.0     .     ."),
           "\n3 VE cell(s) differ; ",
           "\nThe extended table's copy of the 2000 rpm row: 1 cell(s) differ\n",
           "\nOther bytes that differ, at offsets of A: 0x12BED 0x12C87 0x12DAB\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
}

TEST_F(SessionTest, CompareRefusesWhatItCannotReadWithAClearMessage) {
  const std::string shortImage = dir_.File("short.bin");
  tools::WriteFile(shortImage, original_.substr(0, 0x12D99));
  const std::string almost = dir_.File("almost.bin");
  tools::WriteFile(almost, original_.substr(0, 0x12D9A));
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--compare", image_, dir_.File("missing.bin")}, 3, "Unable to open file"},
      {{"--compare", shortImage, image_},
       3,
       "The image " + shortImage +
           " is 77209 bytes long, too short to compare: its VE tables reach to offset 0x12D99, "
           "so it needs at least 77210 bytes"},
      {{"--compare", image_ + "@1", image_}, 3, "The history of " + image_ + " has no entry #1"},
      {{"--compare", image_ + "@0", image_}, 2, "what follows @ must be the number"},
      {{"--compare", image_ + "@x", image_}, 2, "what follows @ must be the number"},
      {{"--compare", dir_.File("car.txt"), image_}, 2, "is not a calibration image"},
      {{"--compare", image_}, 2, "--compare"},
      {{"--compare", image_, image_, "--grid"}, 2, "--compare takes two images, --json"},
      {{"--compare", almost, image_}, 3, "is not a sound calibration, so it was not compared"},
  };
  for (const Case& c : cases) {
    const ProcessResult refused = Cli(c.args);
    EXPECT_EQ(refused.exitStatus, c.status) << c.args[1];
    EXPECT_NE(refused.err.find(c.message), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  // Just long enough: the 7000 rpm row, which no pass reaches, is missing.
  const Json json = JsonOf({"--compare", almost, image_, "--json", "-", "--ignore-checksum"});
  for (std::size_t k = 408; k < 425; ++k) {
    EXPECT_TRUE(json["ve_cells"][k]["a"].is_null());
    EXPECT_TRUE(json["ve_cells"][k]["change_percent"].is_null());
  }
  EXPECT_EQ(json["ve_cells"][407]["a"], json["ve_cells"][407]["b"]);
  EXPECT_EQ(json["differing_cells"], 0);
}

}  // namespace
}  // namespace trimwright
