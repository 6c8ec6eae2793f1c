#include "vtkNestingLimitedXMLDataParser.h"

#include <vtkObjectFactory.h>

#include <algorithm>

vtkStandardNewMacro(vtkNestingLimitedXMLDataParser);

void vtkNestingLimitedXMLDataParser::PrintSelf(ostream& os, vtkIndent indent) {
  this->Superclass::PrintSelf(os, indent);
  os << indent << "MaximumDepth: " << this->MaximumDepth << "\n";
  os << indent << "TooDeep: " << (this->TooDeep() ? "yes" : "no") << "\n";
}

int vtkNestingLimitedXMLDataParser::Parse() {
  this->Depth = this->DeepestSeen = 0;
  const int parsed = this->Superclass::Parse();
  return this->TooDeep() ? 0 : parsed;
}

void vtkNestingLimitedXMLDataParser::StartElement(const char* name, const char** atts) {
  ++this->Depth;
  this->DeepestSeen = std::max(this->DeepestSeen, this->Depth);
  if (this->Depth <= this->MaximumDepth) {
    this->Superclass::StartElement(name, atts);
  }
}

void vtkNestingLimitedXMLDataParser::EndElement(const char* name) {
  // Every element kept is closed, so that the tree is whole and the root found.
  if (this->Depth <= this->MaximumDepth) {
    this->Superclass::EndElement(name);
  }
  --this->Depth;
}
