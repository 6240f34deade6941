// The picture of a map, a pixel a cell, written by libpng into memory. As in reading, each call
// that can fail runs in a function of its own, which holds nothing with a destructor.
#include <png.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "Png.h"

namespace varnholt::import {
namespace {

struct TWriting {
  TBytes Bytes;
  char Failure[200] = "";
};

void OnError(png_structp Png, png_const_charp Message) {
  auto* State = static_cast<TWriting*>(png_get_error_ptr(Png));
  std::snprintf(State->Failure, sizeof State->Failure, "%s", Message);
  png_longjmp(Png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// No exception may cross libpng: a failure to grow is reported by png_error, once nothing with
// a destructor is left in this frame.
void OnWrite(png_structp Png, png_bytep Data, png_size_t Length) {
  auto* State = static_cast<TWriting*>(png_get_io_ptr(Png));
  bool Grown = true;
  try {
    State->Bytes.insert(State->Bytes.end(), Data, Data + Length);
  } catch (const std::exception&) {
    Grown = false;
  }
  if (!Grown) png_error(Png, "Out of memory");
}

void OnFlush(png_structp) {}

// 1-bit grey: the smallest picture that holds a cell a pixel.
bool WriteHeader(png_structp Png, png_infop Info, png_uint_32 Width, png_uint_32 Height) {
  if (setjmp(png_jmpbuf(Png))) return false;
  png_set_IHDR(Png, Info, Width, Height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(Png, Info);
  return true;
}

bool WriteRow(png_structp Png, png_const_bytep Row) {
  if (setjmp(png_jmpbuf(Png))) return false;
  png_write_row(Png, Row);
  return true;
}

bool WriteEnd(png_structp Png) {
  if (setjmp(png_jmpbuf(Png))) return false;
  png_write_end(Png, nullptr);
  return true;
}

struct TPngHandles {
  explicit TPngHandles(TWriting* State)
      : Png(png_create_write_struct(PNG_LIBPNG_VER_STRING, State, OnError, OnWarning)) {
    if (Png != nullptr) Info = png_create_info_struct(Png);
    if (Info == nullptr) {
      png_destroy_write_struct(&Png, nullptr);
      throw std::bad_alloc();
    }
  }
  ~TPngHandles() { png_destroy_write_struct(&Png, &Info); }
  TPngHandles(const TPngHandles&) = delete;
  TPngHandles& operator=(const TPngHandles&) = delete;
  png_structp Png;
  png_infop Info = nullptr;
};

// Row Row of the map, 8 cells a byte, the first in the high bit: 1 (white) open, 0 blocked.
void PackRow(const TMap& Map, std::int32_t Row, TBytes& Packed) {
  const TBytes Cells = Map.Cells({Row, 0}, 1, Map.CellsPerSide());
  std::fill(Packed.begin(), Packed.end(), 0);
  for (std::size_t C = 0; C < Cells.size(); ++C) {
    if (Cells[C] == 0) Packed[C / 8] |= static_cast<std::uint8_t>(0x80 >> (C % 8));
  }
}

// A 1-bit grey picture whose rows Pack writes, 8 pixels a byte, 1 white and 0 black.
using TPackRow = std::function<void(std::uint32_t Row, TBytes& Packed)>;

TBytes GreyPng(std::uint32_t Width, std::uint32_t Height, const TPackRow& Pack) {
  TWriting State;
  TPngHandles Handles(&State);
  png_set_write_fn(Handles.Png, &State, OnWrite, OnFlush);
  const auto Check = [&](bool Done) {
    if (!Done) throw Exception(VARNHOLT_ERROR_WRITE, std::string("PNG: ") + State.Failure);
  };
  Check(WriteHeader(Handles.Png, Handles.Info, Width, Height));
  TBytes Packed((Width + 7) / 8);
  for (std::uint32_t Row = 0; Row < Height; ++Row) {
    Pack(Row, Packed);
    Check(WriteRow(Handles.Png, Packed.data()));
  }
  Check(WriteEnd(Handles.Png));
  return std::move(State.Bytes);
}

}  // namespace

TBytes ExportPng(const TMap& Map) {
  const auto Side = static_cast<std::uint32_t>(Map.CellsPerSide());
  return GreyPng(Side, Side, [&](std::uint32_t Row, TBytes& Packed) {
    PackRow(Map, static_cast<std::int32_t>(Row), Packed);
  });
}

TBytes TilesPng(std::uint32_t TileSide) {
  return GreyPng(2 * TileSide, TileSide, [&](std::uint32_t, TBytes& Packed) {
    std::fill(Packed.begin(), Packed.end(), 0);
    for (std::uint32_t X = 0; X < TileSide; ++X) {
      Packed[X / 8] |= static_cast<std::uint8_t>(0x80 >> (X % 8));
    }
  });
}

}  // namespace varnholt::import
