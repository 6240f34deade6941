#include "TiledJson.h"

#include "TiledXml.h"

namespace varnholt::import {
namespace {

const TJson kEmptyArray = TJson::array();

bool IsXml(const TBytes& Bytes) {
  for (const std::uint8_t Byte : Bytes) {
    if (Byte == '<') return true;
    if (Byte != ' ' && Byte != '\t' && Byte != '\r' && Byte != '\n' && Byte != 0xEF &&
        Byte != 0xBB && Byte != 0xBF) {
      return false;
    }
  }
  return false;
}

const TJson* Field(const TJson& Object, const char* Key, const std::string& Where) {
  if (!Object.is_object()) Fail(Where, "not a JSON object");
  const auto Found = Object.find(Key);
  return Found == Object.end() ? nullptr : &*Found;
}

std::int64_t IntegerOf(const TJson& Value, const char* Key, const std::string& Where,
                       std::int64_t Low, std::int64_t High) {
  std::int64_t Number = 0;
  if (Value.is_number_unsigned()) {
    const auto Unsigned = Value.get<std::uint64_t>();
    Number = Unsigned > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX
                                                              : static_cast<std::int64_t>(Unsigned);
  } else if (Value.is_number_integer()) {
    Number = Value.get<std::int64_t>();
  } else {
    Fail(Where, std::string("'") + Key + "' is not a whole number");
  }
  if (Number < Low || Number > High) {
    Fail(Where, std::string("'") + Key + "' is " + std::to_string(Number) + ", not from " +
                    std::to_string(Low) + " to " + std::to_string(High));
  }
  return Number;
}

}  // namespace

TJson ParseJson(const TSourceFile& Source) {
  try {
    return TJson::parse(Source.Bytes.begin(), Source.Bytes.end());
  } catch (const TJson::exception& Failure) {
    // "[json.exception.parse_error.101] parse error at line 1, ...": the words after the tag.
    const std::string Words = Failure.what();
    const std::size_t Tag = Words.find("] ");
    Fail(Source.Path, Tag == std::string::npos ? Words : Words.substr(Tag + 2));
  }
}

TJson TiledDocument(const TSourceFile& Source) {
  return IsXml(Source.Bytes) ? TiledXmlDocument(Source) : ParseJson(Source);
}

std::int64_t Integer(const TJson& Object, const char* Key, const std::string& Where,
                     std::int64_t Low, std::int64_t High) {
  const TJson* Value = Field(Object, Key, Where);
  if (Value == nullptr) Fail(Where, std::string("'") + Key + "' is missing");
  return IntegerOf(*Value, Key, Where, Low, High);
}

std::int64_t Integer(const TJson& Object, const char* Key, const std::string& Where,
                     std::int64_t Low, std::int64_t High, std::int64_t Default) {
  const TJson* Value = Field(Object, Key, Where);
  return Value == nullptr ? Default : IntegerOf(*Value, Key, Where, Low, High);
}

std::string Text(const TJson& Object, const char* Key, const std::string& Where,
                 const std::string& Default) {
  const TJson* Value = Field(Object, Key, Where);
  if (Value == nullptr) return Default;
  if (!Value->is_string()) Fail(Where, std::string("'") + Key + "' is not text");
  return Value->get<std::string>();
}

const TJson& Array(const TJson& Object, const char* Key, const std::string& Where) {
  const TJson* Value = Field(Object, Key, Where);
  if (Value == nullptr) return kEmptyArray;
  if (!Value->is_array()) Fail(Where, std::string("'") + Key + "' is not an array");
  return *Value;
}

}  // namespace varnholt::import
