#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "cli/Commands.h"
#include "cli/DeviceConnection.h"
#include "device/CDeviceBackupDriver.h"
#include "device/QuitCounter.h"
#include "engine/ResultCodes.h"

namespace fq::cli {

namespace {

void RaiseQuitOnSignal(int) { QuitCounter().fetch_add(1); }

// Connects the process's driver; prints why not on failure.
bool ConnectOrExplain(CDeviceBackupDriver& driver, bool& willEncrypt) {
  std::string why;
  if (cli::ConnectDriver(driver, willEncrypt, why)) return true;
  std::fprintf(stderr, "fernquill-cli: %s\n", why.c_str());
  return false;
}

void RunInfo(int& exitStatus) {
  auto& driver = CDeviceBackupDriver::Instance();
  bool willEncrypt = false;
  if (!ConnectOrExplain(driver, willEncrypt)) {
    exitStatus = 1;
    return;
  }
  std::string name, deviceClass, version;
  driver.GetDeviceName(name);
  driver.GetDeviceClass(deviceClass);
  driver.GetProductVersion(version);
  std::printf("Name: %s\nClass: %s\nVersion: %s\nUDID: %s\nWill encrypt: %s\n", name.c_str(),
              deviceClass.c_str(), version.c_str(), driver.Udid().c_str(), willEncrypt ? "yes" : "no");
  driver.Disconnect();
  exitStatus = 0;
}

void RunBackup(const std::string& out, bool passwordFromStdin, int& exitStatus) {
  std::string password;
  if (passwordFromStdin && !std::getline(std::cin, password)) password.clear();
  auto& driver = CDeviceBackupDriver::Instance();
  bool willEncrypt = false;
  if (!ConnectOrExplain(driver, willEncrypt)) {
    exitStatus = 1;
    return;
  }
  if (willEncrypt && !passwordFromStdin) {
    std::fprintf(stderr,
                 "fernquill-cli: the device encrypts its backups; give its password "
                 "with --password-stdin\n");
    driver.Disconnect();
    exitStatus = 3;
    return;
  }
  // A failed backup cleans its folder; that must never be an earlier backup.
  std::error_code ec;
  const std::filesystem::path target = std::filesystem::path(out) / driver.Udid();
  if (std::filesystem::exists(target, ec) && !std::filesystem::is_empty(target, ec)) {
    std::fprintf(stderr, "fernquill-cli: %s already holds a backup; choose an empty folder\n",
                 target.c_str());
    driver.Disconnect();
    exitStatus = 1;
    return;
  }
  std::signal(SIGINT, RaiseQuitOnSignal);
  std::signal(SIGTERM, RaiseQuitOnSignal);
  int32_t shown = -1;
  driver.SetProgress(
      [&shown](int32_t percent) {
        if (percent != shown) std::fprintf(stderr, "\r%3d%%", percent);
        shown = percent;
        return 0;
      },
      100);
  driver.SetMode(8);
  const int32_t rc = driver.Backup(out, password);
  std::fprintf(stderr, "\n");
  if (rc == kOk) {
    std::printf("%s\n", driver.GetBackupFolder().c_str());
    driver.KeepBackupFolder();
    exitStatus = 0;
  } else {
    if (!driver.ErrorDescription().empty()) {
      std::fprintf(stderr, "fernquill-cli: the device reported: %s\n", driver.ErrorDescription().c_str());
    }
    std::fprintf(stderr, "fernquill-cli: the device backup failed (%d)\n", rc);
    exitStatus = rc == kCancelled ? 2 : (driver.WillEncrypt() ? 3 : 1);
  }
  driver.Disconnect();
}

}  // namespace

void AddDeviceCommand(CLI::App& app, int& exitStatus) {
  auto* cmd = app.add_subcommand("device", "Work with a USB-connected device");
  cmd->require_subcommand(1);

  auto* info = cmd->add_subcommand("info", "Show the connected device's name, class and version");
  info->callback([&exitStatus] { RunInfo(exitStatus); });

  auto* backup = cmd->add_subcommand("backup", "Pull a full backup of the connected device");
  static std::string out;
  static bool passwordFromStdin = false;
  backup->add_option("--out", out, "Folder that receives the backup (in a subfolder named by the device)")
      ->required();
  backup->add_flag("--password-stdin", passwordFromStdin,
                   "Read the device's backup password from the first line of standard input");
  backup->callback([&exitStatus] { RunBackup(out, passwordFromStdin, exitStatus); });
}

}  // namespace fq::cli
