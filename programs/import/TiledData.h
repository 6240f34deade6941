// The tiles of a Tiled layer or chunk as its file stores them: numbers separated by commas (CSV),
// or base64 of little-endian 32-bit gids, plain or compressed by zlib or gzip. Each decoder checks
// that exactly Count gids are there and decompresses no further than that.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnholt::import {

using TGids = std::vector<std::uint32_t>;

// Where names the file and layer in failures ("maps/arena.tmx, layer 'Walls'").
TGids CsvGids(std::string_view Text, std::size_t Count, const std::string& Where);
// Compression: "" (none), "zlib" or "gzip"; any other fails, Zstandard in so many words.
TGids Base64Gids(std::string_view Text, std::string_view Compression, std::size_t Count,
                 const std::string& Where);

// The text that Base64Gids(Text, "zlib", Gids.size(), ...) reads as Gids: little-endian 32-bit
// gids, compressed by zlib, in base64.
std::string ZlibBase64Text(const TGids& Gids);

}  // namespace varnholt::import
