// Finds and reads the baseline a pass's total limit counts from: the image
// file the tuner named, or else the oldest image in the image's history (the
// saved image of its oldest entry), or the image itself when the history
// holds none. Keeps nothing.
#ifndef TRIMWRIGHT_APP_BASELINEREADER_H_
#define TRIMWRIGHT_APP_BASELINEREADER_H_

#include <string>

#include "calibration/PassLimits.h"

namespace trimwright {

// The baseline for the image at imagePath, whose bytes are image; baselineFile
// as the tuner named it (empty: from the history). A baseline must have the
// image's layout and size and, unless ignoreChecksum, be a sound calibration.
// REQUIRES: the image's lock is held. Throws InvalidRequestError when
// baselineFile names no image or one of the other layout; TrimwrightError
// when it cannot be read, is of another size or not sound, or the baseline
// the history kept (or its oldest entry) is damaged.
Baseline ReadBaseline(const std::string& imagePath, const std::string& image,
                      const std::string& baselineFile, bool ignoreChecksum);

}  // namespace trimwright

#endif  // TRIMWRIGHT_APP_BASELINEREADER_H_
