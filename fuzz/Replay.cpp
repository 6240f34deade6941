// Feeds every file of the folders or files named on the command line to a fuzz target once,
// so that the committed corpus runs as an ordinary test in every build, without a fuzzing engine.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

int main(int ArgumentCount, char** Arguments) {
  namespace fs = std::filesystem;
  std::vector<fs::path> Inputs;
  for (int K = 1; K < ArgumentCount; ++K) {
    if (fs::is_directory(Arguments[K])) {
      for (const auto& Entry : fs::directory_iterator(Arguments[K])) Inputs.push_back(Entry.path());
    } else {
      Inputs.emplace_back(Arguments[K]);
    }
  }
  if (Inputs.empty()) {
    std::fprintf(stderr, "replay: no input\n");
    return 1;
  }
  for (const fs::path& Input : Inputs) {
    std::ifstream File(Input, std::ios::binary);
    const std::vector<std::uint8_t> Bytes(std::istreambuf_iterator<char>(File), {});
    LLVMFuzzerTestOneInput(Bytes.data(), Bytes.size());
  }
  std::printf("replayed %zu inputs\n", Inputs.size());
  return 0;
}
