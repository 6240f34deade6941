// The C interface of <varnholt/varnholt.h> for C++: a map that closes itself, failures as
// varnholt::Exception, cells as TCell, paths and files as vectors. Header only: it adds nothing to
// the library's ABI.
#ifndef VARNHOLT_HPP
#define VARNHOLT_HPP

#include <varnholt/varnholt.h>
#include <varnholt/exception.hpp>
#include <varnholt/types.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnholt {

// A segment's 16-byte waypoint record as the waypoint map stores it, read.
struct TWaypointRecord {
  std::array<std::uint8_t, 16> Bytes{};

  // The kept areas, 0 to 4, from the area mask.
  int AreaCount() const {
    int Count = 0;
    while (Count < 4 && (Bytes[12] >> (4 + Count) & 1) != 0) ++Count;
    return Count;
  }
  // The waypoint of kept area Area (1 to 4) within the segment.
  TCell Point(int Area) const {
    const auto At = static_cast<std::size_t>(2 + 2 * Area);  // column, row
    return {Bytes[At + 1], Bytes[At]};
  }
  // Whether area A of the segment touches area B of the segment below, or to the right.
  bool Links(bool Down, unsigned A, unsigned B) const {
    const std::size_t At = Down ? 0 : 2;
    const unsigned Word = Bytes[At] | Bytes[At + 1] << 8;
    return (Word >> LinkBit(A, B) & 1) != 0;
  }
  friend bool operator==(const TWaypointRecord& A, const TWaypointRecord& B) {
    return A.Bytes == B.Bytes;
  }
};

namespace detail {

[[noreturn]] inline void ThrowLast() {
  throw Exception(varnholt_last_status(), varnholt_error());
}

template <typename T>
T Checked(T Result) {
  if (Result < 0) ThrowLast();
  return Result;
}

// Calls Fill(buffer, capacity) once with room for Guess, again with room for what it needs.
template <typename T, typename F>
std::vector<T> Filled(std::size_t Guess, std::size_t PerItem, F Fill) {
  std::vector<T> Items(Guess * PerItem);
  for (;;) {
    const std::int64_t Count = Checked(Fill(Items.data(), static_cast<std::int64_t>(Guess)));
    if (static_cast<std::uint64_t>(Count) <= Guess) {
      Items.resize(static_cast<std::size_t>(Count) * PerItem);
      return Items;
    }
    Guess = static_cast<std::size_t>(Count);
    Items.resize(Guess * PerItem);
  }
}

inline std::vector<TCell> Cells(const std::vector<std::int32_t>& Pairs) {
  std::vector<TCell> Path(Pairs.size() / 2);
  for (std::size_t K = 0; K < Path.size(); ++K) Path[K] = {Pairs[2 * K], Pairs[2 * K + 1]};
  return Path;
}

}  // namespace detail

using TSurvey = varnholt_survey;
using TSplit = varnholt_split;

// The survey with the first splits and the first cells of the first lost components.
struct TSurveyResult {
  TSurvey Survey{};
  std::vector<TSplit> Splits;
  std::vector<TCell> Lost;
};

// A field toward a goal of a map (varnholt_field_create), which closes itself; close it before its
// map. Its members may run on several threads at once.
class TField {
 public:
  // The next cell toward the goal; false at the goal or where the grid does not connect them.
  // Throws Exception for a cell outside the map or blocked.
  bool Next(TCell From, TCell& To) const {
    std::int32_t Cell[2];
    if (detail::Checked(varnholt_field_next(Field.get(), From.Row, From.Column, Cell)) == 0)
      return false;
    To = {Cell[0], Cell[1]};
    return true;
  }
  // Steps of a shortest path to the goal, -1 where the grid does not connect them.
  std::int64_t Distance(TCell From) const {
    // -1 is also "not connected": the cell is checked by a call that tells them apart.
    std::int32_t Cell[2];
    detail::Checked(varnholt_field_next(Field.get(), From.Row, From.Column, Cell));
    return varnholt_field_distance(Field.get(), From.Row, From.Column);
  }
  // The cells from From to the goal along the field, both included; empty where not connected.
  std::vector<TCell> Path(TCell From) const {
    return detail::Cells(
        detail::Filled<std::int32_t>(256, 2, [&](std::int32_t* Cells, std::int64_t Room) {
          return varnholt_field_path(Field.get(), From.Row, From.Column, Cells, Room);
        }));
  }

 private:
  friend class TMap;
  struct TClose {
    void operator()(varnholt_field* Closed) const { varnholt_field_close(Closed); }
  };
  explicit TField(varnholt_field* Made) : Field(Made) {}
  std::unique_ptr<varnholt_field, TClose> Field;
};

// A level-0 map analysed in memory. Const members may run on several threads at once; SetCells
// runs alone.
class TMap {
 public:
  // varnholt_analyse, varnholt_analyse_memory, varnholt_open and varnholt_create; all throw
  // Exception with varnholt_error()'s text and the status.
  static TMap Analyse(const std::string& Level0Path) {
    return TMap(Opened(varnholt_analyse(Level0Path.c_str())));
  }
  static TMap AnalyseMemory(const void* Data, std::size_t Size) {
    return TMap(Opened(varnholt_analyse_memory(Data, Size)));
  }
  static TMap Open(const std::string& Level0Path) {
    return TMap(Opened(varnholt_open(Level0Path.c_str())));
  }
  static TMap Create(std::int32_t CellsPerSide, bool Blocked) {
    return TMap(Opened(varnholt_create(CellsPerSide, Blocked ? 1 : 0)));
  }

  std::int32_t CellsPerSide() const { return varnholt_cells_per_side(Map.get()); }
  std::int32_t SegmentsPerSide() const { return varnholt_segments_per_side(Map.get()); }
  // Rows x Columns bytes, row by row, 1 for a blocked cell.
  std::vector<std::uint8_t> Cells(TCell Corner, std::int32_t Rows, std::int32_t Columns) const {
    std::vector<std::uint8_t> Blocked(static_cast<std::size_t>(Rows < 0 ? 0 : Rows) *
                                      static_cast<std::size_t>(Columns < 0 ? 0 : Columns));
    detail::Checked(
        varnholt_get_cells(Map.get(), Corner.Row, Corner.Column, Rows, Columns, Blocked.data()));
    return Blocked;
  }
  // 1 to 4, 0 for a blocked cell or one of an erased area, -1 outside the map.
  int AreaOf(TCell Cell) const { return varnholt_area_of(Map.get(), Cell.Row, Cell.Column); }
  // The kept areas of a segment, cell (r, c) at r * 64 + c; returns their count.
  int SegmentAreas(std::int32_t Row, std::int32_t Column,
                   std::array<std::uint8_t, 4096>& Areas) const {
    return detail::Checked(varnholt_segment_areas(Map.get(), Row, Column, Areas.data()));
  }
  // The regions of a segment (65535 for a blocked cell); returns their count.
  int SegmentRegions(std::int32_t Row, std::int32_t Column,
                     std::array<std::uint16_t, 4096>& Regions) const {
    return detail::Checked(varnholt_segment_regions(Map.get(), Row, Column, Regions.data()));
  }
  TWaypointRecord SegmentRecord(std::int32_t Row, std::int32_t Column) const {
    TWaypointRecord Record;
    detail::Checked(varnholt_segment_record(Map.get(), Row, Column, Record.Bytes.data()));
    return Record;
  }
  // The survey, with up to SplitCount splits and LostCount lost components.
  TSurveyResult Survey(std::size_t SplitCount, std::size_t LostCount) const {
    TSurveyResult Result;
    Result.Splits.resize(SplitCount);
    std::vector<std::int32_t> Lost(2 * LostCount);
    detail::Checked(varnholt_survey_map(Map.get(), &Result.Survey, Result.Splits.data(),
                                        static_cast<std::int64_t>(SplitCount), Lost.data(),
                                        static_cast<std::int64_t>(LostCount)));
    const auto Within = [](std::int64_t Count, std::size_t Room) {
      return static_cast<std::size_t>(Count) < Room ? static_cast<std::size_t>(Count) : Room;
    };
    Result.Splits.resize(Within(Result.Survey.split_components, SplitCount));
    Lost.resize(2 * Within(Result.Survey.lost_components, LostCount));
    Result.Lost = detail::Cells(Lost);
    return Result;
  }

  // varnholt_split_fix: the cells whose change, of Kind, mends split number Index; empty where
  // none is found.
  std::vector<TCell> SplitFix(std::int64_t Index, varnholt_fix_kind Kind) const {
    return detail::Cells(
        detail::Filled<std::int32_t>(64, 2, [&](std::int32_t* Cells, std::int64_t Room) {
          return varnholt_split_fix(Map.get(), Index, Kind, Cells, Room);
        }));
  }

  // Throws Exception for a cell outside the map or blocked.
  bool Connected(TCell From, TCell To) const {
    return detail::Checked(
               varnholt_connected(Map.get(), From.Row, From.Column, To.Row, To.Column)) == 1;
  }
  // The cells of a path from From to To, both included; empty when the grid connects none.
  // Throws Exception for a cell outside the map or blocked.
  std::vector<TCell> FindPath(TCell From, TCell To) const {
    return detail::Cells(
        detail::Filled<std::int32_t>(256, 2, [&](std::int32_t* Cells, std::int64_t Room) {
          return varnholt_find_path(Map.get(), From.Row, From.Column, To.Row, To.Column, Cells,
                                    Room);
        }));
  }
  // varnholt_find_path_toward: the path to Goal, or to the open cell nearest it that From reaches.
  std::vector<TCell> FindPathToward(TCell From, TCell To) const {
    return detail::Cells(
        detail::Filled<std::int32_t>(256, 2, [&](std::int32_t* Cells, std::int64_t Room) {
          return varnholt_find_path_toward(Map.get(), From.Row, From.Column, To.Row, To.Column,
                                           Cells, Room);
        }));
  }
  // varnholt_smooth_path: the corners of a path that FindPath gave.
  std::vector<TCell> SmoothPath(const std::vector<TCell>& Path) const {
    std::vector<std::int32_t> Pairs;
    for (const TCell& Cell : Path) Pairs.insert(Pairs.end(), {Cell.Row, Cell.Column});
    return detail::Cells(
        detail::Filled<std::int32_t>(64, 2, [&](std::int32_t* Corners, std::int64_t Room) {
          return varnholt_smooth_path(Map.get(), Pairs.data(),
                                      static_cast<std::int64_t>(Path.size()), Corners, Room);
        }));
  }
  // The cells of a shortest path, both ends included; 0 when there is none.
  std::int64_t ShortestPathCells(TCell From, TCell To) const {
    return detail::Checked(
        varnholt_shortest_path_cells(Map.get(), From.Row, From.Column, To.Row, To.Column));
  }

  // varnholt_field_create: a field toward Goal, which must be closed before the map.
  TField Field(TCell Goal) const {
    varnholt_field* Made = varnholt_field_create(Map.get(), Goal.Row, Goal.Column);
    if (Made == nullptr) detail::ThrowLast();
    return TField(Made);
  }

  // varnholt_set_cells; Blocked holds Rows x Columns bytes, row by row.
  void SetCells(TCell Corner, std::int32_t Rows, std::int32_t Columns,
                const std::uint8_t* Blocked) {
    detail::Checked(
        varnholt_set_cells(Map.get(), Corner.Row, Corner.Column, Rows, Columns, Blocked));
  }

  // The bytes of one of the three files (VARNHOLT_FILE_LEVEL0, _INFO, _WAYPOINT). The size of
  // the info map is known only once the map is analysed, which is then done twice.
  std::vector<std::uint8_t> File(varnholt_file Kind) const {
    const auto N = static_cast<std::int64_t>(SegmentsPerSide());
    const std::int64_t Size =
        Kind == VARNHOLT_FILE_WAYPOINT
            ? 8 + 16 * N * N
            : detail::Checked(varnholt_write_memory(Map.get(), Kind, nullptr, 0));
    std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Size));
    detail::Checked(varnholt_write_memory(Map.get(), Kind, Bytes.data(), Size));
    return Bytes;
  }
  void Save(const std::string& Level0Path) const {
    detail::Checked(varnholt_save(Map.get(), Level0Path.c_str()));
  }
  // The first difference between the bytes or the file and the info or waypoint map the map
  // makes; empty when there is none.
  std::string CompareMemory(varnholt_file Kind, const void* Data, std::size_t Size) const {
    return Difference([&](char* Text, std::int64_t Room) {
      return varnholt_compare_memory(Map.get(), Kind, Data, Size, Text, Room);
    });
  }
  std::string CompareFile(varnholt_file Kind, const std::string& Path) const {
    return Difference([&](char* Text, std::int64_t Room) {
      return varnholt_compare_file(Map.get(), Kind, Path.c_str(), Text, Room);
    });
  }

  // The map as the C interface knows it, still owned by this object.
  const varnholt_map* Handle() const { return Map.get(); }

 private:
  struct TClose {
    void operator()(varnholt_map* Closed) const { varnholt_close(Closed); }
  };
  explicit TMap(varnholt_map* Opened) : Map(Opened) {}
  static varnholt_map* Opened(varnholt_map* Map) {
    if (Map == nullptr) detail::ThrowLast();
    return Map;
  }
  template <typename F>
  static std::string Difference(F Compare) {
    std::string Text(256, '\0');
    for (;;) {
      const std::int64_t Length =
          detail::Checked(Compare(Text.data(), static_cast<std::int64_t>(Text.size())));
      if (static_cast<std::uint64_t>(Length) < Text.size()) {
        Text.resize(static_cast<std::size_t>(Length));
        return Text;
      }
      Text.resize(static_cast<std::size_t>(Length) + 1);
    }
  }

  std::unique_ptr<varnholt_map, TClose> Map;
};

// varnholt_file_path: the path of one of the three files of the level-0 map at Level0Path.
inline std::string FilePath(const std::string& Level0Path, varnholt_file Kind) {
  // The names made from a map's name are at most 8 bytes longer than it.
  std::string Path(Level0Path.size() + 9, '\0');
  const std::int64_t Length = detail::Checked(varnholt_file_path(
      Level0Path.c_str(), Kind, Path.data(), static_cast<std::int64_t>(Path.size())));
  Path.resize(static_cast<std::size_t>(Length));
  return Path;
}

// varnholt_pair_interrupted and varnholt_replace_file.
inline bool PairInterrupted(const std::string& Level0Path) {
  return detail::Checked(varnholt_pair_interrupted(Level0Path.c_str())) == 1;
}
inline void ReplaceFile(const std::string& Path, const std::vector<std::uint8_t>& Bytes) {
  detail::Checked(varnholt_replace_file(Path.c_str(), Bytes.data(), Bytes.size()));
}

// varnholt_convert, each line to Report with whether it is a notice.
using TReport = std::function<void(std::string_view Line, bool IsNotice)>;
inline void Convert(const std::string& Level0Path, const TReport& Report) {
  const auto Forward = [](const char* Line, int IsNotice, void* Context) {
    (*static_cast<const TReport*>(Context))(Line, IsNotice != 0);
  };
  detail::Checked(varnholt_convert(Level0Path.c_str(), Report ? +Forward : nullptr,
                                   const_cast<TReport*>(&Report)));
}

}  // namespace varnholt

#endif  // VARNHOLT_HPP
