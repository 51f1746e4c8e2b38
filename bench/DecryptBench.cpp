// Encrypted backups: the one key derivation a run pays for (10,000,000 rounds
// of PBKDF2-HMAC-SHA256 on the published 10.2 example, whose password is
// "hashcat"), streamed AES-256-CBC of one file, and a whole backup decrypted
// on one and on two workers. bench/decrypt-vs-openssl.sh compares the file
// throughput with `openssl enc`.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/decrypt/BackupDecryptor.h"
#include "tools/decrypt/ClassKeys.h"
#include "tools/decrypt/EncryptedBackupWriter.h"
#include "tools/decrypt/FileCipher.h"
#include "tools/decrypt/KeyDerivation.h"

namespace {

namespace fs = std::filesystem;
using namespace fq::decrypt;

std::vector<uint8_t> hex(const std::string& h) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < h.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
  return out;
}

fs::path scratch() {
  std::string pattern = (fs::temp_directory_path() / "fq-bench-XXXXXX").string();
  return ::mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
}

void BM_KeyDerivationTenMillionRounds(benchmark::State& state) {
  Keybag bag;
  bag.salt = hex("2353363784073608264337337723324886300850");
  bag.iterations = 10000;
  bag.dpSalt = hex("425b4bb4e200b5fd4c66979c9caca31716052063");
  bag.dpIterations = 10000000;
  KeybagClass c;
  c.protectionClass = 1;
  c.wrap = 2;
  c.wrappedKey = hex("8b715f516ff8e64442c478c2d9abb046fc6979ab079007d3dbcef3ddd84217f4c3db01362d88fa68");
  bag.classes.push_back(c);
  for (auto _ : state) {
    const auto kek = DeriveKeyEncryptionKey("hashcat", bag);
    ClassKeys keys;
    if (!kek || keys.unlock(bag, *kek) != UnlockResult::Ok)
      state.SkipWithError("the published hash did not open");
  }
}
BENCHMARK(BM_KeyDerivationTenMillionRounds)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecryptOneFile(benchmark::State& state) {
  const fs::path dir = scratch();
  Key256 key{};
  key[0] = 1;
  const std::vector<uint8_t> plain(static_cast<size_t>(state.range(0)) << 20, 0x5A);
  const auto cipher = EncryptBytes(key, plain);
  FILE* f = std::fopen((dir / "enc").c_str(), "wb");
  std::fwrite(cipher.data(), 1, cipher.size(), f);
  std::fclose(f);
  for (auto _ : state) {
    DecryptedFileReport report;
    if (DecryptFile(key, dir / "enc", dir / "dec", report) != CipherResult::Ok)
      state.SkipWithError("decrypt failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(plain.size()));
  fs::remove_all(dir);
}
BENCHMARK(BM_DecryptOneFile)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

// The key unwrap every stored file pays before its content: with a context
// set up per key (0) and with one kept by the thread, as the tool's workers do (1).
void BM_UnwrapFileKey(benchmark::State& state) {
  Key256 classKey{};
  classKey[3] = 7;
  Key256 fileKey{};
  fileKey[5] = 9;
  ClassKeys keys;
  keys.insert(3, classKey);
  std::vector<uint8_t> blob{3, 0, 0, 0};
  const auto wrapped = WrapKey(classKey, fileKey);
  blob.insert(blob.end(), wrapped.begin(), wrapped.end());
  KeyUnwrapper unwrapper;
  const bool kept = state.range(0) != 0;
  for (auto _ : state) {
    const auto key = kept ? keys.unwrapFileKey(blob, unwrapper) : keys.unwrapFileKey(blob);
    if (key != fileKey) state.SkipWithError("unwrap failed");
  }
}
BENCHMARK(BM_UnwrapFileKey)->Arg(0)->Arg(1);

void BM_DecryptBackup(benchmark::State& state) {
  const fs::path dir = scratch();
  std::vector<PlainFile> files;
  for (int i = 0; i < 32; ++i)
    files.push_back({"MediaDomain", "Media/f" + std::to_string(i), std::vector<uint8_t>(8 << 20, uint8_t(i)),
                     4, std::nullopt});
  EncryptedBackupOptions options;
  options.password = "pw";
  WriteEncryptedBackup(dir / "backup", files, options);
  for (auto _ : state) {
    const auto status =
        DecryptBackup({dir / "backup", dir / "out", "pw", static_cast<unsigned>(state.range(0))},
                      [](const std::string&) {});
    if (status != DecryptStatus::Done) state.SkipWithError("decrypt failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 32 * (8 << 20));
  fs::remove_all(dir);
}
BENCHMARK(BM_DecryptBackup)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
