/**
 * @class   vtkNestingLimitedXMLDataParser
 * @brief   VTK's XML data parser with a limit on how deeply elements nest.
 *
 * VTK frees an element tree recursively, one call per level: a file of a million bytes that
 * nests a few hundred thousand elements overflows the stack when the parsed tree is freed.
 * Elements deeper than MaximumDepth are left out of the tree, and a parse that met one fails;
 * TooDeep() then tells why. The VTK XML files Selvane reads nest a handful of levels.
 */
#pragma once

#include <vtkXMLDataParser.h>

class vtkNestingLimitedXMLDataParser : public vtkXMLDataParser {
public:
  static vtkNestingLimitedXMLDataParser* New();
  vtkTypeMacro(vtkNestingLimitedXMLDataParser, vtkXMLDataParser);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  ///@{
  /**
   * The deepest element kept, the root being at depth 1. Default 256.
   */
  vtkSetClampMacro(MaximumDepth, int, 1, 100000);
  vtkGetMacro(MaximumDepth, int);
  ///@}

  /**
   * Whether the last parse met an element deeper than MaximumDepth.
   */
  bool TooDeep() const { return this->DeepestSeen > this->MaximumDepth; }

  int Parse() override;

protected:
  vtkNestingLimitedXMLDataParser() = default;
  ~vtkNestingLimitedXMLDataParser() override = default;

  void StartElement(const char* name, const char** atts) override;
  void EndElement(const char* name) override;

private:
  vtkNestingLimitedXMLDataParser(const vtkNestingLimitedXMLDataParser&) = delete;
  void operator=(const vtkNestingLimitedXMLDataParser&) = delete;

  int MaximumDepth = 256;
  // Each level takes bytes of the file: no file is deep enough to overflow these.
  long long Depth = 0;
  long long DeepestSeen = 0;
};
