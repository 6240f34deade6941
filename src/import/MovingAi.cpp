#include "import/MovingAi.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

namespace varnholt {
namespace {

// The text line by line, each without its line ending, counting lines from 1.
class TLines {
 public:
  explicit TLines(std::string_view Whole) : Text(Whole) {}
  bool Next(std::string_view& Line) {
    if (At >= Text.size()) return false;
    const std::size_t End = std::min(Text.find('\n', At), Text.size());
    Line = Text.substr(At, End - At);
    if (!Line.empty() && Line.back() == '\r') Line.remove_suffix(1);
    At = End + 1;
    ++Count;
    return true;
  }
  // The number of the line Next gave last; once the text is all read, the next is the one at fault.
  std::size_t Number() const { return Count; }

 private:
  std::string_view Text;
  std::size_t At = 0;
  std::size_t Count = 0;
};

[[noreturn]] void Fail(std::size_t Line, const std::string& Text,
                       varnholt_status Status = VARNHOLT_ERROR_READ) {
  throw Exception(Status, "line " + std::to_string(Line) + ": " + Text);
}

// A line as the message quotes it: at most 40 bytes, anything but printable ASCII as '?'.
std::string Quoted(std::string_view Line) {
  std::string Text = "'";
  for (const char C : Line.substr(0, 40)) Text += C >= ' ' && C <= '~' ? C : '?';
  return Text + (Line.size() > 40 ? "...'" : "'");
}

std::vector<std::string_view> Words(std::string_view Line) {
  std::vector<std::string_view> Found;
  std::size_t At = 0;
  while (At < Line.size()) {
    const std::size_t Start = Line.find_first_not_of(" \t", At);
    if (Start == std::string_view::npos) break;
    const std::size_t End = std::min(Line.find_first_of(" \t", Start), Line.size());
    Found.push_back(Line.substr(Start, End - Start));
    At = End;
  }
  return Found;
}

std::string Joined(const std::vector<std::string_view>& Words) {
  std::string Text;
  for (const std::string_view Word : Words) {
    if (!Text.empty()) Text += ' ';
    Text += Word;
  }
  return Text;
}

// The words of the header's next line, which Expected describes.
std::vector<std::string_view> HeaderWords(TLines& Lines, const std::string& Expected) {
  std::string_view Line;
  if (!Lines.Next(Line)) {
    Fail(Lines.Number() + 1, "'" + Expected + "' expected, found the end of the file");
  }
  return Words(Line);
}

[[noreturn]] void FailHeader(const TLines& Lines, const std::string& Expected,
                             const std::vector<std::string_view>& Found) {
  Fail(Lines.Number(), "'" + Expected + "' expected, found " + Quoted(Joined(Found)));
}

void HeaderLine(TLines& Lines, const std::vector<std::string_view>& Expected) {
  const std::string Text = Joined(Expected);
  const std::vector<std::string_view> Found = HeaderWords(Lines, Text);
  if (Found != Expected) FailHeader(Lines, Text, Found);
}

std::int32_t HeaderNumber(TLines& Lines, const std::string& Keyword) {
  const std::vector<std::string_view> Found = HeaderWords(Lines, Keyword + " N");
  if (Found.size() != 2 || Found[0] != Keyword) FailHeader(Lines, Keyword + " N", Found);
  const std::string_view Text = Found[1];
  std::int64_t Value = 0;
  const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  const bool Digits = Text.find_first_not_of("0123456789") == std::string_view::npos;
  if (!Digits || (Error == std::errc{} && Value == 0)) {
    Fail(Lines.Number(), Keyword + " " + Quoted(Text) + " is not a number of cells");
  }
  if (Error != std::errc{} || End != Text.data() + Text.size() || Value > kMaxImportSide) {
    Fail(Lines.Number(),
         Keyword + " " + Quoted(Text) + " is more than " + std::to_string(kMaxImportSide),
         VARNHOLT_ERROR_SIZE);
  }
  return static_cast<std::int32_t>(Value);
}

bool IsOpenCharacter(char C) {
  return C == '.' || C == 'G' || C == 'S';
}

void ReadRows(TLines& Lines, TSourceCells& Cells) {
  const auto Width = static_cast<std::size_t>(Cells.Columns);
  Cells.Blocked.reserve(Width * static_cast<std::size_t>(Cells.Rows));
  std::string_view Line;
  for (std::int32_t Row = 0; Row < Cells.Rows; ++Row) {
    if (!Lines.Next(Line)) {
      Fail(Lines.Number() + 1, "the map ends after " + std::to_string(Row) + " of " +
                                   std::to_string(Cells.Rows) + " rows");
    }
    if (Line.size() != Width) {
      Fail(Lines.Number(),
           std::to_string(Line.size()) + " characters, the width is " + std::to_string(Width));
    }
    for (const char C : Line) Cells.Blocked.push_back(IsOpenCharacter(C) ? 0 : 1);
  }
  while (Lines.Next(Line)) {
    if (!Words(Line).empty()) {
      Fail(Lines.Number(), "a row beyond the height of " + std::to_string(Cells.Rows));
    }
  }
}

}  // namespace

TSourceCells ReadMovingAi(std::string_view Text) {
  TLines Lines(Text);
  HeaderLine(Lines, {"type", "octile"});
  TSourceCells Cells;
  Cells.Rows = HeaderNumber(Lines, "height");
  Cells.Columns = HeaderNumber(Lines, "width");
  HeaderLine(Lines, {"map"});
  ReadRows(Lines, Cells);
  return Cells;
}

void WriteMovingAi(const TCellStore& Cells, TWriter& File) {
  const std::uint32_t Side = Cells.CellsPerSide();
  const std::string Header =
      "type octile\nheight " + std::to_string(Side) + "\nwidth " + std::to_string(Side) + "\nmap\n";
  WriteAll(File, {reinterpret_cast<const std::uint8_t*>(Header.data()), Header.size()});
  std::vector<std::uint8_t> Row(Side + 1);
  for (std::uint32_t R = 0; R < Side; ++R) {
    Cells.GetCells({static_cast<std::int32_t>(R), 0}, 1, Side, {Row.data(), Side});
    for (std::uint32_t C = 0; C < Side; ++C) Row[C] = Row[C] != 0 ? '@' : '.';
    Row[Side] = '\n';
    WriteAll(File, Row);
  }
}

}  // namespace varnholt
