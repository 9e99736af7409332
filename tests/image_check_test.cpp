// The check of an image before a pass, through trimwright-cli: a sound image
// tunes as always; one of the wrong size, with a half whose checksum does not
// hold, or of the other layout under this one's name is refused before any
// log is read, with nothing written; --ignore-checksum tunes it exactly as a
// sound one is tuned; a dry run warns instead; --check prints the facts and
// says by its exit status whether every image is sound; and the 7000 rpm row
// is shown as the image holds it, never tuned.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "calibration/ImageCheck.h"
#include "calibration/Tunercat.h"
#include "tests/support/Golden.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using Json = nlohmann::json;
using testing::ProcessResult;
using testing::ReplaceAll;
using testing::RunProcess;
using testing::TempDir;

const std::string kCli = TRIMWRIGHT_CLI_PATH;
const std::string kExamples = TRIMWRIGHT_EXAMPLES_DIR;
constexpr unsigned kSampleVeWord = 0x43DD;
constexpr unsigned kSampleBoundaryWord = 0x5869;

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
  return text;
}

ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), kCli);
  return RunProcess(args);
}

// A sample image under another name, changed as a case says.
struct Damage {
  std::string name;
  std::string sample;     // "bin" or "lt1": the sample copied
  std::string imageName;  // the name the pass is given
  long resize = 0;        // bytes added (zeros) or, below 0, cut off the end
  long flip = -1;         // offset of a byte whose lowest bit is flipped; -1 for none
  std::string problem;    // what the refusal says; empty for a sound image

  std::string Apply(std::string bytes) const {
    if (resize != 0)
      bytes.resize(static_cast<std::size_t>(static_cast<long>(bytes.size()) + resize));
    if (flip >= 0) bytes[static_cast<std::size_t>(flip)] ^= 1;
    return bytes;
  }
  std::string Sample() const { return tools::ReadFile(kExamples + "/sample." + sample); }
};

void PrintTo(const Damage& d, std::ostream* out) { *out << d.name; }

class ImageCheckTest : public ::testing::TestWithParam<Damage> {
 protected:
  // A pass in folder over its image and a copy of the sample log.
  static ProcessResult Pass(const TempDir& folder, const std::string& imageName,
                            const std::vector<std::string>& options = {}) {
    tools::WriteFile(folder.File("drive.uni"), tools::ReadFile(kExamples + "/sample.uni"));
    std::vector<std::string> args = options;
    args.push_back(folder.File("drive.uni"));
    args.push_back(folder.File(imageName));
    return Cli(args);
  }
};

TEST_P(ImageCheckTest, RefusesAnUnsoundImageUnlessToldAndThenTunesItAsASoundOne) {
  const Damage& d = GetParam();
  TempDir dir;
  const std::string image = dir.File(d.imageName);
  const std::string bytes = d.Apply(d.Sample());
  tools::WriteFile(image, bytes);

  const ProcessResult refused = Pass(dir, d.imageName);
  if (d.problem.empty()) {
    EXPECT_EQ(refused.exitStatus, 0) << refused.err;
    return;
  }
  EXPECT_EQ(refused.exitStatus, 3);
  EXPECT_EQ(refused.out, "");  // not one line of the log reader
  EXPECT_EQ(refused.err, "trimwright-cli: error: The image " + image +
                             " is not a sound calibration, so it was not tuned: " + d.problem +
                             ". No log was read and nothing was written\ntrimwright-cli: to tune "
                             "the image as it is anyway, add --ignore-checksum\n");
  EXPECT_TRUE(tools::ReadFile(image) == bytes);
  EXPECT_FALSE(std::filesystem::exists(dir.File("car_trw.txt")));
  EXPECT_FALSE(std::filesystem::exists(image + ".history"));

  const ProcessResult anyway = Pass(dir, d.imageName, {"--ignore-checksum"});
  ASSERT_EQ(anyway.exitStatus, 0) << anyway.err;
  if (d.imageName.substr(4) != d.sample) return;  // the other layout: no sound image to match
  // The bytes, report and lines of a pass over the sound sample, with the
  // same damage left where it was.
  TempDir soundDir;
  tools::WriteFile(soundDir.File(d.imageName), d.Sample());
  const ProcessResult sound = Pass(soundDir, d.imageName);
  ASSERT_EQ(sound.exitStatus, 0) << sound.err;
  EXPECT_EQ(anyway.err, sound.err);
  EXPECT_EQ(ReplaceAll(anyway.out, dir.path(), "@"), ReplaceAll(sound.out, soundDir.path(), "@"));
  EXPECT_TRUE(tools::ReadFile(dir.File("car_trw.txt")) ==
              tools::ReadFile(soundDir.File("car_trw.txt")));
  EXPECT_TRUE(tools::ReadFile(image) == d.Apply(tools::ReadFile(soundDir.File(d.imageName))));
}

// The checksum of the flipped byte's half as the refusal gives it: the
// stored word moved by the change of the byte.
std::string HalfProblem(const Damage& d, const std::string& half, unsigned stored) {
  const int old = static_cast<unsigned char>(d.Sample()[static_cast<std::size_t>(d.flip)]);
  return "the checksum of its " + half + ") does not hold: stored " + Hex4(stored) + ", computed " +
         Hex4(stored + static_cast<unsigned>((old ^ 1) - old));
}

std::vector<Damage> Cases() {
  const std::string size =
      " bytes long, where a calibration image is exactly 131072 bytes (two "
      "halves of 64 KiB)";
  const std::string binVe =
      "second half (file offsets 0x10000 to 0x1FFFF, which holds the VE tables";
  const std::string binBounds =
      "first half (file offsets 0x00000 to 0x0FFFF, which holds the fuel trim boundaries";
  const std::string lt1Ve =
      "first half (file offsets 0x00000 to 0x0FFFF, which holds the VE tables";
  std::vector<Damage> cases{
      {"OneByteShort", "bin", "car.bin", -1, -1, "it is 131071" + size},
      {"OneByteLong", "bin", "car.bin", 1, -1, "it is 131073" + size},
      {"LastByteOfTheVeHalf", "bin", "car.bin", 0, 0x1FFFF, binVe},
      {"FirstSummedByteOfTheVeHalf", "bin", "car.bin", 0, 0x12018, binVe},
      {"ByteBeforeTheVeHalfSum", "bin", "car.bin", 0, 0x12017, ""},
      {"LastByteOfTheBoundaryHalf", "bin", "car.bin", 0, 0x0FFFF, binBounds},
      {"FirstSummedByteOfTheBoundaryHalf", "bin", "car.bin", 0, 0x02018, binBounds},
      {"StoredWordOfTheBoundaryHalf", "bin", "car.bin", 0, 0x02016, ""},
      {"ByteBeforeTheBoundaryHalfSum", "bin", "car.bin", 0, 0x02017, ""},
      {"LastByteOfTheLt1VeHalf", "lt1", "car.lt1", 0, 0x0FFFF, lt1Ve},
      {"Lt1NamedBin", "lt1", "car.bin", 0, -1,
       "it looks like an image in the .lt1 layout named .bin: its fuel trim boundaries make "
       "sense only with its two halves the other way round (rename it to .lt1 if it is one)"},
      {"BinNamedLt1", "bin", "car.lt1", 0, -1,
       "it looks like an image in the .bin layout named .lt1: its fuel trim boundaries make "
       "sense only with its two halves the other way round (rename it to .bin if it is one)"},
  };
  for (Damage& d : cases) {
    if (d.flip < 0 || d.problem.empty()) continue;
    const bool ve = d.problem.find("VE tables") != std::string::npos;
    d.problem = HalfProblem(d, d.problem, ve ? kSampleVeWord : kSampleBoundaryWord);
  }
  // The stored word itself: the sum stays, the word moves.
  Damage& word = *std::find_if(cases.begin(), cases.end(), [](const Damage& d) {
    return d.name == "StoredWordOfTheBoundaryHalf";
  });
  const int old = static_cast<unsigned char>(word.Sample()[0x02016]);
  word.problem = "the checksum of its " + binBounds + ") does not hold: stored " +
                 Hex4(kSampleBoundaryWord + static_cast<unsigned>((old ^ 1) - old)) +
                 ", computed " + Hex4(kSampleBoundaryWord);
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Damages, ImageCheckTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Damage>& param) {
                           return param.param.name;
                         });

class ImageFactsTest : public ::testing::Test {
 protected:
  ImageFactsTest() {
    for (const char* ext : {"bin", "lt1", "uni"}) {
      tools::WriteFile(dir_.File(std::string("sample.") + ext),
                       tools::ReadFile(kExamples + "/sample." + ext));
    }
    std::string damaged = tools::ReadFile(kExamples + "/sample.bin");
    damaged[0x1FFFF] ^= 1;
    tools::WriteFile(dir_.File("damaged.bin"), damaged);
  }

  std::string Bytes(const std::string& name) const { return tools::ReadFile(dir_.File(name)); }
  // The lowest and highest byte of count bytes at offset of name.
  std::pair<int, int> Range(const std::string& name, std::size_t offset, std::size_t count) const {
    const std::string bytes = Bytes(name).substr(offset, count);
    const auto [low, high] = std::minmax_element(bytes.begin(), bytes.end(), [](char a, char b) {
      return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
    });
    return {static_cast<unsigned char>(*low), static_cast<unsigned char>(*high)};
  }

  TempDir dir_;
};

TEST_F(ImageFactsTest, DryRunOfARefusedImageShowsItsPlanWithTheRefusalAsAWarning) {
  const std::string before = Bytes("damaged.bin");
  const ProcessResult dry =
      Cli({"--dry-run", "--json", "-", dir_.File("sample.uni"), dir_.File("damaged.bin")});
  ASSERT_EQ(dry.exitStatus, 0) << dry.err;
  const Json plan = Json::parse(dry.out);
  const std::string warning = "Warning!  The image " + dir_.File("damaged.bin") +
                              " is not a sound calibration, and a pass refuses it unless told to "
                              "tune it anyway: the checksum of its second half";
  ASSERT_FALSE(plan["warnings"].empty());
  EXPECT_EQ(plan["warnings"][0].get<std::string>().rfind(warning, 0), 0u) << plan["warnings"];
  EXPECT_EQ(dry.err.rfind(warning, 0), 0u) << dry.err;  // before the reader's first line
  EXPECT_EQ(plan["ve_cells"].size(), 425u);
  EXPECT_EQ(Bytes("damaged.bin"), before);

  // The facts of the check, as --check gives them.
  const Json& check = plan["image_check"];
  const int last = static_cast<unsigned char>(before[0x1FFFF]);
  const Json halves = {{{"offset", 0},
                        {"holds", "fuel_trim_boundaries"},
                        {"stored", kSampleBoundaryWord},
                        {"computed", kSampleBoundaryWord},
                        {"sound", true}},
                       {{"offset", 0x10000},
                        {"holds", "ve_tables"},
                        {"stored", kSampleVeWord},
                        {"computed", kSampleVeWord + static_cast<unsigned>(last - (last ^ 1))},
                        {"sound", false}}};
  EXPECT_FALSE(check["sound"].get<bool>());
  EXPECT_EQ(check["layout"], "Tunercat");
  EXPECT_EQ(check["size"], 131072);
  EXPECT_EQ(check["checksums"], halves);
  EXPECT_FALSE(check["looks_like_other_layout"].get<bool>());
  EXPECT_EQ(check["fuel_trim_boundaries"],
            Json({{"rpm", {1200, 2000, 2800}}, {"kpa", {40, 60, 80}}}));
  EXPECT_EQ(check["ve_tables"]["main"]["min"], Range("damaged.bin", 0x12BEE, 153).first);
  EXPECT_EQ(check["ve_tables"]["extended"]["max"], Range("damaged.bin", 0x12C8A, 289).second);
  EXPECT_EQ(check["ve_tables"]["extended"]["rpm_range"], Json({2000, 7000}));
  EXPECT_EQ(check["problems"].size(), 1u);

  // Told to tune it anyway, a dry run gives no such warning.
  const Json anyway = Json::parse(Cli({"--dry-run", "--ignore-checksum", "--json", "-",
                                       dir_.File("sample.uni"), dir_.File("damaged.bin")})
                                      .out);
  EXPECT_TRUE(anyway["warnings"].empty()) << anyway["warnings"];
}

TEST_F(ImageFactsTest, CheckPrintsTheFactsAndExitsZeroOnlyWhenEveryImageIsSound) {
  const ProcessResult sound = Cli({"--check", dir_.File("sample.bin"), dir_.File("sample.lt1")});
  EXPECT_EQ(sound.exitStatus, 0) << sound.err;
  EXPECT_EQ(sound.err, "");
  auto percent = [](int byte) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f",
                  static_cast<double>(static_cast<float>(byte) * 0.390588f));
    return std::string(text);
  };
  const auto [mainLow, mainHigh] = Range("sample.bin", 0x12BEE, 153);
  const auto [extLow, extHigh] = Range("sample.bin", 0x12C8A, 289);
  const std::string bin =
      dir_.File("sample.bin") +
      ": sound\n"
      "  layout: .bin (Tunercat), as its extension names\n"
      "  size: 131072 bytes\n"
      "  checksum of the first half (file offsets 0x00000 to 0x0FFFF, which holds the fuel "
      "trim boundaries): stored 0x5869, computed 0x5869, holds\n"
      "  checksum of the second half (file offsets 0x10000 to 0x1FFFF, which holds the VE "
      "tables): stored 0x43DD, computed 0x43DD, holds\n"
      "  fuel trim boundaries: rpm 1200 2000 2800, kPa 40 60 80\n"
      "  main VE table (400 to 2000 rpm): " +
      percent(mainLow) + " % to " + percent(mainHigh) +
      " %\n  extended VE table (2000 to 7000 rpm): " + percent(extLow) + " % to " +
      percent(extHigh) + " %\n\n" + dir_.File("sample.lt1") +
      ": sound\n  layout: .lt1 (LT1edit), as its extension names\n  size: 131072 bytes\n"
      "  checksum of the first half (file offsets 0x00000 to 0x0FFFF, which holds the VE "
      "tables): stored 0x43DD, computed 0x43DD, holds\n";
  EXPECT_EQ(sound.out.substr(0, bin.size()), bin);
  EXPECT_EQ(Bytes("sample.bin"), tools::ReadFile(kExamples + "/sample.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("sample.bin.history")));

  const ProcessResult mixed = Cli({"--check", dir_.File("damaged.bin"), dir_.File("sample.bin")});
  EXPECT_EQ(mixed.exitStatus, 3);
  EXPECT_NE(mixed.out.find(dir_.File("damaged.bin") + ": NOT SOUND\n"), std::string::npos);
  EXPECT_NE(mixed.out.find(", DOES NOT HOLD\n  fuel trim"), std::string::npos) << mixed.out;
  EXPECT_NE(mixed.out.find("  not sound: the checksum of its second half"), std::string::npos);
  EXPECT_NE(mixed.out.find(dir_.File("sample.bin") + ": sound\n"), std::string::npos);

  const ProcessResult missing = Cli({"--check", dir_.File("sample.bin"), dir_.File("none.bin")});
  EXPECT_EQ(missing.exitStatus, 3);
  EXPECT_EQ(missing.err,
            "trimwright-cli: error: Unable to open file " + dir_.File("none.bin") + "\n");
  EXPECT_EQ(Cli({"--check", dir_.File("sample.uni")}).exitStatus, 3);
  EXPECT_EQ(Cli({"--check", dir_.File("sample.bin"), "--rpm-limit", "4000"}).exitStatus, 2);
  EXPECT_EQ(Cli({dir_.File("sample.uni"), "--check", dir_.File("sample.bin")}).exitStatus, 2);
}

// The 7000 rpm row in either layout: its bytes in the JSON and the grid, never
// tuned, even with the highest rpm limit; none for an image too short to hold it.
TEST_F(ImageFactsTest, TopRowIsShownAsTheImageHoldsItAndNeverTuned) {
  for (const auto& [name, offset] :
       {std::pair<std::string, std::size_t>{"sample.bin", 0x12D9A}, {"sample.lt1", 0x02D9A}}) {
    const std::string before = Bytes(name);
    const ProcessResult pass =
        Cli({"--grid", "--rpm-limit", "7000", "--json", dir_.File("plan.json"),
             dir_.File("sample.uni"), dir_.File(name)});
    ASSERT_EQ(pass.exitStatus, 0) << pass.err;
    const Json cells = Json::parse(Bytes("plan.json"))["ve_cells"];
    std::string row = "     7000";
    for (std::size_t column = 0; column < 17; ++column) {
      const Json& cell = cells[24 * 17 + column];
      const int byte = static_cast<unsigned char>(before[offset + column]);
      EXPECT_EQ(cell["rpm"], 7000);
      EXPECT_EQ(cell["old"], byte) << name << " " << column;
      EXPECT_EQ(cell["new"], byte);
      EXPECT_EQ(cell["offset"], offset + column);
      EXPECT_EQ(cell["table"], "extended");
      EXPECT_FALSE(cell["tuned"].get<bool>());
      EXPECT_TRUE(cell["factor"].is_null());
      char text[8];
      std::snprintf(text, sizeof text, "%6d", byte);
      row += text;
    }
    EXPECT_TRUE(cells[23 * 17]["tuned"].get<bool>());  // 6500 rpm, the top row a pass reaches
    EXPECT_NE(pass.err.find(row + "   (VE bytes, read only: never tuned)\n"), std::string::npos)
        << pass.err;
    EXPECT_EQ(Bytes(name).substr(offset, 17), before.substr(offset, 17));
    EXPECT_NE(Bytes(name), before);
  }

  // Long enough for every row a pass reaches, not for the top one.
  tools::WriteFile(dir_.File("short.bin"), Bytes("sample.bin").substr(0, 0x12D9A));
  const ProcessResult shortPass =
      Cli({"--grid", "--ignore-checksum", "--dry-run", "--rpm-limit", "7000", "--json", "-",
           dir_.File("sample.uni"), dir_.File("short.bin")});
  ASSERT_EQ(shortPass.exitStatus, 0) << shortPass.err;
  const Json cells = Json::parse(shortPass.out)["ve_cells"];
  EXPECT_TRUE(cells[24 * 17]["old"].is_null());
  EXPECT_FALSE(cells[23 * 17 + 16]["old"].is_null());
  EXPECT_NE(shortPass.err.find("     7000   (not tuned)\n"), std::string::npos);
}

// What no calibration holds is not sound, whatever its checksums say:
// boundaries that do not rise strictly within the grid's axes, at each edge,
// and a VE table of nothing but zeros.
struct Sense {
  std::string name;
  std::array<std::uint8_t, 6> boundaries;
  int zeroTable;        // 0: none, 1: the main VE table, 2: the extended one
  std::string problem;  // empty for a sound image
};
void PrintTo(const Sense& s, std::ostream* out) { *out << s.name; }

class ImageSenseTest : public ::testing::TestWithParam<Sense> {};

TEST_P(ImageSenseTest, ImageMustMakeSense) {
  const Sense& sense = GetParam();
  tools::CalibrationImage image;
  image.SetBoundaryBytes(sense.boundaries);
  for (int row = 0; row < 9 && sense.zeroTable == 1; ++row) {
    for (int column = 0; column < 17; ++column) image.MainVe(row, column) = 0;
  }
  for (int row = 0; row < 17 && sense.zeroTable == 2; ++row) {
    for (int column = 0; column < 17; ++column) image.ExtendedVe(row, column) = 0;
  }
  image.MakeChecksumConsistent();
  const std::string bytes = image.Bytes(tools::ImageLayout::kBin);
  const ImageCheck check(bytes, static_cast<std::int64_t>(bytes.size()), Tunercat::kLayout);
  ASSERT_EQ(check.problems().size(), sense.problem.empty() ? 0u : 1u)
      << (check.problems().empty() ? "" : check.problems().front());
  if (!sense.problem.empty()) {
    EXPECT_NE(check.problems().front().find(sense.problem), std::string::npos)
        << check.problems().front();
  }
}

const std::string kNoRise =
    "do not rise strictly within the VE grid's axes (400 to 7000 rpm, 20 to 100 kPa)";

INSTANTIATE_TEST_SUITE_P(
    Edges, ImageSenseTest,
    ::testing::Values(Sense{"AtEveryEdge", {16, 17, 255, 20, 21, 100}, 0, ""},
                      Sense{"RpmBelowTheGrid",
                            {15, 80, 112, 40, 60, 80},
                            0,
                            "(rpm 375 2000 2800, kPa 40 60 80) " + kNoRise},
                      Sense{"RpmNotRising", {48, 48, 112, 40, 60, 80}, 0, kNoRise},
                      Sense{"RpmTopNotRising", {48, 80, 80, 40, 60, 80}, 0, kNoRise},
                      Sense{"KpaLowNotRising", {48, 80, 112, 40, 40, 80}, 0, kNoRise},
                      Sense{"RpmFalling", {48, 80, 79, 40, 60, 80}, 0, kNoRise},
                      Sense{"KpaBelowTheGrid", {48, 80, 112, 19, 60, 80}, 0, kNoRise},
                      Sense{"KpaNotRising", {48, 80, 112, 40, 60, 60}, 0, kNoRise},
                      Sense{"KpaAboveTheGrid", {48, 80, 112, 40, 60, 101}, 0, kNoRise},
                      Sense{"MainTableZero",
                            {48, 80, 112, 40, 60, 80},
                            1,
                            "its main VE table (400 to 2000 rpm) is all zero"},
                      Sense{"ExtendedTableZero",
                            {48, 80, 112, 40, 60, 80},
                            2,
                            "its extended VE table (2000 to 7000 rpm) is all zero"}),
    [](const ::testing::TestParamInfo<Sense>& param) { return param.param.name; });

// An all-zero file: its checksums hold, and --check, a pass and a baseline
// all refuse it; -q leaves only the status.
TEST_F(ImageFactsTest, AnAllZeroFileIsNoCalibration) {
  tools::WriteFile(dir_.File("zero.bin"), std::string(0x20000, '\0'));
  const ProcessResult check = Cli({"--check", dir_.File("zero.bin")});
  EXPECT_EQ(check.exitStatus, 3);
  EXPECT_NE(check.out.find("  not sound: its fuel trim boundaries (rpm 0 0 0, kPa 0 0 0) do not "
                           "rise strictly"),
            std::string::npos)
      << check.out;
  const ProcessResult quiet = Cli({"-q", "--check", dir_.File("zero.bin")});
  EXPECT_EQ(quiet.exitStatus, 3);
  EXPECT_EQ(quiet.out, "");
  const ProcessResult sound =
      Cli({"-q", "--check", dir_.File("sample.bin"), dir_.File("sample.lt1")});
  EXPECT_EQ(sound.exitStatus, 0);
  EXPECT_EQ(sound.out + sound.err, "");
  EXPECT_EQ(Cli({dir_.File("sample.uni"), dir_.File("zero.bin")}).exitStatus, 3);
  EXPECT_EQ(Bytes("zero.bin"), std::string(0x20000, '\0'));
  const ProcessResult baseline =
      Cli({"--dry-run", "--max-total-change", "5", "--baseline", dir_.File("zero.bin"),
           dir_.File("sample.uni"), dir_.File("sample.bin")});
  EXPECT_EQ(baseline.exitStatus, 3);
  EXPECT_NE(
      baseline.err.find("The baseline " + dir_.File("zero.bin") + " is not a sound calibration"),
      std::string::npos)
      << baseline.err;
}

// An .lt1 image named .bin is named as swapped when its own boundaries make
// a fuel trim table (top MAP boundary 103, below the table's 104 kPa end),
// and not when they cannot (104, the end itself), though refused either way.
// A sound .bin whose bytes where an .lt1 keeps its boundaries happen to make
// a table is sound, and tuned.
TEST_F(ImageFactsTest, NamedSwappedOnlyWhenItsOwnBoundariesFailAndTheOthersMakeATable) {
  const std::string swapped = "looks like an image in the .lt1 layout named .bin";
  for (const std::uint8_t top : {std::uint8_t{103}, std::uint8_t{104}}) {
    tools::CalibrationImage lt1;
    lt1.SetBoundaryBytes({48, 80, 112, 40, 60, top});
    lt1.Seal();
    tools::WriteFile(dir_.File("lt1.bin"), lt1.Bytes(tools::ImageLayout::kLt1));
    const ProcessResult check = Cli({"--check", dir_.File("lt1.bin")});
    EXPECT_EQ(check.exitStatus, 3);
    EXPECT_EQ(check.out.find(swapped) != std::string::npos, top == 103) << check.out;
  }
  tools::CalibrationImage bin;
  const std::array<std::uint8_t, 6> rising{48, 80, 112, 40, 60, 80};
  for (std::size_t k = 0; k < rising.size(); ++k) {
    bin.At(tools::CalibrationImage::kHalf + tools::CalibrationImage::kBoundaries + k) = rising[k];
  }
  bin.Seal();
  const std::string bytes = bin.Bytes(tools::ImageLayout::kBin);
  tools::WriteFile(dir_.File("odd.bin"), bytes);
  const ProcessResult check = Cli({"--check", dir_.File("odd.bin")});
  EXPECT_EQ(check.exitStatus, 0) << check.out;
  EXPECT_EQ(check.out.find(swapped), std::string::npos);
  EXPECT_EQ(Cli({"-q", dir_.File("sample.uni"), dir_.File("odd.bin")}).exitStatus, 0);
  EXPECT_NE(Bytes("odd.bin"), bytes);
}

// --compare checks each image as a pass does: an .lt1 image named .bin is
// refused with the layout named, not compared field against wrong field.
TEST_F(ImageFactsTest, CompareNamesASwappedLayout) {
  tools::WriteFile(dir_.File("swapped.bin"), Bytes("sample.lt1"));
  const ProcessResult refused =
      Cli({"--compare", dir_.File("sample.bin"), dir_.File("swapped.bin")});
  EXPECT_EQ(refused.exitStatus, 3);
  EXPECT_NE(refused.err.find("it looks like an image in the .lt1 layout named .bin"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.out, "");
  const ProcessResult anyway = Cli(
      {"-q", "--ignore-checksum", "--compare", dir_.File("sample.bin"), dir_.File("swapped.bin")});
  EXPECT_EQ(anyway.exitStatus, 0);
  EXPECT_EQ(anyway.out, "");
  EXPECT_NE(anyway.err.find("Warning!  The image " + dir_.File("swapped.bin") +
                            " is not a sound calibration, compared as it is"),
            std::string::npos);
}

}  // namespace
}  // namespace trimwright
