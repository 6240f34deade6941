// What the importer reads: a source file's bytes with the path it is named by in messages, other
// files beside it (Tiled's external tilesets), and the one way its failures are worded.
#pragma once

#include <varnholt/varnholt.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace varnholt::import {

using TBytes = std::vector<std::uint8_t>;

struct TSourceFile {
  std::string Path;  // as given, UTF-8: messages name the file by it
  TBytes Bytes;
};

// Reads a whole file by its path; fails with "Error opening file: PATH" or "Error reading file:
// PATH". The tests and the fuzz target give files of their own.
using TReadFile = std::function<TBytes(const std::string& Path)>;
TBytes ReadWholeFile(const std::string& Path);

// The path of a file named Name, relative to the folder of the file at Path (or absolute).
std::string PathBeside(const std::string& Path, const std::string& Name);

// Whether the two paths name one existing file, through links or not.
bool SameFile(const std::string& A, const std::string& B);

std::filesystem::path PathOf(const std::string& Utf8);
std::string Utf8Of(const std::filesystem::path& Path);

// A failure of a source in the importer's words: "WHERE: WHAT", WHERE the file and, where it
// applies, the line, layer or byte at fault ("maps/arena.tmj, layer 'Walls'").
[[noreturn]] void Fail(const std::string& Where, const std::string& What,
                       varnholt_status Status = VARNHOLT_ERROR_READ);

}  // namespace varnholt::import
