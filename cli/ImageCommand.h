// What --history, --undo and --locks share: each names one IMAGE, after the
// option or anywhere among the other arguments ("--undo --force car.bin"),
// and no log; they exclude each other. Keeps that image from its check for
// its run.
#ifndef TRIMWRIGHT_CLI_IMAGECOMMAND_H_
#define TRIMWRIGHT_CLI_IMAGECOMMAND_H_

#include <string>
#include <vector>

#include "cli/Command.h"

namespace trimwright {

class ImageCommand : public Command {
 public:
  bool Chosen(const CommandLine& line) const override;
  // Refuses a second command of the three, anything but one IMAGE, and an
  // option the command does not take; takes the image.
  void Check(const CommandLine& line) override;

 protected:
  // option: the command's own ("--undo"), whose value image is.
  // accepted: the other options it takes.
  ImageCommand(const char* option, std::string CommandLineValues::*image,
               std::vector<std::string> accepted);

  // The image, once Check passed.
  const std::string& image() const { return image_; }

 private:
  const char* option_;
  std::string CommandLineValues::*imageValue_;
  std::string image_;
};

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_IMAGECOMMAND_H_
