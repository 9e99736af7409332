// The live capture without a device: the frame decoder's edge cases, the
// record line as the .csv reader reads it back, and whole captures against
// the simulated engine computer in simulated time, through every line fault
// and on each edge of the 500 ms and 5 s rules.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture/CaptureSession.h"
#include "capture/FrameDecoder.h"
#include "capture/SerialLine.h"
#include "capture/StopSignal.h"
#include "capture/StreamCsv.h"
#include "capture/StreamValues.h"
#include "common/TrimwrightError.h"
#include "logdata/Freescan.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/TempDir.h"
#include "tools/EcuSimulator.h"
#include "tools/SimulatedLine.h"

namespace trimwright {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;
using testing::TempDir;
using tools::EcuFaults;
using tools::EcuSimulator;
using tools::SimulatedLine;

stream::DataBytes PatternData(std::uint8_t seed) {
  stream::DataBytes data;
  for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<std::uint8_t>(seed + 7 * k);
  return data;
}

Bytes DataFrame(std::uint8_t seed) {
  return stream::BuildFrame(stream::kEcuAddress, stream::kDataStreamMode, PatternData(seed));
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Request() { return {stream::kRequestDataStream.begin(), stream::kRequestDataStream.end()}; }

struct Decoded {
  std::vector<stream::DataBytes> frames;
  FrameCounts counts;
  std::size_t mostPending = 0;
};

// Pushes bytes in pieces of `piece` bytes (0: all at once), taking frames as
// they come.
Decoded Decode(const Bytes& bytes, std::size_t piece = 0) {
  FrameDecoder decoder;
  Decoded out;
  const std::size_t step = piece == 0 ? std::max<std::size_t>(bytes.size(), 1) : piece;
  for (std::size_t k = 0; k < bytes.size(); k += step) {
    decoder.Push({bytes.data() + k, std::min(step, bytes.size() - k)});
    while (auto frame = decoder.Next()) out.frames.push_back(*frame);
    out.mostPending = std::max(out.mostPending, decoder.Pending());
  }
  out.counts = decoder.counts();
  return out;
}

// ------------------------------------------------------------ the decoder

struct DecoderCase {
  const char* name;
  Bytes bytes;
  std::vector<stream::DataBytes> frames;  // the data frames expected, in order
  FrameCounts counts;                     // dataFrames is filled in from frames
};

FrameCounts Counts(std::uint64_t echoes, std::uint64_t idle, std::uint64_t other, std::uint64_t cut,
                   std::uint64_t checksum, std::uint64_t garbage) {
  FrameCounts c;
  c.echoes = echoes;
  c.idleFrames = idle;
  c.otherFrames = other;
  c.cutFrames = cut;
  c.badChecksums = checksum;
  c.garbageBytes = garbage;
  return c;
}

std::vector<DecoderCase> DecoderCases() {
  std::vector<DecoderCase> cases;
  const Bytes frame = DataFrame(3);
  cases.push_back({"WholeFrame", frame, {PatternData(3)}, Counts(0, 0, 0, 0, 0, 0)});
  cases.push_back(
      {"EchoThenAnswer", Join({Request(), frame}), {PatternData(3)}, Counts(1, 0, 0, 0, 0, 0)});
  cases.push_back({"IdleFrameBetween",
                   Join({DataFrame(1), stream::BuildFrame(stream::kIdleAddress, 0, {}), frame}),
                   {PatternData(1), PatternData(3)},
                   Counts(0, 1, 0, 0, 0, 0)});
  Bytes badSum = frame;
  badSum.back() = static_cast<std::uint8_t>(badSum.back() + 1);
  cases.push_back({"ChecksumOffByOne",
                   Join({badSum, DataFrame(4)}),
                   {PatternData(4)},
                   Counts(0, 0, 0, 0, 1, 0)});
  // Length bytes one off: the checksum still holds over the bytes the length
  // names, but the frame is no data-stream answer, or no frame at all.
  const stream::DataBytes data = PatternData(5);
  const Bytes longer = stream::BuildFrame(stream::kEcuAddress, stream::kDataStreamMode,
                                          Bytes(data.begin(), data.end() - 1));
  cases.push_back(
      {"LengthOneShort", Join({longer, frame}), {PatternData(3)}, Counts(0, 0, 1, 0, 0, 0)});
  Bytes lengthBelow = {0xF4, stream::kLengthOffset, 0x01, 0xB6};
  cases.push_back({"LengthByteStartsNoFrame",
                   Join({lengthBelow, frame}),
                   {PatternData(3)},
                   Counts(0, 0, 0, 0, 0, 4)});
  Bytes otherMode = stream::BuildFrame(stream::kEcuAddress, 0x02, PatternData(3));
  cases.push_back(
      {"OtherMode", Join({otherMode, frame}), {PatternData(3)}, Counts(0, 0, 1, 0, 0, 0)});
  Bytes otherAddress = frame;
  otherAddress[0] = 0xF5;
  cases.push_back(
      {"OtherAddress", Join({otherAddress, frame}), {PatternData(3)}, Counts(0, 0, 0, 0, 0, 64)});
  // 0xF4 bytes inside garbage that announce long frames the real one lies in.
  cases.push_back({"AddressBytesInGarbage",
                   Join({{0x00, 0xF4, 0xFF, 0x17, 0xF4}, frame}),
                   {PatternData(3)},
                   Counts(0, 0, 0, 1, 0, 1)});
  cases.push_back({"GarbageEndingInAddressByte",
                   Join({{0x11, 0xF4}, frame}),
                   {PatternData(3)},
                   Counts(0, 0, 0, 1, 0, 1)});
  // A frame cut after 20 bytes, then a whole one: the cut frame's span
  // swallows the start of the next one, whose frame is still found.
  cases.push_back({"CutFrameThenWholeFrame",
                   Join({Bytes(frame.begin(), frame.begin() + 20), frame}),
                   {PatternData(3)},
                   Counts(0, 0, 0, 1, 0, 0)});
  cases.push_back({"CutFrameThenEchoThenFrame",
                   Join({Bytes(frame.begin(), frame.begin() + 20), Request(), DataFrame(6)}),
                   {PatternData(6)},
                   Counts(1, 0, 0, 1, 0, 0)});
  // A frame whose data hold address and length bytes is still one frame.
  stream::DataBytes framelike = PatternData(9);
  framelike[0] = 0xF4;
  framelike[1] = 0x92;
  framelike[2] = 0x01;
  framelike[30] = 0xF0;
  const Bytes holding = stream::BuildFrame(stream::kEcuAddress, 1, framelike);
  cases.push_back({"FrameLikeData", holding, {framelike}, Counts(0, 0, 0, 0, 0, 0)});
  cases.push_back(
      {"TruncatedAtEnd", Bytes(frame.begin(), frame.end() - 1), {}, Counts(0, 0, 0, 0, 0, 0)});
  return cases;
}

class DecoderTest : public ::testing::TestWithParam<DecoderCase> {};

TEST_P(DecoderTest, YieldsOnlyWholeValidDataFramesWhateverThePieces) {
  DecoderCase c = GetParam();
  c.counts.dataFrames = c.frames.size();
  for (std::size_t piece : {0, 1, 7, 64}) {
    const Decoded d = Decode(c.bytes, piece);
    EXPECT_EQ(d.frames, c.frames) << "pieces of " << piece;
    EXPECT_EQ(d.counts, c.counts) << "pieces of " << piece;
    EXPECT_LT(d.mostPending, stream::kLongestFrame);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DecoderTest, ::testing::ValuesIn(DecoderCases()),
                         [](const ::testing::TestParamInfo<DecoderCase>& tested) {
                           return std::string(tested.param.name);
                         });

TEST(DecoderTest, FrameAfterGarbageComesWithItsLastByte) {
  // An address byte announcing the longest frame, then the answer: the
  // answer is handed out as soon as it is whole, without waiting for the
  // 173 bytes the garbage announced.
  FrameDecoder decoder;
  const Bytes bytes = Join({{0xF4, 0xFF}, DataFrame(8)});
  decoder.Push({bytes.data(), bytes.size() - 1});
  EXPECT_FALSE(decoder.Next());
  decoder.Push({bytes.data() + bytes.size() - 1, 1});
  const auto frame = decoder.Next();
  ASSERT_TRUE(frame);
  EXPECT_EQ(*frame, PatternData(8));
  EXPECT_EQ(decoder.Pending(), 0u);
}

// ------------------------------------------------------------ the record

TEST(StreamCsvTest, PrintsEveryColumnInPlaceLocaleFree) {
  stream::DataBytes data{};
  namespace at = stream_offset;
  data[at::kStatus] = 0x09;
  data[at::kDesiredIdle] = 64;
  data[at::kRpm] = 80;
  data[at::kCoolant] = 173;
  data[at::kAirTemp] = 93;
  data[at::kMap] = 120;
  data[at::kThrottleVolts] = 51;
  data[at::kThrottle] = 51;
  data[at::kBattery] = 141;
  data[at::kBaro] = 243;
  data[at::kOxygenLeft] = 180;
  data[at::kOxygenRight] = 25;
  data[at::kBlmCell] = 6;
  data[at::kBlmLeft] = 131;
  data[at::kBlmRight] = 133;
  data[at::kIntegratorLeft] = 127;
  data[at::kIntegratorRight] = 129;
  data[at::kPulseWidthLeft + 1] = 0x2C;
  data[at::kPulseWidthLeft] = 0x01;
  data[at::kPulseWidthRight] = 0x01;
  data[at::kPulseWidthRight + 1] = 0x2D;
  data[at::kAirFlow] = 0x02;
  data[at::kAirFlow + 1] = 0x80;
  data[at::kIdleAir] = 22;
  data[at::kSpark] = 31;
  data[at::kKnockRetard] = 8;
  data[at::kKnockCount + 1] = 7;
  data[at::kRoadSpeed] = 44;
  data[at::kRunningTime] = 0x01;
  data[at::kRunningTime + 1] = 0x02;
  const std::string expected =
      "41,3.39,1.00,800,2000,44,0.799,0.111,6,131,133,127,129,300,301,22,1.00,"
      "0.5463468634686347,20,1.82,0.5,7,14.1,      5.00,31.0,89.75,29.75,258";
  const StreamValues values = StreamValues::FromData(data);
  EXPECT_TRUE(values.closedLoop && values.blockLearn);
  EXPECT_EQ(StreamCsvLine(41, values), expected);
  testing::GermanLocale german;
  if (german.name()) {
    EXPECT_EQ(StreamCsvLine(41, values), expected) << german.name();
  }
  const std::string& header = StreamCsvHeader();
  EXPECT_EQ(std::count(header.begin(), header.end(), ','), kStreamCsvColumns - 1);
  EXPECT_EQ(header.find('\n'), std::string::npos);
}

// Every byte value of the fields a pass reads comes back from the .csv
// reader as exactly the value the frame meant.
TEST(StreamCsvTest, ReaderReadsBackWhatEveryByteMeans) {
  TempDir dir;
  const std::string path = dir.File("bytes.csv");
  std::string text = StreamCsvHeader() + "\n";
  std::vector<stream::DataBytes> frames;
  for (int b = 0; b < 256; ++b) {
    stream::DataBytes data = PatternData(static_cast<std::uint8_t>(b));
    namespace at = stream_offset;
    data[at::kRpm] = static_cast<std::uint8_t>(std::max(b, 20));  // 500 rpm and up
    data[at::kMap] = static_cast<std::uint8_t>(b);
    data[at::kThrottle] = static_cast<std::uint8_t>(b);
    data[at::kCoolant] = static_cast<std::uint8_t>(54 + b % 200);  // 0.5 to 149.75 C
    data[at::kBlmCell] = static_cast<std::uint8_t>(b % 19);
    data[at::kBlmLeft] = static_cast<std::uint8_t>(b);
    data[at::kBlmRight] = static_cast<std::uint8_t>(255 - b);
    data[at::kIntegratorLeft] = static_cast<std::uint8_t>(b * 7);
    data[at::kIntegratorRight] = static_cast<std::uint8_t>(b * 13);
    frames.push_back(data);
    text += StreamCsvLine(static_cast<std::uint64_t>(b), StreamValues::FromData(data)) + "\n";
  }
  tools::WriteFile(path, text);
  std::ostringstream lines;
  Diagnostics quiet(lines, lines);
  const Freescan log(path, ReadPlan::ForThisMachine(), quiet);
  ASSERT_EQ(log.recordCount, 256u);
  for (std::uint32_t r = 0; r < 256; ++r) {
    namespace at = stream_offset;
    const stream::DataBytes& d = frames[r];
    SCOPED_TRACE(r);
    EXPECT_EQ(log.rpm[r], d[at::kRpm] * 25);
    EXPECT_EQ(log.map[r], static_cast<float>((d[at::kMap] + 28.06) / 271 * 100));
    EXPECT_EQ(log.throttle[r], static_cast<float>(d[at::kThrottle] / 2.55));
    EXPECT_EQ(log.temperature[r], static_cast<float>(d[at::kCoolant] * 0.75 - 40));
    EXPECT_EQ(log.blmCell[r], d[at::kBlmCell]);
    EXPECT_EQ(log.blmLeft[r], d[at::kBlmLeft]);
    EXPECT_EQ(log.blmRight[r], d[at::kBlmRight]);
    EXPECT_EQ(log.auxLeft[r], d[at::kIntegratorLeft]);
    EXPECT_EQ(log.auxRight[r], d[at::kIntegratorRight]);
  }
}

// ------------------------------------------------------------ a capture

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  return fields;
}

// Records every status and can ask for a stop at a given record.
class Watcher : public CaptureObserver {
 public:
  void OnStatus(const CaptureStatus& status) override {
    last = status;
    if (status.records > lastRecords) recordTimes.push_back(status.elapsed);
    lastRecords = status.records;
    if (stop && stopAt > 0 && status.records >= stopAt) stop->Request();
  }
  CaptureStatus last;
  std::uint64_t lastRecords = 0;
  std::vector<milliseconds> recordTimes;
  StopSignal* stop = nullptr;
  std::uint64_t stopAt = 0;
};

// A capture into a scratch folder from a simulated engine computer in
// simulated time.
struct Bench {
  explicit Bench(const EcuFaults& faults = {}, const SimulatedLine::Timing& timing = {})
      : ecu(tools::MakeSampleImage(), 1, 420, faults), line(ecu, clock, timing) {
    ecu.SetRecordSink([this](const std::string& l) { sent.push_back(l); });
  }

  CaptureResult Run(const CaptureLimits& limits, StopSignal* stop = nullptr) {
    watcher.stop = stop;
    CaptureSession session(line, clock, stop, &watcher);
    return session.Run(log, limits, "/dev/simulated");
  }
  std::vector<std::string> Records() const {
    std::vector<std::string> lines = Lines(tools::ReadFile(log));
    EXPECT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), StreamCsvHeader());
    return {lines.begin() + 1, lines.end()};
  }
  std::vector<std::string> SentPrefix(std::size_t n) const {
    return {sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(std::min(n, sent.size()))};
  }

  TempDir dir;
  std::string log = dir.File("capture.csv");
  ManualCaptureClock clock;
  EcuSimulator ecu;
  SimulatedLine line;
  Watcher watcher;
  std::vector<std::string> sent;
};

struct FaultCase {
  const char* name;
  std::vector<const char*> faults;
};

class CaptureFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CaptureFaultTest, RecordsEveryFrameSentWholeAndNothingElse) {
  EcuFaults faults;
  for (const char* spec : GetParam().faults) faults.Set(spec);
  Bench bench(faults);
  const CaptureResult result = bench.Run({120, milliseconds{0}});
  EXPECT_EQ(result.end, CaptureEnd::kRecords);
  EXPECT_EQ(bench.Records(), bench.SentPrefix(120));
  EXPECT_EQ(bench.ecu.idleRequests().front(), 'S');
  EXPECT_EQ(bench.ecu.idleRequests().back(), 'R');
  EXPECT_TRUE(bench.ecu.IdleTrafficOn());
  const FrameCounts& f = result.status.frames;
  EXPECT_EQ(f.dataFrames, 120u);
  const std::string name = GetParam().name;
  const bool all = name == "All";
  EXPECT_EQ(f.badChecksums > 0, all || name == "Checksum");
  EXPECT_EQ(f.cutFrames > 0, all || name == "Cut" || name == "Garbage");
  EXPECT_EQ(f.garbageBytes > 0, all || name == "Garbage");
  EXPECT_EQ(f.idleFrames > 0, all || name == "Idle");
  EXPECT_EQ(f.otherFrames, 0u);
  // Every request comes back as an echo, the one to stop the idle traffic
  // too, unless the echo is missing.
  const std::uint64_t echoed = bench.ecu.requests() + 1;
  EXPECT_EQ(f.echoes < echoed, all || name == "Echo") << f.echoes << " of " << echoed;
  const std::uint64_t repeats = result.status.repeatedRequests;
  EXPECT_EQ(repeats > 0,
            all || name == "Silence" || name == "Cut" || name == "Checksum" || name == "Stall");
  // No request but the repeats beside one per record (a late answer and the
  // one to its repeat both make records), none after the last record, none
  // while an answer is still on its way: the engine computer sent no frame
  // past the last record.
  EXPECT_LE(bench.ecu.requests(), 120 + repeats);
  EXPECT_EQ(bench.sent.size(), 120u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CaptureFaultTest,
    ::testing::Values(FaultCase{"None", {}}, FaultCase{"Checksum", {"checksum:7"}},
                      FaultCase{"Cut", {"cut:5"}}, FaultCase{"Garbage", {"garbage:3"}},
                      FaultCase{"Silence", {"silence:9"}}, FaultCase{"Echo", {"echo:2"}},
                      FaultCase{"Idle", {"idle:4"}}, FaultCase{"Stall", {"stall:9"}},
                      FaultCase{"All",
                                {"checksum:7", "cut:11", "garbage:5", "silence:13", "echo:3",
                                 "idle:4", "stall:17"}}),
    [](const ::testing::TestParamInfo<FaultCase>& tested) {
      return std::string(tested.param.name);
    });

TEST(EcuFaultsTest, TakesKindColonWholeNumberFromOne) {
  EcuFaults faults;
  faults.Set("cut:5");
  faults.Set("silence:1");
  EXPECT_EQ(faults.cut, 5);
  EXPECT_EQ(faults.silence, 1);
  faults.Set("stop:2");
  EXPECT_EQ(faults.missedStops, 2);
  for (const char* wrong : {"cut", "cut:", "cut:0", "cut:-1", "cut:5x", "loud:3", ":3"}) {
    EXPECT_THROW(faults.Set(wrong), std::invalid_argument) << wrong;
  }
}

TEST(CaptureSessionTest, KeepsUpWithTheLineAndTalliesTheCells) {
  Bench bench;
  const CaptureResult result = bench.Run({300, milliseconds{0}});
  const CaptureStatus& s = result.status;
  // About 90 ms a frame: the request and its echo, the answer, the pauses.
  EXPECT_GE(s.framesPerSecond, 10.0);
  EXPECT_LE(s.framesPerSecond, 12.0);
  EXPECT_EQ(s.repeatedRequests, 0u);
  std::array<CellTally, CaptureStatus::kCells> cells{};
  std::array<double, CaptureStatus::kCells> left{}, right{};
  for (const std::string& line : bench.Records()) {
    const std::vector<std::string> fields = Fields(line);
    ASSERT_EQ(fields.size(), static_cast<std::size_t>(kStreamCsvColumns));
    const auto cell = static_cast<std::size_t>(std::stoi(fields[8]));
    ++cells[cell].records;
    left[cell] += std::stoi(fields[9]);
    right[cell] += std::stoi(fields[10]);
  }
  for (std::size_t c = 0; c < cells.size(); ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(s.cells[c].records, cells[c].records);
    if (cells[c].records == 0) continue;
    const auto n = static_cast<double>(cells[c].records);
    EXPECT_DOUBLE_EQ(s.cells[c].blmLeftAverage, left[c] / n);
    EXPECT_DOUBLE_EQ(s.cells[c].blmRightAverage, right[c] / n);
  }
  const std::vector<std::string> last = Fields(bench.sent.back());
  EXPECT_TRUE(s.haveValues);
  EXPECT_EQ(s.rpm, std::stoi(last[4]));
  EXPECT_EQ(s.blmCell, std::stoi(last[8]));
  EXPECT_EQ(s.blmLeft, std::stoi(last[9]));
  EXPECT_EQ(s.blmRight, std::stoi(last[10]));
  EXPECT_DOUBLE_EQ(s.mapKpa, std::stod(last[17]) * 100);
}

// A frame that cannot be used is asked again as soon as the line is quiet,
// without waiting out the 500 ms.
TEST(CaptureSessionTest, AsksAgainAtOnceAfterAnUnusableFrame) {
  EcuFaults faults;
  faults.Set("checksum:2");
  Bench bench(faults);
  const CaptureResult result = bench.Run({20, milliseconds{0}});
  EXPECT_EQ(bench.Records(), bench.SentPrefix(20));
  EXPECT_GE(result.status.repeatedRequests, 19u);
  // About 90 ms a frame, good or bad, and a quiet gap before and after each
  // repeat; waiting out 500 ms instead would take twice as long.
  EXPECT_LT(result.status.elapsed,
            (20 + result.status.repeatedRequests) * milliseconds{100} +
                2 * result.status.repeatedRequests * CaptureSession::kQuietGap);
}

// Idle traffic that goes on after the request to stop it (the engine
// computer missed it) is asked to stop again with the next repeated request.
TEST(CaptureSessionTest, AsksAgainToStopIdleTrafficThatGoesOn) {
  EcuFaults faults;
  faults.Set("stop:1");
  faults.Set("silence:10");
  Bench bench(faults);
  const CaptureResult result = bench.Run({30, milliseconds{0}});
  EXPECT_EQ(bench.Records(), bench.SentPrefix(30));
  EXPECT_GT(result.status.frames.idleFrames, 0u);
  EXPECT_EQ(bench.ecu.idleRequests(), "SSR");
}

TEST(CaptureSessionTest, EndsAfterTheTimeOrWhenAskedToStop) {
  Bench timed;
  const CaptureResult result = timed.Run({0, milliseconds{2000}});
  EXPECT_EQ(result.end, CaptureEnd::kDuration);
  EXPECT_EQ(result.status.elapsed, milliseconds{2000});
  EXPECT_EQ(timed.Records(), timed.SentPrefix(timed.Records().size()));
  EXPECT_GE(timed.Records().size(), 20u);
  EXPECT_EQ(timed.ecu.idleRequests(), "SR");

  Bench stopped;
  StopSignal stop;
  stopped.watcher.stopAt = 25;
  const CaptureResult end = stopped.Run({1000, milliseconds{0}}, &stop);
  EXPECT_EQ(end.end, CaptureEnd::kStopped);
  EXPECT_EQ(stopped.Records(), stopped.SentPrefix(25));
  EXPECT_EQ(stopped.ecu.idleRequests(), "SR");
}

// The 500 ms rule: an answer 500 ms after its request is taken; one a
// millisecond later comes after the request was sent again.
TEST(CaptureSessionTest, RepeatsARequestNotAnsweredWithin500Ms) {
  for (const int delay : {500, 501}) {
    SimulatedLine::Timing timing;
    timing.byteTime = std::chrono::microseconds{0};
    timing.answerDelay = milliseconds{delay};
    Bench bench({}, timing);
    const CaptureResult result = bench.Run({3, milliseconds{0}});
    EXPECT_EQ(result.status.repeatedRequests > 0, delay > 500) << delay;
    EXPECT_EQ(bench.Records(), bench.SentPrefix(3)) << delay;
  }
}

// The 5 s rule, on both sides of its edge: from the start, and after the
// last frame.
TEST(CaptureSessionTest, FailsNamingTheDeviceWhenNoFrameCameFor5s) {
  // The first request goes out once the line has been quiet for the gap;
  // its answer then comes exactly 5 s, or a millisecond more, after the
  // start.
  for (const int late : {0, 1}) {
    SimulatedLine::Timing timing;
    timing.byteTime = std::chrono::microseconds{0};
    timing.answerDelay =
        CaptureSession::kSilenceLimit - CaptureSession::kQuietGap + milliseconds{late};
    Bench bench({}, timing);
    if (late == 0) {
      EXPECT_EQ(bench.Run({1, milliseconds{0}}).end, CaptureEnd::kRecords);
      continue;
    }
    try {
      bench.Run({1, milliseconds{0}});
      ADD_FAILURE() << "no failure";
    } catch (const TrimwrightError& e) {
      EXPECT_EQ(e.status(), ExitStatus::kFileOrMemory);
      EXPECT_EQ(std::string(e.what()),
                "No valid frame came from the device /dev/simulated for 5 s");
      EXPECT_EQ(bench.clock.Now(), CaptureSession::kSilenceLimit);
      EXPECT_FALSE(std::filesystem::exists(bench.log)) << "a log without records stays";
      EXPECT_EQ(bench.ecu.idleRequests(), "SR");
    }
  }

  EcuFaults faults;
  faults.silentAfter = 4;
  Bench bench(faults);
  try {
    bench.Run({0, milliseconds{0}});
    ADD_FAILURE() << "no failure";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(std::string(e.what()),
              "No valid frame came from the device /dev/simulated for 5 s; the 4 records "
              "captured before are in " +
                  bench.log);
    ASSERT_EQ(bench.watcher.recordTimes.size(), 4u);
    EXPECT_EQ(bench.clock.Now() - bench.watcher.recordTimes.back(), CaptureSession::kSilenceLimit);
    EXPECT_EQ(bench.Records(), bench.SentPrefix(4));
  }
}

// A disk that fills mid-line leaves the lines before whole, and the capture
// fails saying so. Run in a child, whose file size limit stands for the full
// disk.
TEST(CaptureSessionTest, FullDiskLeavesOnlyWholeLines) {
  Bench bench;
  const std::size_t limit = StreamCsvHeader().size() + 1 + 2 * 150 + 50;
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    setrlimit(RLIMIT_FSIZE, &size);
    try {
      bench.Run({10, milliseconds{0}});
    } catch (const TrimwrightError& e) {
      const std::string said = e.what();
      _exit(said.find("Unable to write the capture log") == 0 &&
                    said.find("captured before are in") != std::string::npos
                ? 0
                : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string text = tools::ReadFile(bench.log);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_LT(text.size(), limit) << "the part of a line written is cut off again";
  const std::vector<std::string> records = bench.Records();
  EXPECT_GE(records.size(), 1u);
  for (const std::string& line : records) {
    EXPECT_EQ(Fields(line).size(), static_cast<std::size_t>(kStreamCsvColumns)) << line;
  }
}

TEST(CaptureSessionTest, RefusesAnExistingLogUntouched) {
  Bench bench;
  tools::WriteFile(bench.log, "an earlier drive\n");
  try {
    bench.Run({5, milliseconds{0}});
    ADD_FAILURE() << "no refusal";
  } catch (const TrimwrightError& e) {
    EXPECT_EQ(e.status(), ExitStatus::kFileOrMemory);
    EXPECT_NE(std::string(e.what()).find(bench.log + " exists already"), std::string::npos);
  }
  EXPECT_EQ(tools::ReadFile(bench.log), "an earlier drive\n");
  EXPECT_EQ(bench.ecu.requests(), 0u);
  EXPECT_EQ(bench.ecu.idleRequests(), "");
}

// ------------------------------------------------------------ the device

// On a pseudo-terminal: 8192 baud, every byte through as it is (no line
// editing, no translation, no signal characters), a stop request ending a
// wait at once.
TEST(SerialLineTest, OpensATerminalRawAt8192Baud) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  StopSignal stop;
  SerialLine line(ptsname(master), &stop);
  EXPECT_EQ(line.ReportedBaud(), 8192);
  const Bytes odd = {0x03, '\r', '\n', 0x11, 0x13, 0x7F, 0x00, 0xFF, 0x1A, 0x04};
  ASSERT_EQ(write(master, odd.data(), odd.size()), static_cast<ssize_t>(odd.size()));
  Bytes got(64);
  std::size_t n = 0;
  for (int k = 0; k < 10 && n < odd.size(); ++k) {
    n += line.Receive({got.data() + n, got.size() - n}, milliseconds{200});
  }
  got.resize(n);
  EXPECT_EQ(got, odd);
  line.Send(odd);
  fcntl(master, F_SETFL, O_NONBLOCK);
  Bytes back(64);
  ssize_t read = 0;
  for (int k = 0; k < 10 && read < static_cast<ssize_t>(odd.size()); ++k) {
    const ssize_t r =
        ::read(master, back.data() + read, back.size() - static_cast<std::size_t>(read));
    if (r > 0) read += r;
    if (r <= 0) std::this_thread::sleep_for(milliseconds{20});
  }
  back.resize(static_cast<std::size_t>(std::max<ssize_t>(read, 0)));
  EXPECT_EQ(back, odd) << "nothing echoed or translated on the way out";
  stop.Request();
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(line.Receive(got, milliseconds{5000}), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds{1000});
  close(master);
}

}  // namespace
}  // namespace trimwright
