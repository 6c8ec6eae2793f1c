#pragma once

#include <vtkFloatArray.h>
#include <vtkIntArray.h>
#include <vtkObject.h>
#include <vtkPointLocator.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>

#include <string>
#include <vector>

namespace selvane {

/**
 * @class vtkDatReader
 * @brief Reads point correspondences and orders them for the spline solver.
 *
 * Reads point correspondences (source x y z, target x y z per line),
 * merges pairs that share a source (the later line wins), puts the sources into a point
 * locator, orders them breadth-first by neighbourhood within Radius, and prepares the
 * differences source - target by position.
 *
 * Every result is a reference-counted VTK object: a transform may keep vtkSmartPointers to
 * the points, the locator, List / UnList and the B arrays after the reader is deleted.
 */
class vtkDatReader : public vtkObject {
public:
  static vtkDatReader* New();
  vtkTypeMacro(vtkDatReader, vtkObject);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  // Search structure over PointArray; ids are point ids (indices into PointArray).
  vtkGetSmartPointerMacro(Tree, vtkPointLocator);
  // Source positions by point id (first occurrence order, duplicates merged).
  vtkGetSmartPointerMacro(PointArray, vtkPoints);
  // Target positions by point id.
  vtkGetSmartPointerMacro(PointArrayN, vtkPoints);
  // Position -> point id (the neighbourhood order); n entries.
  vtkGetSmartPointerMacro(List, vtkIntArray);
  // Point id -> position (the row index of the spline system); n entries.
  vtkGetSmartPointerMacro(UnList, vtkIntArray);
  // Source minus target by position, per axis; n entries.
  vtkGetSmartPointerMacro(BX, vtkFloatArray);
  vtkGetSmartPointerMacro(BY, vtkFloatArray);
  vtkGetSmartPointerMacro(BZ, vtkFloatArray);
  vtkSetMacro(Radius, float);
  vtkGetMacro(Radius, float);
  vtkGetMacro(Max, int);

  vtkSetStringMacro(FileName);
  vtkGetStringMacro(FileName);

  // Pairs given as the text a file would hold (the selected points' transformations, made in
  // memory): read instead of FileName while set, by the same rules.
  void SetInputText(std::string text) {
    this->InputText = std::move(text);
    this->HasInputText = true;
    this->Modified();
  }

  // Number of accepted lines whose source repeated an earlier one (their target replaced the
  // earlier target), summed over the calls of ReadDatFile.
  vtkGetMacro(MergedPairs, int);
  // "" or a one-line warning about merged pairs.
  const std::string& GetWarningMessage() const { return this->WarningMessage; }
  // "" or the reason of the last failure of ReadDatFile, one line without the file name, e.g.
  // "it is a folder, not a file" or "line 3: a number is not finite".
  const std::string& GetErrorMessage() const { return this->ErrorMessage; }

  // What the last failure of ReadDatFile was.
  enum ErrorKinds {
    NoError = 0,
    CannotOpenFile,    // missing, no permission, or not a regular file (folder, device, pipe)
    UnreadableContent, // a read error, a line longer than 1 MiB, a number that is not finite
    NotEnoughMemory,
  };
  vtkGetMacro(ErrorKind, int);

  // Reads FileName and builds every result. 0 on success, -1 on failure (the file cannot be
  // opened: "Cannot open %s!\n" on standard output; or its content is refused; or memory runs
  // out). Only a regular file is read, so a pipe or a device can neither block nor flood the
  // reader. A second call adds the file's pairs to those already read; a failed call changes
  // no result.
  int ReadDatFile();

  // Breadth-first neighbourhood ordering: position -> point id for the n points. max receives
  // the largest position offset between a point and the point whose search placed it.
  // Throws SelvaneError("GetWellOderredList: Can not allocate result array!").
  static vtkSmartPointer<vtkIntArray>
  GetWellOderredList(int& max, int n, float radius, vtkPoints* points, vtkPointLocator* locator);

protected:
  vtkDatReader();
  ~vtkDatReader() override;

  vtkSmartPointer<vtkPoints> PointArray;
  vtkSmartPointer<vtkPoints> PointArrayN;
  vtkSmartPointer<vtkPolyData> PointData;
  vtkSmartPointer<vtkPointLocator> Tree;
  char* FileName = nullptr;
  std::string InputText;
  bool HasInputText = false;
  vtkSmartPointer<vtkIntArray> List;
  vtkSmartPointer<vtkIntArray> UnList;
  vtkSmartPointer<vtkFloatArray> BX;
  vtkSmartPointer<vtkFloatArray> BY;
  vtkSmartPointer<vtkFloatArray> BZ;
  float Radius = 0.1f;
  int Max = 0;
  int MergedPairs = 0;
  std::string WarningMessage;
  std::string ErrorMessage;
  int ErrorKind = NoError;

private:
  // Reads the accepted pairs of FileName into pairs (six floats each); false on failure.
  bool ReadPairs(std::vector<float>& pairs);
  bool ParsePairs(const std::string& text, std::vector<float>& pairs);
  int Fail(int kind, const std::string& message);

  vtkDatReader(const vtkDatReader&) = delete;
  void operator=(const vtkDatReader&) = delete;
};

} // namespace selvane

