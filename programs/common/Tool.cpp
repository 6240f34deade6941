#include "Tool.h"

#include <varnholt/exception.hpp>

#include <exception>
#include <new>

#include "Console.h"

namespace varnholt::console {
namespace {

int Reported(int ArgumentCount, char** Arguments,
             int (*Body)(const std::vector<std::string>& Words)) {
  try {
    return Body(CommandLineArguments(ArgumentCount, Arguments));
  } catch (const Exception& Failure) {
    WriteStandardOutput(std::string(Failure.what()) + "\n");
  } catch (const std::bad_alloc&) {
    WriteStandardOutput("Out of memory\n");
  }
  return 1;
}

}  // namespace

int RunTool(std::string_view Tool, int ArgumentCount, char** Arguments,
            int (*Body)(const std::vector<std::string>& Words)) {
  PrepareProcess();
  try {
    return Reported(ArgumentCount, Arguments, Body);
  } catch (const std::exception& Failure) {
    WriteStandardError(std::string(Tool) + ": " + Failure.what() + "\n");
    return 1;
  }
}

}  // namespace varnholt::console
