#pragma once
// The folder of the running program: helper programs (the decrypt tool), the
// templates and the language files lie beside it.
#include <filesystem>

namespace fq {

std::filesystem::path ProgramFolder();

}  // namespace fq
