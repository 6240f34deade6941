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
      WriteStandardError("varnholt: " + std::string(Text) + "\n");
    };
    return RunVarnholt(CommandLineArguments(ArgumentCount, Arguments), PathRules(), PrintLine,
                       Notice);
  } catch (const std::exception& Failure) {
    // Standard output itself failed: the console cannot carry the report.
    WriteStandardError("varnholt: " + std::string(Failure.what()) + "\n");
    return 1;
  }
}
