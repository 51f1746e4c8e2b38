#pragma once
// Connects the process's device backup driver for the device commands and
// device scans, with the diagnostic lines of the driver on stderr.
#include <string>

#include "device/CDeviceBackupDriver.h"

namespace fq::cli {

// True when connected; otherwise `why` says why in one line and the driver is disconnected.
bool ConnectDriver(CDeviceBackupDriver& driver, bool& willEncrypt, std::string& why);

}  // namespace fq::cli
