// What the host program's messages quote from their input, and how they
// count. Input can be anything (binary data piped in, a line of megabytes,
// terminal escape sequences), so a quote is escaped and capped: a message is
// one readable line whatever it quotes.
#ifndef HOST_PROGRAM_MESSAGES_HPP
#define HOST_PROGRAM_MESSAGES_HPP

#include <cstddef>
#include <string>
#include <string_view>

namespace host_program {

// Characters quoted from input data: a field, a line, a name.
constexpr size_t short_quote = 60;
// Characters quoted from a file path or a library's own message.
constexpr size_t long_quote = 250;

// `text` with every byte outside printable ASCII written as an escape ("\n",
// "\t", "\r", else "\xNN", NUL and escape sequences included), its first
// `limit` bytes only, then "... (N more characters)" for the rest.
std::string printable(std::string_view text, size_t limit = short_quote);

// "1 argument", "3 arguments".
std::string count_of(size_t count, const std::string& noun);

// "" when `path` can be written, else "cannot write PATH: " and the system's
// reason. Asked before anything is computed; a file that did not exist is
// not left behind.
std::string write_refusal(const std::string& path);

}  // namespace host_program

#endif
