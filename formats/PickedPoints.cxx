#include "PickedPoints.h"

#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <memory>

namespace selvane::formats {

namespace {

struct FreeContext {
  void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};
struct FreeDocument {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct FreeString {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlText = std::unique_ptr<xmlChar, FreeString>;

LandmarkFile Refused(std::string why) {
  LandmarkFile refused;
  refused.Refusal = std::move(why);
  return refused;
}

bool Named(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// The library's first error (later ones follow from it), kept through the parser context's
// private pointer.
struct FirstXmlError {
  bool Seen = false;
  int Line = 0;
  std::string Message;
};

void KeepFirstError(void* data, xmlErrorPtr error) {
  const auto* context = static_cast<xmlParserCtxt*>(data);
  auto* first = context ? static_cast<FirstXmlError*>(context->_private) : nullptr;
  if (!first || first->Seen || !error)
    return;
  first->Seen = true;
  first->Line = error->line;
  first->Message = error->message ? error->message : "";
  while (!first->Message.empty() && (first->Message.back() == '\n' || first->Message.back() == ' '))
    first->Message.pop_back();
}

std::string DescribeXmlError(const FirstXmlError& first) {
  if (!first.Seen)
    return "not an XML document";
  return "line " + std::to_string(first.Line) + ": not an XML document: " + first.Message;
}

// "" or why the point cannot be taken.
std::string ReadPoint(xmlNode* node, Landmark& landmark) {
  static const char* const Axes[] = {"x", "y", "z"};
  for (int k = 0; k < 3; ++k) {
    const XmlText value(xmlGetProp(node, BAD_CAST Axes[k]));
    if (!value)
      return std::string("it has no ") + Axes[k] + " attribute";
    const std::string_view text(reinterpret_cast<const char*>(value.get()));
    const NumberProblem problem = ReadNumber(text, landmark.Position[k]);
    if (problem != NumberProblem::None)
      return DescribeNumberProblem(text, std::string("in ") + Axes[k], problem);
  }
  if (const XmlText name{xmlGetProp(node, BAD_CAST "name")})
    landmark.Label = reinterpret_cast<const char*>(name.get());
  if (const XmlText active{xmlGetProp(node, BAD_CAST "active")}) {
    const std::string_view flag = TrimBlanks(reinterpret_cast<const char*>(active.get()));
    landmark.Active = !(flag == "0" || flag == "false");
  }
  return std::string();
}

// text with the characters that cannot stand as they are in an attribute value escaped.
void AppendAttribute(std::string& out, const char* name, std::string_view text) {
  out += ' ';
  out += name;
  out += "=\"";
  for (char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\t':
      out += "&#9;";
      break;
    case '\n':
      out += "&#10;";
      break;
    case '\r':
      out += "&#13;";
      break;
    default:
      // Other control characters cannot appear in XML at all.
      out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    }
  }
  out += '"';
}

void AppendNumberAttribute(std::string& out, const char* name, double value) {
  std::string number;
  AppendShortest(number, value);
  AppendAttribute(out, name, number);
}

} // namespace

LandmarkFile ParsePickedPoints(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX))
    return Refused("the file is too large for an XML document");
  xmlInitParser();
  const std::unique_ptr<xmlParserCtxt, FreeContext> context(xmlNewParserCtxt());
  if (!context)
    return Refused("not enough memory to read the XML document");
  FirstXmlError firstError;
  context->_private = &firstError;
  context->sax->serror = &KeepFirstError;
  // No network, no external DTD or entities (not asked for), errors kept for the message
  // (the context's own handler) instead of printed, line numbers beyond 65535 kept.
  const int options =
      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;
  const std::unique_ptr<xmlDoc, FreeDocument> document(xmlCtxtReadMemory(
      context.get(), text.data(), static_cast<int>(text.size()), nullptr, nullptr, options));
  if (!document || !context->wellFormed)
    return Refused(DescribeXmlError(firstError));
  // Picked points files declare no entities; one that does is refused rather than expanded.
  const xmlDtd* internal = document->intSubset;
  if (internal && internal->entities &&
      xmlHashSize(static_cast<xmlHashTablePtr>(internal->entities)) > 0)
    return Refused("the document declares entities, which picked points files never do");
  xmlNode* root = xmlDocGetRootElement(document.get());
  if (!root || !Named(root, "PickedPoints"))
    return Refused(std::string("the document is <") +
                   (root ? reinterpret_cast<const char*>(root->name) : "") +
                   ">, not <PickedPoints>");
  LandmarkFile result;
  for (xmlNode* node = root->children; node; node = node->next) {
    if (!Named(node, "point"))
      continue;
    Landmark landmark;
    landmark.Where = "line " + std::to_string(xmlGetLineNo(node));
    const std::string problem = ReadPoint(node, landmark);
    if (!problem.empty()) {
      result.Skipped.push_back({landmark.Where, problem});
      continue;
    }
    result.Landmarks.push_back(std::move(landmark));
  }
  return result;
}

std::string FormatPickedPoints(const std::vector<Landmark>& landmarks,
                               const std::string& modelName) {
  std::string out = "<!DOCTYPE PickedPoints>\n<PickedPoints>\n <DocumentData>\n  <DataFileName";
  AppendAttribute(out, "name", modelName);
  out += "/>\n  <templateName name=\"\"/>\n </DocumentData>\n";
  for (const Landmark& landmark : landmarks) {
    out += " <point";
    AppendNumberAttribute(out, "x", landmark.Position[0]);
    AppendNumberAttribute(out, "y", landmark.Position[1]);
    AppendNumberAttribute(out, "z", landmark.Position[2]);
    AppendAttribute(out, "active", landmark.Active ? "1" : "0");
    AppendAttribute(out, "name", landmark.Label);
    out += "/>\n";
  }
  out += "</PickedPoints>\n";
  return out;
}

} // namespace selvane::formats
