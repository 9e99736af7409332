#include "calibration/LT1_obd1.h"

#include <algorithm>
#include <ostream>

#include "calibration/VEPlanner.h"
#include "common/TrimwrightError.h"

namespace trimwright {

LT1_obd1::LT1_obd1(const std::string& path, std::int32_t rpmLimit, const ImageLayout& layout,
                   ImageAccess access, Diagnostics& sink)
    : PCM(sink),
      layout_(layout),
      imagePath_(path),
      readOnly_(access.readOnly),
      pcmFile_(std::move(access.file)),
      rpmLimit_(rpmLimit),
      grid_(rpmLimit) {
  sink.Out() << "LT1_obd1:  constructor" << std::endl;
  if (!pcmFile_ || !pcmFile_->IsOpen()) {
    pcmFile_ = std::make_shared<ImageFile>();
    const ImageFile::Opening opening = pcmFile_->Open(path, readOnly_);
    if (opening != ImageFile::Opening::kOpened) Fail(ImageFile::Refusal(opening, path));
  }
  idleCell_.SetNumber(kIdleCellNumber);
}

LT1_obd1::~LT1_obd1() {
  diagnostics().Out() << "LT1_obd1:  destructing" << std::endl;
  fuelTrimTable_.reset();
  pcmFile_.reset();
}

void LT1_obd1::Fail(const std::string& message) const {
  diagnostics().Out() << "LT1_obd1:  " << message << std::endl;
  throw TrimwrightError(message);
}

void LT1_obd1::RequireImageBytes(std::int64_t needed, std::int64_t size) const {
  if (size < needed) {
    Fail("Image file " + imagePath_ + " is " + std::to_string(size) +
         " bytes long, but this run needs " + std::to_string(needed) + " bytes");
  }
}

void LT1_obd1::CompleteConstruction() {
  std::ostream& out = diagnostics().Out();
  out << layout_.className << ":  constructor" << std::endl;
  RequireImageBytes(std::max<std::int64_t>(VEPlanner::TunedSpan(layout_, grid_).end,
                                           layout_.ftBoundsOffset + kBoundaryBytes),
                    pcmFile_->Size());
  out << layout_.className << ":  reading FT Cell boundaries from " << imagePath_ << std::endl;
  ReadFTCellBoundaries(layout_.ftBoundsOffset);
}

void LT1_obd1::ReadFTCellBoundaries(std::int32_t ftBoundsOffset) {
  RequireImageBytes(std::int64_t{ftBoundsOffset} + kBoundaryBytes, pcmFile_->Size());
  unsigned char bytes[kBoundaryBytes];
  if (!pcmFile_->disk().ReadAt(ftBoundsOffset, bytes, sizeof bytes)) {
    Fail("Unable to read file " + imagePath_);
  }

  ftRpmBounds_.push_back(0);
  for (int k = 0; k < 3; ++k) ftRpmBounds_.push_back(bytes[k] * kRpmPerBoundaryCount);
  ftRpmBounds_.push_back(kTopRpmBound);
  ftMapBounds_.push_back(0.0f);
  for (int k = 3; k < 6; ++k) ftMapBounds_.push_back(static_cast<float>(bytes[k]));
  ftMapBounds_.push_back(static_cast<float>(kTopMapBound));

  std::ostream& out = diagnostics().Out();
  out << "Fuel trim rpm bnds:  ";
  for (const std::int32_t rpm : ftRpmBounds_) out << rpm << " ";
  out << "\nFuel trim map bnds:  ";
  for (const float kpa : ftMapBounds_) out << kpa << " ";
  out << std::endl;

  fuelTrimTable_ = std::make_unique<FuelTrimTable>(ftRpmBounds_, ftMapBounds_, diagnostics());
}

void LT1_obd1::BeginOptimize() {
  std::ostream& out = diagnostics().Out();
  out << layout_.className << ":  OptimizeVETable" << std::endl;
  out << "LT1_obd1:  OptimizeVETable" << std::endl;
}

RecordFates LT1_obd1::AddLog(const LoggedData& data, const PassLimits& limits) {
  RecordFates fates = sorter_.Add(data, limits.auxWindow.value_or(AuxWindow{}),
                                  limits.addSecondTrim, *fuelTrimTable_, idleCell_);
  fates.read = data.recordsInFile + data.recordsCutOffAtEnd;
  fates.rejected = data.rejected;
  fates.rejected[static_cast<std::size_t>(Rejection::kCutOff)] += data.recordsCutOffAtEnd;
  return fates;
}

void LT1_obd1::SampleLog(const LoggedData& data, const PassLimits& limits,
                         RecordSample& sample) const {
  sample.Add(data, limits.auxWindow.value_or(AuxWindow{}), fuelTrimTable_->CellCount(),
             idleCell_.GetNumber());
}

PassPlan LT1_obd1::PlanVETable(std::int32_t targetBlm, const PassLimits& limits) {
  std::string image;
  if (!pcmFile_->disk().ReadAll(image)) Fail("Unable to read file " + imagePath_);
  RequireImageBytes(VEPlanner::TunedSpan(layout_, grid_).end,
                    static_cast<std::int64_t>(image.size()));
  idleCell_.RangesFromRecords();
  fuelTrimTable_->SetMinRecords(limits.minRecords.value_or(1));

  PassPlan plan = VEPlanner(layout_, grid_, *fuelTrimTable_, idleCell_, sorter_, diagnostics())
                      .Plan(image, targetBlm, limits);
  plan.imagePath = imagePath_;
  plan.imageFormat = layout_.className;
  plan.imageStamp = FileStamp::Of(imagePath_);
  plan.rpmLimit = rpmLimit_;
  return plan;
}

void LT1_obd1::ApplyPlan(const PassPlan& plan) {
  if (readOnly_) throw TrimwrightError("The image " + imagePath_ + " was opened read-only");
  pcmFile_->WritePlan(plan);
}

}  // namespace trimwright
