#pragma once
// This process's id, and whether another process of this machine still runs:
// a folder named after the process that made it is left alone while it does.
#include <cstdint>

namespace fq {

int64_t CurrentProcessId();

// True while process `pid` exists, also when it belongs to another user.
bool ProcessIsAlive(int64_t pid);

}  // namespace fq
