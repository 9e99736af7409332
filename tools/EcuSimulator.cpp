#include "tools/EcuSimulator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "capture/StreamCsv.h"
#include "capture/StreamValues.h"

namespace trimwright::tools {

namespace {

using namespace stream;
namespace at = stream_offset;

// Garbage that looks like frames in places: an answer's start, an idle
// frame's start, a request's start, and an address byte just before the real
// frame.
constexpr std::array<std::uint8_t, 12> kGarbage = {0x3C, 0xF4, 0x92, 0x01, 0x7E, 0xF0,
                                                   0xFE, 0x11, 0xF4, 0x57, 0x00, 0xF4};

std::uint8_t ToByte(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

void PutWord(DataBytes& data, int offset, double value) {
  const auto word = static_cast<std::uint16_t>(std::clamp(std::lround(value), 0L, 65535L));
  data[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(word >> 8);
  data[static_cast<std::size_t>(offset) + 1] = static_cast<std::uint8_t>(word & 0xFF);
}

bool Hits(int every, std::uint64_t request) {
  return every > 0 && request % static_cast<std::uint64_t>(every) == 0;
}

}  // namespace

void EcuFaults::Set(std::string_view text) {
  const std::size_t colon = text.find(':');
  int every = 0;
  const std::string_view number = colon == std::string_view::npos ? "" : text.substr(colon + 1);
  const auto parsed = std::from_chars(number.data(), number.data() + number.size(), every);
  if (number.empty() || parsed.ec != std::errc() || parsed.ptr != number.data() + number.size() ||
      every < 1) {
    throw std::invalid_argument("a fault is KIND:N with N a whole number from 1: " +
                                std::string(text));
  }
  const std::string_view kind = text.substr(0, colon);
  if (kind == "checksum") {
    badChecksum = every;
  } else if (kind == "cut") {
    cut = every;
  } else if (kind == "garbage") {
    garbage = every;
  } else if (kind == "silence") {
    silence = every;
  } else if (kind == "echo") {
    noEcho = every;
  } else if (kind == "idle") {
    idle = every;
  } else if (kind == "stall") {
    stall = every;
  } else if (kind == "stop") {
    missedStops = every;
  } else {
    throw std::invalid_argument("no such fault: " + std::string(kind) +
                                " (checksum, cut, garbage, silence, echo, idle, stall, stop)");
  }
}

EcuSimulator::EcuSimulator(const CalibrationImage& image, std::uint32_t seed, int driveRecords,
                           const EcuFaults& faults)
    : image_(image), driveRecords_(std::max(driveRecords, 1)), faults_(faults), driveSeed_(seed) {}

std::vector<std::uint8_t> EcuSimulator::IdleFrame() { return BuildFrame(kIdleAddress, 0x00, {}); }

DataBytes EcuSimulator::DataFor(const LogSample& s, std::uint64_t index) {
  DataBytes data{};
  auto put = [&data](int offset, double value) {
    data[static_cast<std::size_t>(offset)] = ToByte(value);
  };
  const bool idle = s.blmCell == 16;
  const bool openLoop = LoggedData::IsHighThrottle(static_cast<float>(s.throttle), s.rpm);
  data[at::kStatus] = openLoop ? 0 : kClosedLoopBit | kBlockLearnBit;
  put(at::kDesiredIdle, 800 / 12.5);
  put(at::kRpm, s.rpm / 25.0);
  put(at::kCoolant, (s.coolantC + 40.0) / 0.75);
  put(at::kAirTemp, (30.0 + 40.0) / 0.75);
  put(at::kMap, s.mapKpa * 2.71 - 28.06);
  put(at::kThrottleVolts, (0.5 + s.throttle * 0.04) * 255.0 / 5.0);
  put(at::kThrottle, s.throttle * 2.55);
  put(at::kBattery, 140);
  put(at::kBaro, 100.0 * 2.71 - 28.06);
  put(at::kOxygenLeft, index % 2 == 0 ? 180 : 25);
  put(at::kOxygenRight, index % 2 == 0 ? 25 : 180);
  put(at::kBlmCell, s.blmCell);
  put(at::kBlmLeft, s.blmLeft);
  put(at::kBlmRight, s.blmRight);
  put(at::kIntegratorLeft, s.auxLeft);
  put(at::kIntegratorRight, s.auxRight);
  PutWord(data, at::kPulseWidthLeft, (1.0 + s.mapKpa * 0.05) * 65.536);
  PutWord(data, at::kPulseWidthRight, (1.0 + s.mapKpa * 0.05) * 65.536);
  PutWord(data, at::kAirFlow, s.rpm * s.mapKpa / 30000.0 * 128.0);
  put(at::kIdleAir, idle ? 45 : 20);
  put(at::kSpark, std::min(10.0 + s.rpm / 200.0, 40.0));
  put(at::kRoadSpeed, idle ? 0 : s.rpm / 45.0);
  // About twelve frames a second.
  PutWord(data, at::kRunningTime, static_cast<double>(index / 12));
  return data;
}

const LogSample& EcuSimulator::NextSample() {
  if (inDrive_ >= drive_.size()) {
    drive_ = SimulateDrive(image_, driveSeed_++, driveRecords_);
    inDrive_ = 0;
  }
  return drive_[inDrive_++];
}

EcuSimulator::Reply EcuSimulator::Receive(std::span<const std::uint8_t> hostBytes) {
  Reply reply;
  pending_.insert(pending_.end(), hostBytes.begin(), hostBytes.end());
  std::size_t k = 0;
  while (k < pending_.size()) {
    const std::uint8_t* p = pending_.data() + k;
    const std::size_t held = pending_.size() - k;
    const std::size_t n = p[0] == kEcuAddress && held >= 2 ? FrameBytesFor(p[1]) : 0;
    if (p[0] == kEcuAddress && (held < 2 || (n > 0 && held < n))) break;  // the rest comes later
    if (n == 0 || !ChecksumHolds({p, n})) {
      reply.echo.push_back(p[0]);
      ++k;
      continue;
    }
    const std::span<const std::uint8_t> frame(p, n);
    const bool dataRequest = std::equal(frame.begin(), frame.end(), kRequestDataStream.begin(),
                                        kRequestDataStream.end());
    if (!dataRequest || !Hits(faults_.noEcho, requests_ + 1)) {
      reply.echo.insert(reply.echo.end(), frame.begin(), frame.end());
    }
    if (dataRequest) {
      ++requests_;
      Answer(reply);
    } else if (std::equal(frame.begin(), frame.end(), kStopIdleTraffic.begin(),
                          kStopIdleTraffic.end())) {
      idleRequests_ += 'S';
      const auto stops =
          static_cast<int>(std::count(idleRequests_.begin(), idleRequests_.end(), 'S'));
      if (stops > faults_.missedStops) idleOn_ = false;
    } else if (std::equal(frame.begin(), frame.end(), kResumeIdleTraffic.begin(),
                          kResumeIdleTraffic.end())) {
      idleOn_ = true;
      idleRequests_ += 'R';
    }
    k += n;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(k));
  return reply;
}

void EcuSimulator::Answer(Reply& reply) {
  const std::uint64_t r = requests_;
  if (faults_.silentAfter >= 0 && r > static_cast<std::uint64_t>(faults_.silentAfter)) return;
  const auto every = static_cast<std::uint64_t>(faults_.silence);
  if (faults_.silence > 0 && r >= every &&
      r % every < static_cast<std::uint64_t>(std::max(faults_.silenceLength, 1))) {
    return;
  }
  auto& out = reply.answer;
  if (Hits(faults_.stall, r)) reply.stalled = true;
  if (Hits(faults_.garbage, r)) out.insert(out.end(), kGarbage.begin(), kGarbage.end());
  if (Hits(faults_.idle, r)) {
    const std::vector<std::uint8_t> idle = IdleFrame();
    out.insert(out.end(), idle.begin(), idle.end());
  }
  if (Hits(faults_.cut, r) || Hits(faults_.badChecksum, r)) {
    // A damaged frame is no sample of the drive; the next whole one is.
    std::vector<std::uint8_t> frame =
        BuildFrame(kEcuAddress, kDataStreamMode, DataFor(LogSample{}, sampleIndex_));
    if (Hits(faults_.cut, r)) frame.resize(kCutBytes);
    if (!Hits(faults_.cut, r)) frame.back() = static_cast<std::uint8_t>(frame.back() ^ 0x5A);
    out.insert(out.end(), frame.begin(), frame.end());
    return;
  }
  const DataBytes data = DataFor(NextSample(), sampleIndex_);
  const std::vector<std::uint8_t> frame = BuildFrame(kEcuAddress, kDataStreamMode, data);
  out.insert(out.end(), frame.begin(), frame.end());
  if (sink_) sink_(StreamCsvLine(sampleIndex_, StreamValues::FromData(data)));
  ++sampleIndex_;
}

}  // namespace trimwright::tools
