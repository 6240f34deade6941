// libpng reports a failure by longjmp. Every call that can fail runs in a small function of its own
// that holds nothing with a destructor, so that the jump skips no C++ object; the message waits in
// the reading's state and is thrown as an Exception once the call has returned.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>

#include "Placing.h"
#include "Png.h"

namespace varnholt::import {
namespace {

struct TReading {
  const TBytes* Bytes = nullptr;
  std::size_t At = 0;
  char Failure[200] = "";
};

void OnError(png_structp Png, png_const_charp Message) {
  auto* State = static_cast<TReading*>(png_get_error_ptr(Png));
  std::snprintf(State->Failure, sizeof State->Failure, "%s", Message);
  png_longjmp(Png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp Png, png_bytep Data, png_size_t Length) {
  auto* State = static_cast<TReading*>(png_get_io_ptr(Png));
  if (State->Bytes->size() - State->At < Length) {
    std::snprintf(State->Failure, sizeof State->Failure, "the file ends at byte %zu, inside %s",
                  State->Bytes->size(), State->At < 33 ? "the header" : "the picture's data");
    png_longjmp(Png, 1);
  }
  std::memcpy(Data, State->Bytes->data() + State->At, Length);
  State->At += Length;
}

bool ReadInfo(png_structp Png, png_infop Info) {
  if (setjmp(png_jmpbuf(Png))) return false;
  png_read_info(Png, Info);
  return true;
}

// To 8-bit RGBA whatever the colour type: palettes and low grey depths expanded, a transparent
// colour as alpha, 16 bits by their high byte, grey as three equal samples, opaque alpha added.
bool SetRgba(png_structp Png, png_infop Info, int* Passes) {
  if (setjmp(png_jmpbuf(Png))) return false;
  png_set_expand(Png);
  png_set_strip_16(Png);
  png_set_gray_to_rgb(Png);
  png_set_add_alpha(Png, 0xFF, PNG_FILLER_AFTER);
  *Passes = png_set_interlace_handling(Png);
  png_read_update_info(Png, Info);
  return true;
}

bool ReadRow(png_structp Png, png_bytep Row) {
  if (setjmp(png_jmpbuf(Png))) return false;
  png_read_row(Png, Row, nullptr);
  return true;
}

// libpng's reading and its picture's header, released together.
struct TPngHandles {
  explicit TPngHandles(TReading* State)
      : Png(png_create_read_struct(PNG_LIBPNG_VER_STRING, State, OnError, OnWarning)) {
    if (Png != nullptr) Info = png_create_info_struct(Png);
    if (Info == nullptr) {
      png_destroy_read_struct(&Png, nullptr, nullptr);
      throw std::bad_alloc();
    }
  }
  ~TPngHandles() { png_destroy_read_struct(&Png, &Info, nullptr); }
  TPngHandles(const TPngHandles&) = delete;
  TPngHandles& operator=(const TPngHandles&) = delete;
  png_structp Png;
  png_infop Info = nullptr;
};

class TPngReader {
 public:
  explicit TPngReader(const TSourceFile& Source)
      : Path(Source.Path), State{&Source.Bytes, 8, ""}, Handles(&State) {
    png_set_read_fn(Png, &State, OnRead);
    png_set_sig_bytes(Png, 8);
    // The importer's own limit is lower, and says so in its own words.
    png_set_user_limits(Png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    Check(ReadInfo(Png, Info));
    Check(SetRgba(Png, Info, &Passes));
  }

  std::int64_t Rows() const { return png_get_image_height(Png, Info); }
  std::int64_t Columns() const { return png_get_image_width(Png, Info); }

  // The next rows, RGBA. An interlaced picture comes in passes over every row, so it is read
  // whole first; any other a row at a time.
  void Read(std::int32_t Count, std::uint8_t* Pixels) {
    const std::size_t RowBytes = 4 * static_cast<std::size_t>(Columns());
    if (Passes > 1 && Whole.empty()) ReadWhole(RowBytes);
    for (std::int32_t R = 0; R < Count; ++R, ++Row) {
      std::uint8_t* Target = Pixels + static_cast<std::size_t>(R) * RowBytes;
      if (Passes > 1) {
        std::copy_n(Whole.data() + Row * RowBytes, RowBytes, Target);
      } else {
        Check(ReadRow(Png, Target));
      }
    }
  }

 private:
  void ReadWhole(std::size_t RowBytes) {
    Whole.resize(RowBytes * static_cast<std::size_t>(Rows()));
    for (int Pass = 0; Pass < Passes; ++Pass) {
      for (std::int64_t R = 0; R < Rows(); ++R) Check(ReadRow(Png, Whole.data() + R * RowBytes));
    }
  }
  void Check(bool Done) const {
    if (!Done) Fail(Path, State.Failure);
  }

  std::string Path;
  TReading State;
  TPngHandles Handles;
  png_structp Png = Handles.Png;
  png_infop Info = Handles.Info;
  int Passes = 1;
  std::int64_t Row = 0;
  TBytes Whole;
};

}  // namespace

TMap ImportPng(const TSourceFile& Source, const TPixelOptions& Options) {
  TPngReader Reader(Source);
  const std::int64_t Columns = Reader.Columns();
  TBytes Pixels;
  return PlacedMap(Source.Path, Reader.Rows(), Columns,
                   [&](std::int32_t, std::int32_t Rows, std::span<std::uint8_t> Band) {
                     Pixels.resize(4 * Band.size());
                     Reader.Read(Rows, Pixels.data());
                     ImportPixels(Pixels.data(), Band.size(), Options.Threshold, Options.DarkOpen,
                                  Band.data());
                   });
}

}  // namespace varnholt::import
