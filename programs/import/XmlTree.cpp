// Expat calls back from C: nothing may be thrown through it, so a failure inside a callback stops
// the parser and is thrown once XML_Parse has returned.
#include "XmlTree.h"

#include <expat.h>

#include <algorithm>
#include <memory>
#include <new>

namespace varnholt::import {
namespace {

struct TBuilder {
  XML_Parser Parser = nullptr;
  TXmlElement Root;
  std::vector<TXmlElement*> Open;
  std::string Failure;
};

void Stop(TBuilder& Builder, const std::string& Failure) {
  Builder.Failure = Failure;
  XML_StopParser(Builder.Parser, XML_FALSE);
}

void OnStart(void* Data, const XML_Char* Name, const XML_Char** Attributes) {
  auto& Builder = *static_cast<TBuilder*>(Data);
  if (Builder.Open.size() >= kMaxXmlDepth) {
    return Stop(Builder, "elements nested deeper than " + std::to_string(kMaxXmlDepth));
  }
  try {
    TXmlElement* Element = &Builder.Root;
    if (!Builder.Open.empty()) Element = &Builder.Open.back()->Children.emplace_back();
    Element->Name = Name;
    Element->Line = XML_GetCurrentLineNumber(Builder.Parser);
    for (const XML_Char** Pair = Attributes; *Pair != nullptr; Pair += 2) {
      Element->Attributes.emplace_back(Pair[0], Pair[1]);
    }
    Builder.Open.push_back(Element);
  } catch (const std::bad_alloc&) {
    Stop(Builder, "Out of memory");
  }
}

void OnEnd(void* Data, const XML_Char*) {
  auto& Builder = *static_cast<TBuilder*>(Data);
  if (!Builder.Open.empty()) Builder.Open.pop_back();
}

void OnText(void* Data, const XML_Char* Text, int Length) {
  auto& Builder = *static_cast<TBuilder*>(Data);
  try {
    if (!Builder.Open.empty())
      Builder.Open.back()->Text.append(Text, static_cast<std::size_t>(Length));
  } catch (const std::bad_alloc&) {
    Stop(Builder, "Out of memory");
  }
}

struct TFreeParser {
  void operator()(XML_Parser Parser) const { XML_ParserFree(Parser); }
};

}  // namespace

TXmlElement ParseXml(const TSourceFile& Source) {
  const std::unique_ptr<XML_ParserStruct, TFreeParser> Parser(XML_ParserCreate(nullptr));
  if (!Parser) throw std::bad_alloc();
  TBuilder Builder;
  Builder.Parser = Parser.get();
  XML_SetUserData(Parser.get(), &Builder);
  XML_SetElementHandler(Parser.get(), OnStart, OnEnd);
  XML_SetCharacterDataHandler(Parser.get(), OnText);
  const auto* Bytes = reinterpret_cast<const char*>(Source.Bytes.data());
  std::size_t Left = Source.Bytes.size();
  XML_Status Status = XML_STATUS_OK;
  // XML_Parse takes an int's worth at a time.
  do {
    const std::size_t Piece = std::min<std::size_t>(Left, 1 << 30);
    Status = XML_Parse(Parser.get(), Bytes, static_cast<int>(Piece), Piece == Left);
    Bytes += Piece;
    Left -= Piece;
  } while (Status == XML_STATUS_OK && Left > 0);
  if (Status != XML_STATUS_OK) {
    const std::string Line = std::to_string(XML_GetCurrentLineNumber(Parser.get()));
    if (Builder.Failure == "Out of memory") throw std::bad_alloc();
    Fail(Source.Path + ", line " + Line, Builder.Failure.empty()
                                             ? XML_ErrorString(XML_GetErrorCode(Parser.get()))
                                             : Builder.Failure);
  }
  return std::move(Builder.Root);
}

}  // namespace varnholt::import
