#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "Inspector.h"
#include "Tool.h"

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

int Inspect(const std::vector<std::string>& Words) {
  using namespace varnholt;
  const TRequest Request = ReadRequest(Words);
  if (Request.Help || Request.Maps.size() != 1) {
    PrintUsage(console::FileNameOf(Words[0]));
    return Request.Help ? 0 : 1;
  }
  return inspect::InspectMap(Request.Maps[0], PrintLine, Request.Query);
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  return varnholt::console::RunTool("varnholt-inspect", ArgumentCount, Arguments, Inspect);
}
