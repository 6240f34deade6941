#include "TiledXml.h"

#include <charconv>

#include "TiledData.h"
#include "XmlTree.h"

namespace varnholt::import {
namespace {

std::string WhereOf(const std::string& Path, const TXmlElement& Element) {
  return Path + ", line " + std::to_string(Element.Line);
}

void CopyText(TJson& Object, const TXmlElement& Element, std::initializer_list<const char*> Keys) {
  for (const char* Key : Keys) {
    if (const std::string* Value = Element.Attribute(Key)) Object[Key] = *Value;
  }
}

template <typename T>
T NumberOf(const std::string& Text, const char* Key, const std::string& Where) {
  T Value{};
  const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  if (Error != std::errc{} || End != Text.data() + Text.size()) {
    Fail(Where, std::string("'") + Key + "' is not a number: '" + Text.substr(0, 40) + "'");
  }
  return Value;
}

void CopyIntegers(TJson& Object, const TXmlElement& Element, const std::string& Path,
                  std::initializer_list<const char*> Keys) {
  for (const char* Key : Keys) {
    if (const std::string* Value = Element.Attribute(Key))
      Object[Key] = NumberOf<std::int64_t>(*Value, Key, WhereOf(Path, Element));
  }
}

void CopyReals(TJson& Object, const TXmlElement& Element, const std::string& Path,
               std::initializer_list<const char*> Keys) {
  for (const char* Key : Keys) {
    if (const std::string* Value = Element.Attribute(Key))
      Object[Key] = NumberOf<double>(*Value, Key, WhereOf(Path, Element));
  }
}

// A property as JSON has it: bools, integers and reals as such, anything else as text.
TJson PropertyOf(const TXmlElement& Element, const std::string& Path) {
  const std::string Type = Element.Attribute("type") ? *Element.Attribute("type") : "string";
  const std::string* Given = Element.Attribute("value");
  const std::string Value = Given != nullptr ? *Given : Element.Text;
  TJson Property = {{"name", Element.Attribute("name") ? *Element.Attribute("name") : ""},
                    {"type", Type}};
  const std::string Where = WhereOf(Path, Element);
  if (Type == "bool") {
    Property["value"] = Value == "true";
  } else if (Type == "int" || Type == "object") {
    Property["value"] = Value.empty() ? 0 : NumberOf<std::int64_t>(Value, "value", Where);
  } else if (Type == "float") {
    Property["value"] = Value.empty() ? 0.0 : NumberOf<double>(Value, "value", Where);
  } else {
    Property["value"] = Value;
  }
  return Property;
}

// The <properties> child of Element, where it has one.
void CopyProperties(TJson& Object, const TXmlElement& Element, const std::string& Path) {
  for (const TXmlElement& Child : Element.Children) {
    if (Child.Name != "properties") continue;
    TJson& Properties = Object["properties"] = TJson::array();
    for (const TXmlElement& Property : Child.Children) {
      if (Property.Name == "property") Properties.push_back(PropertyOf(Property, Path));
    }
  }
}

void CopyImage(TJson& Object, const TXmlElement& Image, const std::string& Path) {
  if (const std::string* Source = Image.Attribute("source")) Object["image"] = *Source;
  TJson Size;
  CopyIntegers(Size, Image, Path, {"width", "height"});
  if (Size.contains("width")) Object["imagewidth"] = Size["width"];
  if (Size.contains("height")) Object["imageheight"] = Size["height"];
  if (const std::string* Trans = Image.Attribute("trans"))
    Object["transparentcolor"] = Trans->starts_with("#") ? *Trans : "#" + *Trans;
}

TJson TileOf(const TXmlElement& Element, const std::string& Path) {
  TJson Tile;
  CopyIntegers(Tile, Element, Path, {"id"});
  CopyText(Tile, Element, {"type", "class"});
  CopyReals(Tile, Element, Path, {"probability"});
  for (const TXmlElement& Child : Element.Children) {
    if (Child.Name == "image") CopyImage(Tile, Child, Path);
  }
  CopyProperties(Tile, Element, Path);
  return Tile;
}

TJson TilesetOf(const TXmlElement& Element, const std::string& Path) {
  TJson Tileset;
  CopyIntegers(Tileset, Element, Path, {"firstgid"});
  CopyText(Tileset, Element, {"source", "name", "class", "objectalignment"});
  CopyIntegers(Tileset, Element, Path,
               {"tilewidth", "tileheight", "spacing", "margin", "tilecount", "columns"});
  TJson Tiles = TJson::array();
  for (const TXmlElement& Child : Element.Children) {
    if (Child.Name == "image") CopyImage(Tileset, Child, Path);
    if (Child.Name == "tile") Tiles.push_back(TileOf(Child, Path));
    if (Child.Name == "tileoffset") CopyIntegers(Tileset["tileoffset"], Child, Path, {"x", "y"});
    if (Child.Name == "grid") {
      CopyText(Tileset["grid"], Child, {"orientation"});
      CopyIntegers(Tileset["grid"], Child, Path, {"width", "height"});
    }
  }
  CopyProperties(Tileset, Element, Path);
  if (!Tiles.empty()) Tileset["tiles"] = std::move(Tiles);
  return Tileset;
}

// The tiles of a <data> or <chunk> element as its encoding has them: CSV and <tile> elements as
// an array of gids, base64 as its text without white space; an unknown encoding as given, for the
// reader to refuse.
void CopyTiles(TJson& Object, const TXmlElement& Element, const std::string& Encoding,
               std::size_t Count, const std::string& Where) {
  if (Encoding == "csv") {
    Object["data"] = CsvGids(Element.Text, Count, Where);
  } else if (Encoding.empty()) {
    TJson Gids = TJson::array();
    for (const TXmlElement& Tile : Element.Children) {
      if (Tile.Name != "tile") continue;
      const std::string* Gid = Tile.Attribute("gid");
      Gids.push_back(Gid == nullptr ? 0 : NumberOf<std::uint32_t>(*Gid, "gid", Where));
    }
    Object["data"] = std::move(Gids);
  } else {
    std::string Text;
    for (const char C : Element.Text) {
      if (C != ' ' && C != '\t' && C != '\r' && C != '\n') Text += C;
    }
    Object["data"] = std::move(Text);
  }
}

std::size_t TileCount(const TJson& Object) {
  const auto Size = [&](const char* Key) {
    const auto Found = Object.find(Key);
    return Found != Object.end() && Found->is_number_integer() && Found->get<std::int64_t>() > 0
               ? static_cast<std::size_t>(Found->get<std::int64_t>())
               : std::size_t{0};
  };
  return Size("width") * Size("height");
}

void CopyData(TJson& Layer, const TXmlElement& Data, const std::string& Path) {
  const std::string Encoding = Data.Attribute("encoding") ? *Data.Attribute("encoding") : "";
  if (!Encoding.empty()) Layer["encoding"] = Encoding;
  if (const std::string* Compression = Data.Attribute("compression"))
    Layer["compression"] = *Compression;
  const std::string Where = Path + ", layer '" + Layer.value("name", "") + "'";
  bool Chunked = false;
  for (const TXmlElement& Child : Data.Children) {
    if (Child.Name != "chunk") continue;
    TJson Chunk;
    CopyIntegers(Chunk, Child, Path, {"x", "y", "width", "height"});
    CopyTiles(Chunk, Child, Encoding, TileCount(Chunk), Where);
    Layer["chunks"].push_back(std::move(Chunk));
    Chunked = true;
  }
  if (!Chunked) CopyTiles(Layer, Data, Encoding, TileCount(Layer), Where);
  if (Encoding.empty() || Encoding == "csv") Layer["encoding"] = "csv";
}

// Groups nest no deeper than the XML itself, which the parser bounds.
TJson LayersOf(const TXmlElement& Parent, const std::string& Path);

TJson LayerOf(const TXmlElement& Element, const std::string& Path) {
  TJson Layer = {{"type", Element.Name == "layer" ? "tilelayer" : "group"}};
  CopyIntegers(Layer, Element, Path, {"id"});
  CopyText(Layer, Element, {"name", "class", "tintcolor"});
  if (Element.Name == "layer") CopyIntegers(Layer, Element, Path, {"width", "height"});
  CopyReals(Layer, Element, Path, {"opacity", "offsetx", "offsety", "parallaxx", "parallaxy"});
  if (const std::string* Visible = Element.Attribute("visible")) Layer["visible"] = *Visible != "0";
  CopyProperties(Layer, Element, Path);
  if (Element.Name == "group") Layer["layers"] = LayersOf(Element, Path);
  for (const TXmlElement& Child : Element.Children) {
    if (Element.Name == "layer" && Child.Name == "data") CopyData(Layer, Child, Path);
  }
  return Layer;
}

TJson LayersOf(const TXmlElement& Parent, const std::string& Path) {
  TJson Layers = TJson::array();
  for (const TXmlElement& Child : Parent.Children) {
    if (Child.Name == "layer" || Child.Name == "group") Layers.push_back(LayerOf(Child, Path));
  }
  return Layers;
}

TJson MapOf(const TXmlElement& Element, const std::string& Path) {
  TJson Map = {{"type", "map"}};
  CopyText(Map, Element,
           {"version", "tiledversion", "class", "orientation", "renderorder", "staggeraxis",
            "staggerindex", "backgroundcolor"});
  CopyIntegers(Map, Element, Path,
               {"width", "height", "tilewidth", "tileheight", "hexsidelength", "nextlayerid",
                "nextobjectid"});
  Map["infinite"] =
      Element.Attribute("infinite") != nullptr && *Element.Attribute("infinite") == "1";
  CopyProperties(Map, Element, Path);
  Map["tilesets"] = TJson::array();
  for (const TXmlElement& Child : Element.Children) {
    if (Child.Name == "tileset") Map["tilesets"].push_back(TilesetOf(Child, Path));
  }
  Map["layers"] = LayersOf(Element, Path);
  return Map;
}

}  // namespace

TJson TiledXmlDocument(const TSourceFile& Source) {
  const TXmlElement Root = ParseXml(Source);
  if (Root.Name == "map") return MapOf(Root, Source.Path);
  if (Root.Name == "tileset") {
    TJson Tileset = TilesetOf(Root, Source.Path);
    Tileset["type"] = "tileset";  // as a JSON tileset says what it is
    return Tileset;
  }
  Fail(Source.Path, "neither a Tiled map nor a tileset: its root is <" + Root.Name + ">");
}

}  // namespace varnholt::import
