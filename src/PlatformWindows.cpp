// Windows: the raw command line, file handles, MoveFileEx and console control events. Paths and
// the command line are taken in the ANSI code page, byte for byte, so that the lead-byte rule
// of double-byte code pages applies to them as it is written.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "Platform.h"

namespace varnholt {
namespace {

constexpr DWORD kMaxTransfer = DWORD{1} << 30;

// Held while interruptions are held, and taken for good by the control handler, which runs on
// a thread of its own: a step such as putting both maps in place completes before the handler
// removes the temporaries, and the table of temporaries is never read while it is changed.
struct TInterruptionLock {
  TInterruptionLock() { InitializeCriticalSection(&Section); }
  CRITICAL_SECTION Section;
};
TInterruptionLock InterruptionLock;

HANDLE AsHandle(TFileHandle Handle) {
  return reinterpret_cast<HANDLE>(Handle);
}
TFileHandle FromHandle(HANDLE Handle) {
  return reinterpret_cast<TFileHandle>(Handle);
}

// Runs on a thread of its own when Ctrl+C, Ctrl+Break or a close arrives; the temporaries are
// opened with delete sharing so that they can be removed while still open.
BOOL WINAPI RemovePendingFilesOnControl(DWORD) {
  EnterCriticalSection(&InterruptionLock.Section);  // never left: the process ends
  for (const TPendingFile& File : platform::PendingFiles()) {
    if (File.Active != 0) DeleteFileA(File.Path);
  }
  return FALSE;  // the default handler then ends the process
}

// Whether the file at Path, if there is one, can be replaced now: not read-only, and not held
// open by a program that forbids its deletion (a game that has the map loaded, say). Checked
// for both maps before either is put in place, so that the second rename does not fail after
// the first has succeeded.
bool CanReplace(const std::string& Path) {
  const DWORD Attributes = GetFileAttributesA(Path.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((Attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  const HANDLE Existing =
      CreateFileA(Path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Existing == INVALID_HANDLE_VALUE) return false;
  CloseHandle(Existing);
  return true;
}

bool IsAnsiLeadByte(unsigned char Byte) {
  return IsDBCSLeadByteEx(CP_ACP, Byte) != 0;
}

bool IsDirectory(const std::string& Path) {
  const DWORD Attributes = GetFileAttributesA(Path.c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string ModulePath() {
  std::string Path(MAX_PATH, '\0');
  for (;;) {
    const DWORD Length = GetModuleFileNameA(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
    if (Length == 0) return "varnholt.exe";
    if (Length < Path.size()) {
      Path.resize(Length);
      return Path;
    }
    Path.resize(2 * Path.size());
  }
}

}  // namespace

void PrepareProcess() {
  SetConsoleCtrlHandler(RemovePendingFilesOnControl, TRUE);
}

TInterruptionsHeld::TInterruptionsHeld() {
  EnterCriticalSection(&InterruptionLock.Section);
}
TInterruptionsHeld::~TInterruptionsHeld() {
  LeaveCriticalSection(&InterruptionLock.Section);
}

std::vector<std::string> CommandLineArguments(int, char**) {
  // The C runtime splits argv by rules of its own; the tool's rule applies to the raw text.
  const std::vector<std::string> Words = SplitCommandLine(GetCommandLineA());
  std::vector<std::string> Result{ModulePath()};
  if (!Words.empty()) Result.insert(Result.end(), Words.begin() + 1, Words.end());
  return Result;
}

TPathRules PathRules() {
  return TPathRules("\\:", IsAnsiLeadByte);
}

void WriteStandardOutput(std::string_view Text) {
  // WriteFile passes the bytes through untranslated: each line ends in exactly CR LF.
  const std::span Bytes(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size());
  const HANDLE Output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (Output == nullptr || Output == INVALID_HANDLE_VALUE ||
      !platform::WriteAll(FromHandle(Output), Bytes)) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot write to standard output");
  }
}

TInputFile::TInputFile(const std::string& Path) {
  // No sharing: nobody may change the map while it is read. A directory does not open.
  const HANDLE Opened = CreateFileA(Path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (Opened == INVALID_HANDLE_VALUE) throw Exception("Error opening file: " + Path);
  if (GetFileType(Opened) != FILE_TYPE_DISK) {
    CloseHandle(Opened);
    throw Exception("Error opening file: " + Path);
  }
  Handle = FromHandle(Opened);
  LARGE_INTEGER Size{};
  GetFileSizeEx(Opened, &Size);
  Buffer.resize(
      std::clamp<std::size_t>(static_cast<std::size_t>(Size.QuadPart), 1, platform::kBufferBytes));
}

TInputFile::~TInputFile() {
  CloseHandle(AsHandle(Handle));
}

TOutputFile::TOutputFile(std::string TargetPath) : Path(std::move(TargetPath)) {
  if (IsDirectory(Path)) throw Exception("Error opening file: " + Path);
  // Held, so that an interruption never falls between creating the file and registering it.
  const TInterruptionsHeld Held;
  for (int Attempt = 0; Attempt < 100 && Handle == -1; ++Attempt) {
    TemporaryPath = platform::TemporaryPathFor(Path, Attempt);
    const HANDLE Created = CreateFileA(TemporaryPath.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Created != INVALID_HANDLE_VALUE) Handle = FromHandle(Created);
    if (Created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (Handle == -1) throw Exception("Error opening file: " + Path);
  Pending = platform::RegisterPendingFile(TemporaryPath);
}

TOutputFile::~TOutputFile() {
  const TInterruptionsHeld Held;
  if (Handle != -1) CloseHandle(AsHandle(Handle));
  if (!Committed) DeleteFileA(TemporaryPath.c_str());
  platform::ReleasePendingFile(Pending);
}

void TOutputFile::Finish() {
  const bool Written = !Failed && FlushFileBuffers(AsHandle(Handle)) != 0;
  const bool Closed = CloseHandle(AsHandle(Handle)) != 0;
  Handle = -1;
  if (!Written || !Closed || !CanReplace(Path)) throw Exception("Error writing file");
}

void TOutputFile::Commit() {
  const TInterruptionsHeld Held;
  if (MoveFileExA(TemporaryPath.c_str(), Path.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    throw Exception("Error writing file");
  }
  Committed = true;
  platform::ReleasePendingFile(Pending);
}

namespace platform {

std::size_t ReadSome(TFileHandle Handle, std::span<std::uint8_t> Buffer) {
  DWORD Count = 0;
  const auto Wanted = static_cast<DWORD>(std::min<std::size_t>(Buffer.size(), kMaxTransfer));
  if (ReadFile(AsHandle(Handle), Buffer.data(), Wanted, &Count, nullptr) == 0) return 0;
  return Count;
}

bool WriteAll(TFileHandle Handle, std::span<const std::uint8_t> Bytes) {
  while (!Bytes.empty()) {
    DWORD Written = 0;
    const auto Chunk = static_cast<DWORD>(std::min<std::size_t>(Bytes.size(), kMaxTransfer));
    if (WriteFile(AsHandle(Handle), Bytes.data(), Chunk, &Written, nullptr) == 0 || Written == 0) {
      return false;
    }
    Bytes = Bytes.subspan(Written);
  }
  return true;
}

void* AllocateZeroed(std::size_t Bytes) {
  return std::calloc(Bytes, 1);
}

unsigned long ProcessId() {
  return GetCurrentProcessId();
}

}  // namespace platform
}  // namespace varnholt
