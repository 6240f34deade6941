#include "PathReport.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "Random.h"

namespace varnholt::inspect {
namespace {

struct TSample {
  TCell From, To;
  double Ratio = 1;
  bool Found = false;
};

// Open cells at random, until Pairs connected pairs are drawn or it is clear there are none.
std::vector<TSample> DrawPairs(const TMap& Map, std::size_t Pairs, std::uint64_t Seed) {
  TRandom Random(Seed);
  const auto Side = static_cast<std::uint64_t>(Map.CellsPerSide());
  const auto AnyCell = [&] {
    return TCell{static_cast<std::int32_t>(Random.Next() % Side),
                 static_cast<std::int32_t>(Random.Next() % Side)};
  };
  const auto IsOpen = [&](TCell Cell) { return Map.Cells(Cell, 1, 1)[0] == 0; };
  std::vector<TSample> Samples;
  for (std::size_t Tries = 0; Samples.size() < Pairs && Tries < 1000 * Pairs; ++Tries) {
    const TCell From = AnyCell();
    const TCell To = AnyCell();
    if (!IsOpen(From) || !IsOpen(To)) continue;
    if (Map.Connected(From, To)) Samples.push_back({From, To});
  }
  return Samples;
}

// A path found, its length over the shortest; 1 for a path of no steps.
double LengthRatio(const TPathAnswer& Answer) {
  const auto Steps = static_cast<std::int64_t>(Answer.Path.size()) - 1;
  return Answer.Shortest > 0 ? static_cast<double>(Steps) / static_cast<double>(Answer.Shortest)
                             : 1;
}

void Measure(const TMap& Map, TSample& Sample) {
  const TPathAnswer Answer = AnswerQuery(Map, {Sample.From, Sample.To});
  Sample.Found = !Answer.Path.empty();
  if (Sample.Found) Sample.Ratio = LengthRatio(Answer);
}

// The value at the nearest rank of Percent in Sorted.
double AtRank(const std::vector<double>& Sorted, std::size_t Percent) {
  const std::size_t Rank = (Percent * Sorted.size() + 99) / 100;
  return Sorted[std::max<std::size_t>(Rank, 1) - 1];
}

std::string Fixed(double Value) {
  char Text[32];
  std::snprintf(Text, sizeof Text, "%.3f", Value);
  return Text;
}

}  // namespace

TPathReport ReportPaths(const TMap& Map, std::size_t Pairs, std::uint64_t Seed) {
  std::vector<TSample> Samples = DrawPairs(Map, Pairs, Seed);
  // Each exact length is a search of the whole grid that may hold a plane of cells for every
  // segment, 40 MB on a 16384 x 16384 map beside the 70 MB of the map analysed: one at a time
  // keeps the report within 128 MB.
  for (TSample& Sample : Samples) Measure(Map, Sample);
  TPathReport Report;
  Report.Pairs = Samples.size();
  std::vector<double> Ratios;
  for (const TSample& Sample : Samples) {
    if (!Sample.Found) continue;
    ++Report.Found;
    Ratios.push_back(Sample.Ratio);
    if (Ratios.size() == 1 || Sample.Ratio > Report.Worst) {
      Report.Worst = Sample.Ratio;
      Report.WorstFrom = Sample.From;
      Report.WorstTo = Sample.To;
    }
  }
  if (Ratios.empty()) return Report;
  std::sort(Ratios.begin(), Ratios.end());
  Report.Median = AtRank(Ratios, 50);
  Report.Percentile95 = AtRank(Ratios, 95);
  return Report;
}

TCell ParseCell(const std::string& Text) {
  const std::size_t Comma = Text.find(',');
  TCell Cell;
  const char* End = Text.data() + Text.size();
  const auto Row =
      std::from_chars(Text.data(), Text.data() + std::min(Comma, Text.size()), Cell.Row);
  const auto Column =
      Comma == std::string::npos ? Row : std::from_chars(Text.data() + Comma + 1, End, Cell.Column);
  if (Comma == std::string::npos || Row.ec != std::errc() || Row.ptr != Text.data() + Comma ||
      Column.ec != std::errc() || Column.ptr != End || Cell.Row < 0 || Cell.Column < 0) {
    throw Exception(VARNHOLT_ERROR_ARGUMENT, "Invalid cell: " + Text);
  }
  return Cell;
}

TPathAnswer AnswerQuery(const TMap& Map, const TPathQuery& Query) {
  TPathAnswer Answer;
  Answer.Path = Map.FindPath(Query.From, Query.To);
  Answer.Shortest = Map.ShortestPathCells(Query.From, Query.To) - 1;
  return Answer;
}

std::string Bracketed(TCell Cell) {
  // Appended piece by piece: GCC 12 misreads "(" + a temporary as an overlapping copy.
  std::string Text = "(";
  Text += CellText(Cell);
  Text += ')';
  return Text;
}

std::string ReportLine(const TPathReport& Report) {
  if (Report.Pairs == 0) return "no two open cells connected";
  std::string Line = std::to_string(Report.Found) + " of " + std::to_string(Report.Pairs) +
                     " random connected pairs found";
  if (Report.Found == 0) return Line;
  return Line + "; length over the shortest: median " + Fixed(Report.Median) +
         ", 95th percentile " + Fixed(Report.Percentile95) + ", worst " + Fixed(Report.Worst) +
         " from " + Bracketed(Report.WorstFrom) + " to " + Bracketed(Report.WorstTo);
}

std::string AnswerLine(const TPathQuery& Query, const TPathAnswer& Answer) {
  const std::string Between = Bracketed(Query.From) + " to " + Bracketed(Query.To) + ": ";
  if (Answer.Path.empty()) return Between + "none, the grid connects no path between them";
  return Between + std::to_string(Answer.Path.size() - 1) + " steps, the shortest " +
         std::to_string(Answer.Shortest) + " (" + Fixed(LengthRatio(Answer)) + ")";
}

}  // namespace varnholt::inspect
