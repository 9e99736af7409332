#include "logdata/TextLogFile.h"

#include <filesystem>
#include <iostream>
#include <limits>

#include "common/TrimwrightError.h"

namespace trimwright {

TextLogFile::TextLogFile(const std::string& path, const std::string& diagnosticPrefix)
    : path_(path), diagnosticPrefix_(diagnosticPrefix) {
  Open();
}

void TextLogFile::Open() {
  // A directory opens like a file on Linux but fails on the first read.
  std::error_code ignored;
  if (!std::filesystem::is_directory(path_, ignored)) file_.open(path_, std::ios::in);
  if (!file_.is_open()) Fail("Unable to open input file ");
}

void TextLogFile::Fail(const std::string& what) const {
  const std::string message = what + path_;
  std::cerr << diagnosticPrefix_ << message << std::endl;
  throw TrimwrightError(message);
}

std::int64_t TextLogFile::CountLineReads() {
  std::int64_t reads = 0;
  while (!file_.eof()) {
    file_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    ++reads;
    // Without this a read error that is not the end of the file would loop
    // for ever.
    if (file_.bad()) Fail("Unable to read input file ");
  }
  return reads;
}

void TextLogFile::Rewind() {
  file_.close();
  file_.clear();
  Open();
}

void TextLogFile::ReadLine(std::string& line) {
  std::getline(file_, line);
  if (file_.bad()) Fail("Unable to read input file ");
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

}  // namespace trimwright
