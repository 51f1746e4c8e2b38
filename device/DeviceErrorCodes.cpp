#include "device/DeviceErrorCodes.h"

#include <cerrno>

namespace fq {

int32_t DeviceErrorCode(int error) {
  switch (error) {
    case ENOENT:
      return -6;
    case EEXIST:
      return -7;
    default:
      return -error;
  }
}

int DeleteFailureErrno(int error, bool parentExists) {
  if (error == ENOENT && parentExists) return ENOENT;
  if (error == EEXIST) return EEXIST;
  return EFAULT;
}

}  // namespace fq
