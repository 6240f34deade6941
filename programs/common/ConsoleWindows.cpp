// Windows: the raw command line, the console or the code page for output, and console control
// events, which arrive on a thread of their own.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
//
#include <varnholt/varnholt.h>

#include <algorithm>
#include <cwchar>
#include <system_error>

#include "Console.h"

namespace varnholt::console {
namespace {

std::wstring WideOf(std::string_view Text) {
  if (Text.empty()) return {};
  const int Length =
      MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring Wide(static_cast<std::size_t>(std::max(Length, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
  return Wide;
}

std::string Utf8OfWide(const wchar_t* Text, std::size_t Length) {
  return Utf8Of({reinterpret_cast<const char16_t*>(Text), Length});
}

// Calls Visit(Handle, name) for every file on a disk that this process holds open, its name
// being the last part of the path the handle leads to. Handles are small multiples of four, so
// the search stops once it has met as many as the process has; where the system does not tell
// how many (Wine), at the first 16384.
template <typename F>
void ForHeldFiles(F Visit) {
  DWORD Count = 0;
  const bool Counted = GetProcessHandleCount(GetCurrentProcess(), &Count) != 0 && Count != 0;
  const std::uintptr_t End = Counted ? std::uintptr_t{1} << 24 : std::uintptr_t{1} << 16;
  std::wstring Path(32768, L'\0');
  DWORD Met = 0;
  for (std::uintptr_t Value = 4; (!Counted || Met < Count) && Value < End; Value += 4) {
    const auto Handle = reinterpret_cast<HANDLE>(Value);
    DWORD Flags = 0;
    if (GetHandleInformation(Handle, &Flags) == 0) continue;
    ++Met;
    if (GetFileType(Handle) != FILE_TYPE_DISK) continue;
    const DWORD Length =
        GetFinalPathNameByHandleW(Handle, Path.data(), static_cast<DWORD>(Path.size()), 0);
    if (Length == 0 || Length >= Path.size()) continue;
    const std::wstring_view Whole(Path.data(), Length);
    const std::size_t Slash = Whole.find_last_of(L"\\/");
    const std::wstring_view Name =
        Slash == std::wstring_view::npos ? Whole : Whole.substr(Slash + 1);
    Visit(Handle, Utf8OfWide(Name.data(), Name.size()));
  }
}

bool HoldsJournal() {
  bool Held = false;
  ForHeldFiles([&Held](HANDLE, const std::string& Name) {
    Held = Held || varnholt_classify_name(Name.c_str()) == VARNHOLT_NAME_JOURNAL;
  });
  return Held;
}

// Marks the tool's temporaries and claims that this process holds for removal, which the system
// carries out when the process ends and lets go of them. Only its own handles have the access
// that takes: a claim of another run's that it looks at has not.
void RemoveHeldToolFiles() {
  ForHeldFiles([](HANDLE Handle, const std::string& Name) {
    if (varnholt_classify_name(Name.c_str()) != VARNHOLT_NAME_TEMPORARY) return;
    FILE_DISPOSITION_INFO Remove{TRUE};
    SetFileInformationByHandle(Handle, FileDispositionInfo, &Remove, sizeof Remove);
  });
}

// Runs on a thread of its own when Ctrl+C, Ctrl+Break or a close arrives. A commit holds its
// journal open while it puts files in place; it is let finish, a few milliseconds, so that the
// pair is replaced whole or not at all.
BOOL WINAPI RemoveToolFilesOnControl(DWORD) {
  for (int Waited = 0; Waited < 400 && HoldsJournal(); ++Waited) Sleep(5);
  RemoveHeldToolFiles();
  return FALSE;  // the default handler then ends the process
}

// Text in the code page's bytes, as programs that read a pipe or a file expect them; empty when
// it cannot be converted. A character the code page lacks becomes '?', never a look-alike: a
// fullwidth backslash or a division slash would otherwise come out as \ or /, naming another
// path. (A UTF-8 code page takes every character, and neither flag.)
std::string CodePageBytes(std::string_view Text, const std::wstring& Wide) {
  const bool Ascii = std::all_of(Text.begin(), Text.end(),
                                 [](char C) { return static_cast<unsigned char>(C) < 0x80; });
  if (Ascii) return std::string(Text);
  const bool Utf8 = GetACP() == CP_UTF8;
  const DWORD Flags = Utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* Missing = Utf8 ? nullptr : "?";
  const int Units = static_cast<int>(Wide.size());
  const int Length =
      WideCharToMultiByte(CP_ACP, Flags, Wide.data(), Units, nullptr, 0, Missing, nullptr);
  if (Length <= 0) return {};
  std::string Bytes(static_cast<std::size_t>(Length), '\0');
  if (WideCharToMultiByte(CP_ACP, Flags, Wide.data(), Units, Bytes.data(), Length, Missing,
                          nullptr) != Length) {
    return {};
  }
  return Bytes;
}

bool WriteBytes(HANDLE Output, std::string_view Bytes) {
  while (!Bytes.empty()) {
    DWORD Written = 0;
    const auto Chunk = static_cast<DWORD>(std::min<std::size_t>(Bytes.size(), DWORD{1} << 30));
    if (WriteFile(Output, Bytes.data(), Chunk, &Written, nullptr) == 0 || Written == 0) {
      return false;
    }
    Bytes.remove_prefix(Written);
  }
  return true;
}

// Writes Text (UTF-8) to Output: a console takes its characters, anything else the code page's
// bytes. Neither WriteConsoleW nor WriteFile translates line ends.
bool WriteText(HANDLE Output, std::string_view Text) {
  if (Output == nullptr || Output == INVALID_HANDLE_VALUE) return false;
  const std::wstring Wide = WideOf(Text);
  DWORD Mode = 0;
  if (GetConsoleMode(Output, &Mode) != 0) {
    for (std::size_t Done = 0; Done < Wide.size();) {
      DWORD Written = 0;
      auto Chunk = static_cast<DWORD>(std::min<std::size_t>(Wide.size() - Done, 8192));
      // A character of two units is never cut in two.
      if (Done + Chunk < Wide.size() && IS_HIGH_SURROGATE(Wide[Done + Chunk - 1])) --Chunk;
      if (WriteConsoleW(Output, Wide.data() + Done, Chunk, &Written, nullptr) == 0 ||
          Written == 0) {
        return false;
      }
      Done += Written;
    }
    return true;
  }
  const std::string Bytes = CodePageBytes(Text, Wide);
  if (Bytes.empty() && !Text.empty()) return false;
  return WriteBytes(Output, Bytes);
}

std::string ModulePath() {
  std::wstring Path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD Length = GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
    if (Length == 0) return "varnholt.exe";
    if (Length < Path.size()) return Utf8OfWide(Path.data(), Length);
    Path.resize(2 * Path.size());
  }
}

}  // namespace

void PrepareProcess() {
  SetConsoleCtrlHandler(RemoveToolFilesOnControl, TRUE);
}

void Abandon(std::string_view Text) {
  WriteStandardError(Text);
  RemoveHeldToolFiles();
  ExitProcess(1);
}

std::vector<std::string> CommandLineArguments(int, char**) {
  // The C runtime splits argv by rules of its own; the tool's rule applies to the raw text.
  const wchar_t* Line = GetCommandLineW();
  const std::vector<std::u16string> Words = SplitCommandLine(
      std::u16string_view(reinterpret_cast<const char16_t*>(Line), std::wcslen(Line)));
  std::vector<std::string> Result{ModulePath()};
  for (std::size_t K = 1; K < Words.size(); ++K) Result.push_back(Utf8Of(Words[K]));
  return Result;
}

std::string FileNameOf(std::string_view Path) {
  const std::size_t Last = Path.find_last_of("\\:");
  return std::string(Last == std::string_view::npos ? Path : Path.substr(Last + 1));
}

void WriteStandardOutput(std::string_view Text) {
  if (!WriteText(GetStdHandle(STD_OUTPUT_HANDLE), Text)) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot write to standard output");
  }
}

void WriteStandardError(std::string_view Text) {
  WriteText(GetStdHandle(STD_ERROR_HANDLE), Text);
}

}  // namespace varnholt::console
