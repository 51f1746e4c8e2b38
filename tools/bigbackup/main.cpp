// fq-mkbigbackup: writes a heavy user's backup for the benchmarks.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/bigbackup/BigBackup.h"

int main(int argc, char** argv) {
  CLI::App app{"Write a large backup folder, scaled by its number of messages"};
  std::string folder;
  fq::builder::BigBackupScale scale;
  std::string password;
  bool phoneIterations = false;
  app.add_option("--out", folder, "A new or empty folder")->required();
  app.add_option("--messages", scale.messages, "Messages in sms.db; every other table scales with it")
      ->check(CLI::Range(int64_t{100}, int64_t{10000000}));
  app.add_option("--password", password, "Write an encrypted backup under this password");
  app.add_flag("--phone-iterations", phoneIterations,
               "Encrypt with the phone's 10,000 and 10,000,000 rounds");
  int ios = 0;
  app.add_option("--ios", ios, "Write the phone's databases in the layouts of this system: 8, 13, 14 or 17")
      ->check(CLI::IsMember({8, 13, 14, 17}));
  CLI11_PARSE(app, argc, argv);

  std::error_code ec;
  if (std::filesystem::exists(folder, ec) && !std::filesystem::is_empty(folder, ec)) {
    std::fprintf(stderr, "fq-mkbigbackup: %s is not empty; give a new or empty folder\n", folder.c_str());
    return 1;
  }
  if (ios != 0) scale.system = fq::builder::PhoneSystemOf(ios);
  std::string error;
  if (!fq::builder::WriteBigBackup(folder, scale, password, phoneIterations, &error)) {
    std::fprintf(stderr, "fq-mkbigbackup: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
