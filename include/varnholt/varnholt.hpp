// The C interface of <varnholt/varnholt.h> for C++: a map that closes itself, failures as
// varnholt::Exception, paths as vectors. Header only: it adds nothing to the library's ABI.
#ifndef VARNHOLT_HPP
#define VARNHOLT_HPP

#include <varnholt/varnholt.h>
#include <varnholt/exception.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varnholt {

struct TCell {
  std::int32_t Row = 0;
  std::int32_t Column = 0;
  friend bool operator==(const TCell& A, const TCell& B) {
    return A.Row == B.Row && A.Column == B.Column;
  }
};

// A level-0 map analysed in memory. Const members may run on several threads at once; SetCells
// runs alone.
class TMap {
 public:
  // varnholt_analyse and varnholt_open; both throw Exception with varnholt_error()'s text.
  static TMap Analyse(const std::string& Level0Path) {
    return TMap(Checked(varnholt_analyse(Level0Path.c_str())));
  }
  static TMap Open(const std::string& Level0Path) {
    return TMap(Checked(varnholt_open(Level0Path.c_str())));
  }

  std::int32_t CellsPerSide() const { return varnholt_cells_per_side(Map.get()); }
  // 1 to 4, 0 for a blocked cell or one of an erased area, -1 outside the map.
  int AreaOf(TCell Cell) const { return varnholt_area_of(Map.get(), Cell.Row, Cell.Column); }
  // The cells of a path from From to To, both included; empty when the grid connects none.
  // Throws Exception for a cell outside the map or blocked.
  std::vector<TCell> FindPath(TCell From, TCell To) const {
    std::vector<std::int32_t> Cells(2 * 256);
    for (;;) {
      const std::int64_t Count =
          varnholt_find_path(Map.get(), From.Row, From.Column, To.Row, To.Column, Cells.data(),
                             static_cast<std::int64_t>(Cells.size() / 2));
      if (Count < 0) throw Exception(varnholt_error());
      if (2 * static_cast<std::uint64_t>(Count) <= Cells.size()) {
        std::vector<TCell> Path(static_cast<std::size_t>(Count));
        for (std::size_t K = 0; K < Path.size(); ++K) Path[K] = {Cells[2 * K], Cells[2 * K + 1]};
        return Path;
      }
      Cells.resize(2 * static_cast<std::size_t>(Count));
    }
  }

  // varnholt_set_cells and varnholt_save; Blocked holds Rows x Columns bytes, row by row.
  void SetCells(TCell Corner, std::int32_t Rows, std::int32_t Columns,
                const std::uint8_t* Blocked) {
    if (varnholt_set_cells(Map.get(), Corner.Row, Corner.Column, Rows, Columns, Blocked) != 0) {
      throw Exception(varnholt_error());
    }
  }
  void Save(const std::string& Level0Path) const {
    if (varnholt_save(Map.get(), Level0Path.c_str()) != 0) throw Exception(varnholt_error());
  }

  // The map as the C interface knows it, still owned by this object.
  const varnholt_map* Handle() const { return Map.get(); }

 private:
  struct TClose {
    void operator()(varnholt_map* Closed) const { varnholt_close(Closed); }
  };
  explicit TMap(varnholt_map* Opened) : Map(Opened) {}
  static varnholt_map* Checked(varnholt_map* Opened) {
    if (Opened == nullptr) throw Exception(varnholt_error());
    return Opened;
  }

  std::unique_ptr<varnholt_map, TClose> Map;
};

}  // namespace varnholt

#endif  // VARNHOLT_HPP
