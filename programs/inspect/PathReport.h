// The quality of the paths the library finds on a map: random pairs of connected open cells,
// drawn with a fixed seed so that the report is the same every time, each path's length over
// the shortest; and single paths asked for by hand.
#pragma once

#include <varnholt/varnholt.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace varnholt::inspect {

inline constexpr std::size_t kReportPairs = 32;

struct TPathReport {
  std::size_t Pairs = 0;  // connected pairs drawn; fewer than asked where the map has no more
  std::size_t Found = 0;
  // A path's length over the shortest: median, 95th percentile and worst, nearest rank.
  double Median = 1;
  double Percentile95 = 1;
  double Worst = 1;
  TCell WorstFrom, WorstTo;
};

// Searches the pairs on all the machine's threads; the result does not depend on how many.
TPathReport ReportPaths(const TMap& Map, std::size_t Pairs, std::uint64_t Seed);

// "ROW,COL" as a cell; fails with "Invalid cell: TEXT".
TCell ParseCell(const std::string& Text);

// One path and the shortest, in words for the report.
struct TPathQuery {
  TCell From, To;
};
struct TPathAnswer {
  std::vector<TCell> Path;  // empty when the grid connects none
  std::int64_t Shortest = -1;
};
TPathAnswer AnswerQuery(const TMap& Map, const TPathQuery& Query);

std::string Bracketed(TCell Cell);  // "(row, column)"
std::string ReportLine(const TPathReport& Report);
std::string AnswerLine(const TPathQuery& Query, const TPathAnswer& Answer);

}  // namespace varnholt::inspect
