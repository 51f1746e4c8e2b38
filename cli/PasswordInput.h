#pragma once
// Reads the password of an encrypted backup: all of standard input with
// --password-stdin, otherwise a prompt on the terminal that does not echo.
#include <optional>
#include <string>

namespace fq::cli {

// The bytes of `fd` up to its end, without one final line break ("\n" or
// "\r\n"). Empty optional when reading fails.
std::optional<std::string> ReadPasswordFrom(int fd);

// Writes `prompt` to the terminal `ttyFd`, reads one line with echo turned
// off and restores the terminal. Empty optional when `ttyFd` is no terminal.
std::optional<std::string> PromptPasswordOn(int ttyFd, const std::string& prompt);

// --password-stdin: standard input; otherwise the controlling terminal
// (/dev/tty). Empty optional when neither is available.
std::optional<std::string> ReadBackupPassword(bool fromStdin,
                                              const std::string& prompt = "Backup password: ");

}  // namespace fq::cli
