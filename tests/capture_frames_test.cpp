// The capture's pieces below the session: the frame decoder's edge cases in
// any pieces, the record line as the .csv reader reads it back for every byte
// value, and the serial line on a pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "capture/FrameDecoder.h"
#include "capture/SerialLine.h"
#include "capture/StopSignal.h"
#include "capture/StreamCsv.h"
#include "capture/StreamValues.h"
#include "common/TrimwrightError.h"
#include "logdata/Freescan.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/TempDir.h"
#include "tools/LogWriter.h"

namespace trimwright {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;
using testing::TempDir;

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
  // The far end gone: the write and the read that meet it first say so
  // in the same words.
  const std::string device = ptsname(master);
  close(master);
  for (const bool sending : {true, false}) {
    try {
      if (sending) line.Send(odd);
      if (!sending) line.Receive(got, milliseconds{1000});
      ADD_FAILURE() << "no error after the far end closed, sending " << sending;
    } catch (const TrimwrightError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("The device " + device + " hung up", 0), 0u)
          << error.what();
    }
  }
}

}  // namespace
}  // namespace trimwright
