// fq-mkbackup: writes a backup folder from code. --demo writes the demo backup.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/backupbuilder/DemoBackup.h"

int main(int argc, char** argv) {
  CLI::App app{"Write a backup folder laid out as the desktop sync software writes it"};
  std::string folder;
  std::string manifest = "db";
  app.add_option("--demo", folder, "Write the demo backup into this folder")->required();
  app.add_option("--manifest", manifest, "Index format: db (Manifest.db) or mbdb (Manifest.mbdb)")
      ->check(CLI::IsMember({"db", "mbdb"}));
  int ios = 0;
  app.add_option("--ios", ios, "Write the phone's databases in the layouts of this system: 8, 13, 14 or 17")
      ->check(CLI::IsMember({8, 13, 14, 17}));
  CLI11_PARSE(app, argc, argv);

  std::error_code ec;
  if (std::filesystem::exists(folder, ec) && !std::filesystem::is_empty(folder, ec)) {
    std::fprintf(stderr, "fq-mkbackup: %s is not empty; give a new or empty folder\n", folder.c_str());
    return 1;
  }
  const auto format =
      manifest == "mbdb" ? fq::builder::ManifestFormat::Mbdb : fq::builder::ManifestFormat::Db;
  std::string error;
  const auto system = ios != 0 ? fq::builder::PhoneSystemOf(ios) : std::nullopt;
  if (!fq::builder::WriteDemoBackup(folder, format, &error, system)) {
    std::fprintf(stderr, "fq-mkbackup: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
