// What the files of the C interface share: the map behind varnholt_map, the one place where every
// failure is caught and becomes a return value, the text of varnholt_error() and the status of
// varnholt_last_status() on the calling thread, and the checks of arguments. The shared library's
// build defines VARNHOLT_BUILDING, so that it exports the C functions and nothing else.
#pragma once

#include <varnholt/varnholt.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "map/AnalysedMap.h"

struct varnholt_map {
  varnholt::TAnalysedMap Map;
};

namespace varnholt::c {

void Remember(varnholt_status Status, const char* Text);

// Runs Action; on a failure keeps its message and status for the caller and returns Failed.
template <typename F, typename R>
R Guarded(F Action, R Failed) {
  try {
    return Action();
  } catch (const Exception& Failure) {
    Remember(Failure.Status(), Failure.what());
  } catch (const std::bad_alloc&) {
    Remember(VARNHOLT_ERROR_MEMORY, "Out of memory");
  } catch (const std::length_error&) {
    Remember(VARNHOLT_ERROR_MEMORY, "Out of memory");  // more than a container can ever hold
  } catch (const std::exception& Failure) {
    Remember(VARNHOLT_ERROR_INTERNAL, Failure.what());
  }
  return Failed;
}

[[noreturn]] void FailArgument(const std::string& Text);

// A pointer the call cannot do without.
template <typename T>
T* Needed(T* Pointer, const char* Name) {
  if (Pointer == nullptr) FailArgument(std::string("Missing argument: ") + Name);
  return Pointer;
}
// A path: none cannot be opened.
const char* NeededPath(const char* Path);
// varnholt_file, where Level0Allowed the level-0 map too.
varnholt_file FileKind(int File, bool Level0Allowed);
// A text with its terminating zero where it fits; returns its length.
std::int64_t Written(const std::string& Text, char* Buffer, std::int64_t Capacity);
// Cells as row, column pairs, as many as Capacity allows; returns how many there are.
std::int64_t Copied(const std::vector<TCell>& Path, std::int32_t* Cells, std::int64_t Capacity);
// A new varnholt_map holding Map.
varnholt_map* Held(TAnalysedMap Map);

}  // namespace varnholt::c
