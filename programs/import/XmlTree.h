// An XML file as a tree of elements, read by expat: what Tiled's TMX maps and TSX tilesets hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Sources.h"

namespace varnholt::import {

struct TXmlElement {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Attributes;
  std::string Text;  // the character data directly within it
  std::vector<TXmlElement> Children;
  std::uint64_t Line = 0;

  const std::string* Attribute(std::string_view Key) const {
    for (const auto& [Name_, Value] : Attributes) {
      if (Name_ == Key) return &Value;
    }
    return nullptr;
  }
};

// Elements nested deeper than this are refused, so that no file can exhaust the stack of the
// functions that walk the tree.
inline constexpr std::size_t kMaxXmlDepth = 64;

// The root element; fails with expat's words and the line ("maps/arena.tmx, line 12: not
// well-formed (invalid token)"). Expat reads no external entity and bounds the growth of internal
// ones.
TXmlElement ParseXml(const TSourceFile& Source);

}  // namespace varnholt::import
