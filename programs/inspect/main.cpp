#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "Inspector.h"

namespace {

void PrintLine(std::string_view Line) {
  varnholt::console::WriteStandardOutput(std::string(Line) + "\n");
}

void PrintUsage(const std::string& Program) {
  PrintLine("Usage: " + Program + " <Level0PathFile> [--path ROW,COL ROW,COL]");
  PrintLine("");
  PrintLine("Checks the info and waypoint maps beside a level-0 map, reports the map's health");
  PrintLine("and the quality of its paths, and draws it as <Prefix>Inspect.png. With --path it");
  PrintLine("also finds the path between two cells and draws it. Exit code 0 when all is well,");
  PrintLine("1 otherwise.");
}

// The map and the options: --path with its two cells; --help, which is answered at once.
struct TRequest {
  std::vector<std::string> Maps;
  std::optional<varnholt::inspect::TPathQuery> Query;
  bool Help = false;
};

TRequest ReadRequest(const std::vector<std::string>& Words) {
  using namespace varnholt;
  TRequest Request;
  for (std::size_t K = 1; K < Words.size(); ++K) {
    if (Words[K] == "--help") {
      Request.Help = true;
    } else if (Words[K] == "--path") {
      if (K + 2 >= Words.size()) {
        throw Exception(VARNHOLT_ERROR_ARGUMENT, "--path needs two cells: --path ROW,COL ROW,COL");
      }
      Request.Query = {inspect::ParseCell(Words[K + 1]), inspect::ParseCell(Words[K + 2])};
      K += 2;
    } else if (Words[K].starts_with("--")) {
      throw Exception(VARNHOLT_ERROR_ARGUMENT, "Unknown option: " + Words[K]);
    } else {
      Request.Maps.push_back(Words[K]);
    }
  }
  return Request;
}

int Inspect(int ArgumentCount, char** Arguments) {
  using namespace varnholt;
  // The platform's own reading of the command line, as the converter takes it.
  const std::vector<std::string> Words = console::CommandLineArguments(ArgumentCount, Arguments);
  const std::string Program = console::FileNameOf(Words[0]);
  try {
    const TRequest Request = ReadRequest(Words);
    if (Request.Help || Request.Maps.size() != 1) {
      PrintUsage(Program);
      return Request.Help ? 0 : 1;
    }
    return inspect::InspectMap(Request.Maps[0], PrintLine, Request.Query);
  } catch (const Exception& Failure) {
    PrintLine(Failure.what());
  } catch (const std::bad_alloc&) {
    PrintLine("Out of memory");
  }
  return 1;
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  varnholt::console::PrepareProcess();
  try {
    return Inspect(ArgumentCount, Arguments);
  } catch (const std::exception& Failure) {
    // Standard output itself failed: the console cannot carry the report.
    varnholt::console::WriteStandardError("varnholt-inspect: " + std::string(Failure.what()) +
                                          "\n");
    return 1;
  }
}
