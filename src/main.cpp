#include <cstdio>
#include <exception>
#include <string>

#include "Platform.h"
#include "Varnholt.h"

int main(int ArgumentCount, char** Arguments) {
  using namespace varnholt;
  PrepareProcess();
  try {
    const auto PrintLine = [](std::string_view Line) {
      WriteStandardOutput(std::string(Line) + "\r\n");
    };
    const auto Notice = [](std::string_view Text) {
      std::fprintf(stderr, "varnholt: %.*s\n", static_cast<int>(Text.size()), Text.data());
    };
    return RunVarnholt(CommandLineArguments(ArgumentCount, Arguments), PathRules(), PrintLine,
                       Notice);
  } catch (const std::exception& Failure) {
    // Standard output itself failed: the console cannot carry the report.
    std::fprintf(stderr, "varnholt: %s\n", Failure.what());
    return 1;
  }
}
