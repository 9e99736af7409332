#include "gui/WindowSettings.h"

#include <QSettings>

#include "common/TrimwrightError.h"

namespace trimwright {

namespace {

const QString kTargetBlmKey = QStringLiteral("fields/targetBlm");
const QString kRpmLimitKey = QStringLiteral("fields/rpmLimit");
const QString kMinRecordsKey = QStringLiteral("limits/minRecords");
const QString kMaxChangeKey = QStringLiteral("limits/maxChangePercent");
const QString kMaxTotalChangeKey = QStringLiteral("limits/maxTotalChangePercent");
const QString kAuxWindowKey = QStringLiteral("limits/auxWindow");
const QString kAddSecondTrimKey = QStringLiteral("limits/addSecondTrim");
const QString kSmoothKey = QStringLiteral("limits/smooth");

}  // namespace

const QString WindowSettings::kLogFolder = QStringLiteral("folders/logs");
const QString WindowSettings::kImageFolder = QStringLiteral("folders/images");

QString WindowSettings::TargetBlm(const QString& otherwise) const {
  return settings_ ? settings_->value(kTargetBlmKey, otherwise).toString() : otherwise;
}

QString WindowSettings::RpmLimit(const QString& otherwise) const {
  return settings_ ? settings_->value(kRpmLimitKey, otherwise).toString() : otherwise;
}

void WindowSettings::SaveFields(const QString& targetBlm, const QString& rpmLimit) {
  if (!settings_) return;
  settings_->setValue(kTargetBlmKey, targetBlm);
  settings_->setValue(kRpmLimitKey, rpmLimit);
  settings_->sync();
}

PassLimits WindowSettings::Limits(QStringList& ignored) const {
  PassLimits limits;
  if (!settings_) return limits;
  auto load = [&](const QString& key, const QString& off, auto parse, auto& limit) {
    const QString text = settings_->value(key).toString();
    if (text.isEmpty() || text == off) return;
    try {
      limit = parse(text.toStdString());
    } catch (const TrimwrightError& error) {
      ignored << QStringLiteral("%1: %2").arg(key, QString::fromStdString(error.what()));
    }
  };
  load(kMinRecordsKey, QStringLiteral("0"), ParseMinRecords, limits.minRecords);
  load(kMaxChangeKey, QStringLiteral("0"), ParseMaxChangePercent, limits.maxChangePercent);
  load(kMaxTotalChangeKey, QStringLiteral("0"), ParseMaxChangePercent,
       limits.maxTotalChangePercent);
  load(kAuxWindowKey, QString(), ParseAuxWindow, limits.auxWindow);
  limits.addSecondTrim = settings_->value(kAddSecondTrimKey, false).toBool();
  limits.smooth = settings_->value(kSmoothKey, false).toBool();
  return limits;
}

void WindowSettings::SaveLimits(const PassLimits& limits) {
  if (!settings_) return;
  settings_->setValue(kMinRecordsKey, limits.minRecords.value_or(0));
  settings_->setValue(kMaxChangeKey, limits.maxChangePercent.value_or(0.0));
  settings_->setValue(kMaxTotalChangeKey, limits.maxTotalChangePercent.value_or(0.0));
  settings_->setValue(kAddSecondTrimKey, limits.addSecondTrim);
  settings_->setValue(kSmoothKey, limits.smooth);
  settings_->setValue(
      kAuxWindowKey,
      limits.auxWindow
          ? QStringLiteral("%1-%2").arg(limits.auxWindow->low).arg(limits.auxWindow->high)
          : QString());
  settings_->sync();
}

QString WindowSettings::Folder(const QString& key) const {
  return settings_ && settings_->contains(key) ? settings_->value(key).toString() : QString();
}

void WindowSettings::SaveFolder(const QString& key, const QString& folder) {
  if (settings_) settings_->setValue(key, folder);
}

}  // namespace trimwright
