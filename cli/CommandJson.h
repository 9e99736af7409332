// The JSON of a command that reads images (--history, --compare): to
// standard output for "-", else to a file the output guard lets it write
// (never one of the images or a file of their history). A function only.
#ifndef TRIMWRIGHT_CLI_COMMANDJSON_H_
#define TRIMWRIGHT_CLI_COMMANDJSON_H_

#include <functional>
#include <string>
#include <vector>

namespace trimwright {

// Writes the JSON text makes to path ("-": standard output). A file is
// checked against images and prepared before text is called, and written
// only once text returned; when text throws, nothing is written. Throws
// TrimwrightError when the file may not be written, cannot be opened or
// cannot be written.
void WriteCommandJson(const std::string& path, const std::vector<std::string>& images,
                      const std::function<std::string()>& text);

}  // namespace trimwright

#endif  // TRIMWRIGHT_CLI_COMMANDJSON_H_
