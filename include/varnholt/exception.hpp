// The one failure type of Varnholt, for C++: a one-line message for the user, in the words of
// the varnholt program ("Error opening file: PATH", "Out of memory", ...), and what kind of failure
// it is, as varnholt_last_status() names it.
#ifndef VARNHOLT_EXCEPTION_HPP
#define VARNHOLT_EXCEPTION_HPP

#include <varnholt/varnholt.h>

#include <stdexcept>
#include <string>

namespace varnholt {

class Exception : public std::runtime_error {
 public:
  Exception(varnholt_status Status, const std::string& Message)
      : std::runtime_error(Message), Kind(Status) {}
  varnholt_status Status() const noexcept { return Kind; }

 private:
  varnholt_status Kind;
};

}  // namespace varnholt

#endif  // VARNHOLT_EXCEPTION_HPP
