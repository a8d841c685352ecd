#include "messages.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace host_program {

std::string printable(std::string_view text, size_t limit) {
  std::string out;
  const size_t shown = std::min(text.size(), limit);
  for (size_t i = 0; i < shown; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte > 0x7e) {
      // Bytes past ASCII too: alone they may be a terminal's C1 controls.
      const char* hex = "0123456789abcdef";
      out += "\\x";
      out += hex[byte >> 4];
      out += hex[byte & 15];
    } else {
      out += char(byte);
    }
  }
  if (shown < text.size()) out += "... (" + count_of(text.size() - shown, "more character") + ")";
  return out;
}

std::string count_of(size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string write_refusal(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  const bool existed = fs::exists(path, ignored);
  // Opened for appending: a file that exists keeps its contents.
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) {
    const int reason = errno;
    return "cannot write " + printable(path, long_quote) + ": " +
           (reason != 0 ? std::strerror(reason) : "the system gives no reason");
  }
  std::fclose(file);
  if (!existed) fs::remove(path, ignored);
  return {};
}

}  // namespace host_program
