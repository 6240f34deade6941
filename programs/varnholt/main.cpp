// varnholt: converts one level-0 map into its info map and waypoint map, through the library's
// varnholt_convert; the banner, the usage and the report of a failure are the program's own.
#include <varnholt/varnholt.h>

#include <exception>
#include <string>
#include <vector>

#include "Console.h"

namespace {

using namespace varnholt;

void PrintLine(std::string_view Line) {
  console::WriteStandardOutput(std::string(Line) + "\r\n");
}

// Console lines go to standard output, notices to standard error. A console that can no longer
// be written ends the run where it stands, as the failure of any other line would.
void Report(const char* Line, int IsNotice, void*) {
  if (IsNotice != 0) return console::WriteStandardError("varnholt: " + std::string(Line) + "\n");
  try {
    PrintLine(Line);
  } catch (const std::exception& Failure) {
    console::Abandon("varnholt: " + std::string(Failure.what()) + "\n");
  }
}

int Run(const std::vector<std::string>& Arguments) {
  PrintLine("");
  PrintLine("Varnholt " + std::to_string(VARNHOLT_VERSION_MAJOR) + "." +
            std::to_string(VARNHOLT_VERSION_MINOR) + " by Quenlow");
  PrintLine(R"(Create "info" and "waypoint" maps from a level 0 pathfinding map)");
  PrintLine("");
  if (Arguments.size() != 2) {
    const std::string Program = console::FileNameOf(Arguments.empty() ? "" : Arguments[0]);
    PrintLine("Usage: " + Program + " <Level0PathFile>");
    PrintLine("");
    PrintLine("For example: " + Program + " Infantry1Level0Map.raw");
    return 0;
  }
  if (varnholt_convert(Arguments[1].c_str(), Report, nullptr) == 0) return 0;
  PrintLine(varnholt_error());
  return 1;
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  console::PrepareProcess();
  try {
    return Run(console::CommandLineArguments(ArgumentCount, Arguments));
  } catch (const std::exception& Failure) {
    // Standard output itself failed: the console cannot carry the report.
    console::WriteStandardError("varnholt: " + std::string(Failure.what()) + "\n");
    return 1;
  }
}
