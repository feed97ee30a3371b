// The core's operations, timed: reading a list file and checking an entry.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>

#include "names/entry_check.h"
#include "names/list_reader.h"
#include "names/name_list.h"

namespace {

namespace fs = std::filesystem;

// A list file of the usual kind, on disk, in a folder of its own.
class ListOnDisk {
 public:
  explicit ListOnDisk(const std::string& bytes) {
    dir_ = fs::temp_directory_path() / ("varnik-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    file_.path = (dir_ / varnik::kNameListFileName).string();
    std::ofstream(file_.path, std::ios::binary) << bytes;
  }
  ~ListOnDisk() { fs::remove_all(dir_); }
  const varnik::NameListFile& file() const { return file_; }

 private:
  fs::path dir_;
  varnik::NameListFile file_;
};

void LoadTypicalList(benchmark::State& state) {
  const ListOnDisk list("ROSSI\r\nNiccol\xF2 -2\r\n");
  for (auto _ : state) benchmark::DoNotOptimize(varnik::LoadNameList(list.file()));
}
BENCHMARK(LoadTypicalList);

void SaveTypicalList(benchmark::State& state) {
  const ListOnDisk list("");
  for (auto _ : state) varnik::SaveNameList(u"ROSSI", u"Niccol\u00F2 -2", list.file());
}
BENCHMARK(SaveTypicalList);

// A single line of the given size, up to the longest a list may have, with no
// line end: memory must stay flat.
void ReadOneHugeLine(benchmark::State& state) {
  const std::string bytes(static_cast<std::size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    std::size_t offset = 0;
    const auto read = [&](std::span<char> buffer) {
      const std::size_t count = std::min(buffer.size(), bytes.size() - offset);
      std::memcpy(buffer.data(), bytes.data() + offset, count);
      offset += count;
      return count;
    };
    benchmark::DoNotOptimize(varnik::ReadListLines(read, varnik::Windows1252()));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ReadOneHugeLine)->Arg(1 << 10)->Arg(64 << 10)->Arg(1 << 20);

void CheckAcceptedEntry(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        varnik::CheckEntry(varnik::EntryLine::First, u" Niccol\u00F2 ROSSI-2 (x)  "));
  }
}
BENCHMARK(CheckAcceptedEntry);

}  // namespace

BENCHMARK_MAIN();
