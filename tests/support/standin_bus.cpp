#include "tests/support/standin_bus.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace varnik::test {
namespace {

constexpr std::string_view kBusName = "VeruVeve.SetupConfig";

std::filesystem::path ServiceDir(const TempDir& dir) { return dir.Path() / "services"; }
std::filesystem::path StateHome(const TempDir& dir) { return dir.Path() / "state"; }

// Runs before the bus starts, so the bus finds the activation file.
std::filesystem::path PrepareServiceDir(const TempDir& dir) {
  const std::filesystem::path service_dir = ServiceDir(dir);
  WriteActivationFile(service_dir, std::string(kBusName), StandinProgram(), StateHome(dir));
  return service_dir;
}

void WriteWhole(const std::filesystem::path& path, std::string_view text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::filesystem::path StandinProgram() { return VARNIK_STANDIN_PROGRAM; }

StandinBus::StandinBus() : bus_(PrepareServiceDir(dir_)) {}

std::filesystem::path StandinBus::Folder() const {
  return StateHome(dir_) / "varnik-setupconfig-standin";
}

std::optional<std::string> StandinBus::StoredName() const {
  std::ifstream in(Folder() / "name", std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void StandinBus::StoreName(std::string_view name) const { WriteWhole(Folder() / "name", name); }

std::vector<std::string> StandinBus::Calls() const {
  std::vector<std::string> calls;
  std::ifstream in(Folder() / "calls", std::ios::binary);
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}

void StandinBus::FailCall(std::string_view call, std::string_view error_name,
                          std::string_view error_message) const {
  WriteWhole(Folder() / (std::string(call) + ".fail"),
             std::string(error_name) + "\n" + std::string(error_message) + "\n");
}

void StandinBus::HangCall(std::string_view call) const {
  WriteWhole(Folder() / (std::string(call) + ".hang"), "");
}

}  // namespace varnik::test
