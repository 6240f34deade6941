// The one failure type of Varnholt, for C++: a one-line message for the user, in the words of
// the varnholt program ("Error opening file: PATH", "Out of memory", ...).
#ifndef VARNHOLT_EXCEPTION_HPP
#define VARNHOLT_EXCEPTION_HPP

#include <stdexcept>

namespace varnholt {

class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace varnholt

#endif  // VARNHOLT_EXCEPTION_HPP
