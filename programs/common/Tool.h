// The frame of a tool's main that the inspector and the importer share. (The converter reports
// through the C interface, with lines of its own.)
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnholt::console {

// Sets the process up and runs Body on the command line's words. A failure of the library's kind,
// or running out of memory, ends the run with its one line on standard output and exit code 1; a
// failure of standard output itself, which cannot carry that line, goes to standard error after
// Tool's name.
int RunTool(std::string_view Tool, int ArgumentCount, char** Arguments,
            int (*Body)(const std::vector<std::string>& Words));

}  // namespace varnholt::console
