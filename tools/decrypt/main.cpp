// tool: decrypts an encrypted backup into a folder of decrypted copies.
//
//   tool BACKUP_FOLDER OUTPUT_FOLDER PASSWORD
//
// PASSWORD "-" reads the password from standard input up to its end (one
// final line break is dropped), so it never shows in the process list.
// Prints "Count: N" as files are done, "Wrong password" when the password does
// not open the backup. Exit status: 0 done, 1 failed, 2 wrong password.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "tools/decrypt/BackupDecryptor.h"

namespace {

std::string readAllInput() {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > (1u << 20)) break;  // no password is this long
  }
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stdout, "Error: usage: tool BACKUP_FOLDER OUTPUT_FOLDER PASSWORD|-\n");
    return 1;
  }
  fq::decrypt::DecryptOptions options;
  options.backupFolder = argv[1];
  options.outputFolder = argv[2];
  if (argc == 4) options.password = std::string(argv[3]) == "-" ? readAllInput() : argv[3];
  const unsigned cores = std::thread::hardware_concurrency();
  options.workers = cores == 0 ? 2 : std::min(cores, 2u);

  const auto status = fq::decrypt::DecryptBackup(options, [](const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  });
  return static_cast<int>(status);
}
