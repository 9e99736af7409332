// SHA-256 of a byte string, as 64 lowercase hexadecimal digits (what
// sha256sum prints): how a pass names the image it planned from and the image
// it left, so that a later step can tell whether the file changed meanwhile.
#ifndef TRIMWRIGHT_COMMON_SHA256_H_
#define TRIMWRIGHT_COMMON_SHA256_H_

#include <string>
#include <string_view>

namespace trimwright {

std::string Sha256Hex(std::string_view bytes);

}  // namespace trimwright

#endif  // TRIMWRIGHT_COMMON_SHA256_H_
