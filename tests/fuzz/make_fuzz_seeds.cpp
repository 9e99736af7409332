// Writes the seed corpus of the fuzz harnesses with the project's own writers:
// a few logs per reader (a simulated drive, other line ends, junk fields,
// header only) and a few whole-pass inputs in the harness's own format.
//
//   make_fuzz_seeds CORPUS_FOLDER
//
// writes CORPUS_FOLDER/<harness>/<seed> and replaces files of the same name.
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "capture/StreamFrame.h"
#include "tests/fuzz/TuningInput.h"
#include "tools/DriveSimulator.h"
#include "tools/EcuSimulator.h"
#include "tools/ImageWriter.h"
#include "tools/LogWriter.h"

namespace trimwright::fuzz {
namespace {

using tools::CalibrationImage;
using tools::LogSample;

std::vector<LogSample> Drive(int records) {
  return tools::SimulateDrive(tools::MakeSampleImage(), 1, records);
}

template <typename Record>
std::vector<Record> Records(const std::vector<LogSample>& samples) {
  std::vector<Record> records;
  for (const LogSample& s : samples) records.push_back(Record::From(s));
  return records;
}

std::string UniDrive(int records) {
  return tools::UniLog(Records<tools::UniRecord>(Drive(records)));
}

std::string CsvDrive(int records, const tools::TextLayout& layout = {}) {
  return tools::FreescanLog(Records<tools::FreescanRecord>(Drive(records)), layout);
}

std::string TxtDrive(int records, const tools::TextLayout& layout = {}) {
  return tools::PCMcommLog(Records<tools::PCMcommRecord>(Drive(records)), layout);
}

class SeedWriter {
 public:
  explicit SeedWriter(std::filesystem::path root) : root_(std::move(root)) {}

  void Write(const std::string& harness, const std::string& name, const std::string& bytes) {
    const std::filesystem::path folder = root_ / harness;
    std::filesystem::create_directories(folder);
    tools::WriteFile((folder / name).string(), bytes);
    total_ += bytes.size();
    std::cout << harness << "/" << name << "  " << bytes.size() << " bytes\n";
  }

  // Refuses an input whose encoding does not decode back to the same bytes.
  void Write(const std::string& name, const TuningInput& input) {
    const std::string bytes = input.Encode();
    const TuningInput decoded =
        TuningInput::Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (decoded.Encode() != bytes || decoded.logBytes != input.logBytes ||
        decoded.imageSection != input.imageSection) {
      throw std::logic_error("seed " + name + " does not survive decoding");
    }
    Write("tuning_run_fuzzer", name, bytes);
  }

  std::size_t total() const { return total_; }

 private:
  std::filesystem::path root_;
  std::size_t total_ = 0;
};

void WriteDMUniSeeds(SeedWriter& out) {
  out.Write("dmuni_fuzzer", "drive.uni", UniDrive(40));
  out.Write("dmuni_fuzzer", "header-only.uni", tools::UniLog({}));
  out.Write("dmuni_fuzzer", "short-127.uni", UniDrive(1).substr(0, 127));

  // Records on and past every range edge, and half a record at the end.
  std::vector<tools::UniRecord> edges(6);
  edges[0].rpmCounts = 19;  // 475 rpm
  edges[1].rpmCounts = 255;
  edges[2].mapCounts = 255;
  edges[3].blmCell = 19;
  edges[4].blmCell = 18;
  edges[4].engineWarmFlags = 0xFE;
  edges[5].highThrottleFlags = 0xFF;
  out.Write("dmuni_fuzzer", "edges-and-tail.uni", tools::UniLog(edges) + std::string(50, '\x7f'));
}

void WriteFreescanSeeds(SeedWriter& out) {
  out.Write("freescan_fuzzer", "drive.csv", CsvDrive(30));
  out.Write("freescan_fuzzer", "drive-crlf-unterminated.csv", CsvDrive(8, {"\r\n", false}));
  out.Write("freescan_fuzzer", "header-only.csv", tools::FreescanLog({}));

  std::vector<tools::FreescanRecord> junk(6);
  junk[0].rpm = " +1600x";
  junk[1].mapBar = "1e400";
  junk[2].throttle = "nan";
  junk[3].temperature = "0x1.3p6";
  junk[4].blmCell = "-0";
  junk[5].blmLeft = "99999999999";
  std::string text = tools::FreescanLog(junk);
  text += "1,2,3\n,,,,,,,,,,,,,,,,,,,,,,,,,,,\n";
  text += std::string("12.5,\0,x,y,1600", 15) + ",x,x,x,5,128,128,128,128,x,x,x,x,0.5,10,x\n";
  out.Write("freescan_fuzzer", "junk-fields.csv", text);
}

void WritePCMcommSeeds(SeedWriter& out) {
  out.Write("pcmcomm_fuzzer", "drive.txt", TxtDrive(30));
  out.Write("pcmcomm_fuzzer", "drive-cr-only.txt", TxtDrive(8, {"\r", true}));
  out.Write("pcmcomm_fuzzer", "header-only.txt", tools::PCMcommLog({}, {"\r\n", true}));

  std::vector<tools::PCMcommRecord> junk(5);
  junk[0].temperatureF = "194";
  junk[1].throttlePercent = "%10";
  junk[2].map = "inf";
  junk[3].blmCell = "16";
  junk[4].rpm = "-1600";
  std::string text = tools::PCMcommLog(junk);
  std::vector<std::string> fields = tools::PCMcommFields({});
  text += " " + tools::JoinFields(fields, "  ") + "   \n";
  fields.pop_back();
  text += tools::JoinFields(fields, " ") + "\n";
  out.Write("pcmcomm_fuzzer", "junk-fields.txt", text);
}

TuningInput Pass(std::uint8_t logType, std::uint8_t imageType, const std::string& target,
                 const std::string& rpm) {
  TuningInput input;
  input.logType = logType;
  input.imageType = imageType;
  input.targetText = target;
  input.rpmText = rpm;
  const std::string& extension = LogExtensions()[logType];
  constexpr int kRecords = 60;
  if (extension == "uni" || extension == "UNI") input.logBytes = UniDrive(kRecords);
  if (extension == "csv" || extension == "CSV") input.logBytes = CsvDrive(kRecords);
  if (extension == "txt" || extension == "TXT") input.logBytes = TxtDrive(kRecords);
  return input;
}

// The overlay bytes of the base image, so a seed can change a few of them.
std::string BaseOverlay() {
  const CalibrationImage image = tools::MakeSampleImage();
  std::string section;
  for (const std::size_t offset : OverlayOffsets()) section += static_cast<char>(image.At(offset));
  return section;
}

void WriteTuningRunSeeds(SeedWriter& out) {
  constexpr std::uint8_t kUni = 0, kCsv = 1, kTxt = 2, kUpperUni = 3, kUnknown = 6;
  constexpr std::uint8_t kBin = 0, kLt1 = 1, kUpperLt1 = 3;

  out.Write("uni-bin", Pass(kUni, kBin, "124", "3000"));
  out.Write("csv-lt1", Pass(kCsv, kLt1, "122", "4500"));
  out.Write("txt-bin-all-rows", Pass(kTxt, kBin, "118", "7000"));
  out.Write("uni-upper-lt1-out-of-range", Pass(kUpperUni, kUpperLt1, "130", "9000"));

  // Boundary bytes of 0 and 255, and VE bytes near the top so that raising
  // them overflows; sealed, so that the image passes its check.
  TuningInput extremes = Pass(kCsv, kBin, "124", "6000");
  extremes.imageSection = BaseOverlay();
  for (std::size_t k = 0; k < 3; ++k) extremes.imageSection[k] = '\0';
  for (std::size_t k = 3; k < 6; ++k) extremes.imageSection[k] = '\xff';
  for (std::size_t k = 8; k < extremes.imageSection.size(); k += 3)
    extremes.imageSection[k] = '\xfd';
  extremes.sealed = true;
  out.Write("csv-bin-extreme-bytes", extremes);

  // One VE byte changed without a seal: refused, unless tuned anyway.
  TuningInput damaged = Pass(kUni, kBin, "124", "3000");
  damaged.imageSection = BaseOverlay();
  damaged.imageSection[10] = static_cast<char>(damaged.imageSection[10] ^ 1);
  out.Write("uni-bin-damaged-refused", damaged);
  damaged.ignoreChecksum = true;
  out.Write("uni-bin-damaged-anyway", damaged);

  // Cut inside the extended VE table: too short for a run up to 7000 rpm,
  // long enough for one up to 2500 rpm, tuned anyway so that the run's own
  // limits decide.
  const auto cutLength2 = static_cast<std::uint16_t>((CalibrationImage::kExtendedVe + 64) / 2);
  TuningInput cutAllRows = Pass(kTxt, kBin, "124", "7000");
  cutAllRows.imageLength2 = cutLength2;
  cutAllRows.ignoreChecksum = true;
  out.Write("txt-bin-cut-short", cutAllRows);
  TuningInput cutLowRows = Pass(kUni, kBin, "124", "2500");
  cutLowRows.imageLength2 = cutLength2;
  cutLowRows.ignoreChecksum = true;
  out.Write("uni-bin-cut-enough", cutLowRows);

  TuningInput onImage = Pass(kUni, kBin, "124", "3000");
  onImage.reportPlace = ReportPlace::kOnImage;
  out.Write("uni-bin-report-on-image", onImage);

  TuningInput raw = Pass(kUnknown, kBin, "124", "3000");
  raw.rawImage = true;
  raw.imageSection = tools::MakeSampleImage().Bytes(tools::ImageLayout::kBin).substr(0x2700, 512);
  raw.logBytes = "not a log\n";
  raw.ignoreChecksum = true;
  out.Write("unknown-log-raw-image", raw);
}

// What the host reads from the simulated engine computer for `requests`
// data-stream requests, after the request to stop the idle traffic, behind
// the byte that seeds the harness's pieces.
std::string LineBytes(char pieceSeed, int requests, const tools::EcuFaults& faults) {
  tools::EcuSimulator ecu(tools::MakeSampleImage(), 1, 420, faults);
  std::string bytes(1, pieceSeed);
  auto add = [&](std::span<const std::uint8_t> request) {
    const tools::EcuSimulator::Reply reply = ecu.Receive(request);
    bytes.append(reply.echo.begin(), reply.echo.end());
    bytes.append(reply.answer.begin(), reply.answer.end());
  };
  const std::vector<std::uint8_t> idle = tools::EcuSimulator::IdleFrame();
  bytes.append(idle.begin(), idle.end());
  add(stream::kStopIdleTraffic);
  for (int k = 0; k < requests; ++k) add(stream::kRequestDataStream);
  add(stream::kResumeIdleTraffic);
  return bytes;
}

void WriteFrameDecoderSeeds(SeedWriter& out) {
  out.Write("frame_decoder_fuzzer", "clean", LineBytes('\x00', 6, {}));
  tools::EcuFaults faults;
  for (const char* fault : {"checksum:7", "cut:5", "garbage:3", "silence:11", "echo:2", "idle:4"}) {
    faults.Set(fault);
  }
  out.Write("frame_decoder_fuzzer", "every-fault", LineBytes('\x2a', 24, faults));
}

}  // namespace
}  // namespace trimwright::fuzz

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_fuzz_seeds CORPUS_FOLDER\n";
    return 2;
  }
  try {
    trimwright::fuzz::SeedWriter out(argv[1]);
    trimwright::fuzz::WriteDMUniSeeds(out);
    trimwright::fuzz::WriteFreescanSeeds(out);
    trimwright::fuzz::WritePCMcommSeeds(out);
    trimwright::fuzz::WriteTuningRunSeeds(out);
    trimwright::fuzz::WriteFrameDecoderSeeds(out);
    std::cout << out.total() << " bytes in all\n";
  } catch (const std::exception& e) {
    std::cerr << "make_fuzz_seeds: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
