// What the programs need of the system beyond the library: their command line, standard output
// and error, and interruptions. The library keeps no record of the files it writes; a program
// that is interrupted (a signal; on Windows Ctrl+C, Ctrl+Break or closing the console) finds the
// tool's files among those it holds open, by the names varnholt_name_kind knows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnholt::console {

// Sets the process up: a failed write is reported rather than ending the process by a signal (a
// closed pipe on standard output, a file-size limit while writing a map), and every signal that
// ends a process and can be caught removes the tool's files this process holds before the
// process ends by it. A signal the caller chose to ignore (nohup, a background job) stays
// ignored.
void PrepareProcess();

// Ends the process at once where the run cannot go on and cannot be told so (its console is
// gone): Text on standard error, the tool's files this process holds removed, exit code 1.
[[noreturn]] void Abandon(std::string_view Text);

// Argument 0 is the executable's full path as the system reports it, then the arguments given,
// in UTF-8. On Windows the raw command line is split by the tool's own rule, SplitCommandLine.
std::vector<std::string> CommandLineArguments(int ArgumentCount, char** Arguments);

// The file-name part of a path by the platform's separators ('/', or '\' and ':' on Windows).
std::string FileNameOf(std::string_view Path);

// Writes all of Text (UTF-8) to standard output, waiting while it is full; throws
// std::system_error if it cannot. On Windows a console gets the characters as they are, a file
// or pipe the code page's bytes, '?' for a character the code page lacks.
void WriteStandardOutput(std::string_view Text);
// The same on standard error; a failure there is not reported.
void WriteStandardError(std::string_view Text);

// Splits a command line given as one text: every character from 1 to 32 separates arguments; a
// double quote opens a stretch, up to the next double quote or the end, in which they do not;
// the quotes themselves are dropped; there is no escape character; an argument made only of
// empty quotes does not count. The first argument is the program as it was typed.
std::vector<std::string> SplitCommandLine(std::string_view CommandLine);
std::vector<std::u16string> SplitCommandLine(std::u16string_view CommandLine);

// Windows names are UTF-16 and may hold lone surrogates; the library takes them in UTF-8, a lone
// surrogate encoded as any other code point (WTF-8), so that every name goes there and back
// unchanged.
std::string Utf8Of(std::u16string_view Text);

}  // namespace varnholt::console
