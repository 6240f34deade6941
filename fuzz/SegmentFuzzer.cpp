// Arbitrary segments through the per-segment analysis, compared with the plain model of the
// tests: any difference in an area map, area count, info cell, waypoint record or link aborts.
// The input is one segment (512 bytes) or two side by side, which are then also linked.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TestModel.h"
#include "analysis/AreaUtils.h"

namespace {

using namespace varnholt;

struct TAnalysis {
  TAreaSegment AreaMap;
  std::int32_t AreaCount = 0;
  TInfoSegment Info;
  TWaypointSegment Record;
};

template <typename T>
void Expect(const T& Real, const T& Model, const char* What) {
  if (std::memcmp(&Real, &Model, sizeof(T)) != 0) {
    std::fprintf(stderr, "segment fuzzer: %s differs from the model\n", What);
    std::abort();
  }
}

TAnalysis Analyse(const TSegment& Segment) {
  TAnalysis Real;
  LabelAreas(Segment, Real.AreaMap, Real.AreaCount);
  ReduceToInfo(Real.AreaMap, Real.Info);
  CalculateWaypoint(Real.AreaMap, Real.AreaCount, Real.Record);

  TAnalysis Model;
  model::ModelLabelAreas(Segment, Model.AreaMap, Model.AreaCount);
  model::ModelReduceToInfo(Model.AreaMap, Model.Info);
  model::ModelCalculateWaypoint(Model.AreaMap, Model.AreaCount, Model.Record);
  Expect(Real.AreaMap, Model.AreaMap, "area map");
  Expect(Real.AreaCount, Model.AreaCount, "area count");
  Expect(Real.Info, Model.Info, "info segment");
  Expect(Real.Record, Model.Record, "waypoint record");
  return Real;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TSegment First{}, Second{};
  std::copy_n(Data, std::min(Size, First.size()), First.begin());
  const TAnalysis A = Analyse(First);
  if (Size <= First.size()) return 0;
  std::copy_n(Data + First.size(), std::min(Size - First.size(), Second.size()), Second.begin());
  const TAnalysis B = Analyse(Second);
  TWaypointSegment Real = A.Record, Model = A.Record;
  LinkDown(AreaEdges(A.AreaMap), AreaEdges(B.AreaMap), Real);
  LinkRight(AreaEdges(A.AreaMap), AreaEdges(B.AreaMap), Real);
  model::ModelLinkDown(A.AreaMap, B.AreaMap, Model);
  model::ModelLinkRight(A.AreaMap, B.AreaMap, Model);
  Expect(Real, Model, "links");
  return 0;
}
