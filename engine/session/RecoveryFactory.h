#pragma once
// Builds the recovery object for a scan source.
#include <cstdint>
#include <memory>

#include "engine/session/BackupStore.h"
#include "engine/session/IDeviceBackupDriver.h"
#include "engine/session/IPhoneRecoveryParse.h"
#include "engine/session/WorkFolders.h"

namespace fq {

inline constexpr int32_t kSourceDevice = 0;
inline constexpr int32_t kSourceBackup = 1;

// Kind 0: a CDeviceRecovery on `driver` (none without a driver); kind 1: a
// CLocalBuckupRecovery attached to `store`; any other kind: none.
std::unique_ptr<IPhoneRecoveryParse> CreateRecovery(int32_t sourceKind, BackupStore& store,
                                                    WorkFolders& folders, IDeviceBackupDriver* driver);

}  // namespace fq
