#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "Inspector.h"
#include "Platform.h"

namespace {

void PrintLine(std::string_view Line) {
  varnholt::WriteStandardOutput(std::string(Line) + "\n");
}

int Inspect(int ArgumentCount, char** Arguments) {
  using namespace varnholt;
  // The platform's own reading of the command line, as the converter takes it.
  const std::vector<std::string> Words = CommandLineArguments(ArgumentCount, Arguments);
  if (Words.size() != 2) {
    const std::string Program = SplitPath(Words[0], PathRules()).Name;
    PrintLine("Usage: " + Program + " <Level0PathFile>");
    PrintLine("");
    PrintLine("Checks the info and waypoint maps beside a level-0 map, reports the map's health");
    PrintLine("and draws it as <Prefix>Inspect.png. Exit code 0 when all is well, 1 otherwise.");
    return 1;
  }
  try {
    return inspect::InspectMap(Words[1], PathRules(), PrintLine);
  } catch (const Exception& Failure) {
    PrintLine(Failure.what());
  } catch (const std::bad_alloc&) {
    PrintLine("Out of memory");
  }
  return 1;
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  varnholt::PrepareProcess();
  try {
    return Inspect(ArgumentCount, Arguments);
  } catch (const std::exception& Failure) {
    // Standard output itself failed: the console cannot carry the report.
    std::fprintf(stderr, "varnholt-inspect: %s\n", Failure.what());
    return 1;
  }
}
