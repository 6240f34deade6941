// Tiled's JSON form, read by nlohmann-json: the documents of maps and tilesets (TMX and TSX files
// are read into the same form), and their fields read with the failure a map maker can act on.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "Sources.h"

namespace varnholt::import {

// Keeps the order of a map's fields as the file has it, so that an exported map reads as its
// source.
using TJson = nlohmann::ordered_json;

// Fails with the parser's own words: "maps/arena.tmj: parse error at line 3, column 5: ...".
TJson ParseJson(const TSourceFile& Source);

// A map's or a tileset's document, JSON or XML as its first bytes say.
TJson TiledDocument(const TSourceFile& Source);

// Fields of Object, failing "WHERE: 'Key' ..." where one is missing or of another kind; Default,
// where given, stands for a missing field.
std::int64_t Integer(const TJson& Object, const char* Key, const std::string& Where,
                     std::int64_t Low, std::int64_t High);
std::int64_t Integer(const TJson& Object, const char* Key, const std::string& Where,
                     std::int64_t Low, std::int64_t High, std::int64_t Default);
std::string Text(const TJson& Object, const char* Key, const std::string& Where,
                 const std::string& Default);
// An array field, or an empty array where it is missing.
const TJson& Array(const TJson& Object, const char* Key, const std::string& Where);

}  // namespace varnholt::import
