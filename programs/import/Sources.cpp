#include "Sources.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace varnholt::import {

std::filesystem::path PathOf(const std::string& Utf8) {
  return std::filesystem::path(std::u8string(Utf8.begin(), Utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& Path) {
  const std::u8string Text = Path.u8string();
  return std::string(Text.begin(), Text.end());
}

TBytes ReadWholeFile(const std::string& Path) {
  std::error_code Error;
  if (!std::filesystem::is_regular_file(PathOf(Path), Error)) {
    throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Path);
  }
  std::ifstream File(PathOf(Path), std::ios::binary);
  if (!File) throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Path);
  TBytes Bytes((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
  if (File.bad()) throw Exception(VARNHOLT_ERROR_READ, "Error reading file: " + Path);
  return Bytes;
}

std::string PathBeside(const std::string& Path, const std::string& Name) {
  const std::filesystem::path Named = PathOf(Name);
  if (Named.is_absolute()) return Name;
  return Utf8Of((PathOf(Path).parent_path() / Named).lexically_normal());
}

bool SameFile(const std::string& A, const std::string& B) {
  std::error_code Error;
  return std::filesystem::equivalent(PathOf(A), PathOf(B), Error) && !Error;
}

void Fail(const std::string& Where, const std::string& What, varnholt_status Status) {
  throw Exception(Status, Where + ": " + What);
}

}  // namespace varnholt::import
