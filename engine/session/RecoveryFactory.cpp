#include "engine/session/RecoveryFactory.h"

#include "engine/session/CDeviceRecovery.h"
#include "engine/session/CLocalBuckupRecovery.h"

namespace fq {

std::unique_ptr<IPhoneRecoveryParse> CreateRecovery(int32_t sourceKind, BackupStore& store,
                                                    WorkFolders& folders, IDeviceBackupDriver* driver) {
  std::unique_ptr<IPhoneRecoveryParse> recovery;
  if (sourceKind == kSourceDevice) {
    if (driver == nullptr) return nullptr;
    recovery = std::make_unique<CDeviceRecovery>(folders, *driver);
    recovery->Attach(nullptr);
  } else if (sourceKind == kSourceBackup) {
    recovery = std::make_unique<CLocalBuckupRecovery>();
    recovery->Attach(&store);
  }
  return recovery;
}

}  // namespace fq
