// What the readers of our own (STL, PLY, OBJ, OFF) share: the file read once into memory, numbers
// parsed the same way in every locale, and the model built straight from flat arrays.
#pragma once

#include "ModelFileReader.h"

#include <vtkCellArray.h>
#include <vtkIdTypeArray.h>
#include <vtkSmartPointer.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

class vtkDataArray;
class vtkPolyData;

namespace selvane::formats {

// The whole content of a model file, in a buffer that is not cleared before the file fills it
// (a model file may be hundreds of megabytes).
class ModelFileBytes {
public:
  const char* Data() const { return this->Bytes ? this->Bytes.get() : ""; }
  std::size_t Size() const { return this->Length; }

private:
  friend Result ReadModelBytes(const std::string& path, ModelFileBytes& bytes);
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::unique_ptr<char, Free> Bytes;
  std::size_t Length = 0;
};

// The whole regular file at path (as InputFile.h reads it: never blocking, never anything but
// a regular file).
Result ReadModelBytes(const std::string& path, ModelFileBytes& bytes);

// A number in the text of a file, with '.' as decimal point whatever the locale: an optional
// sign, digits, an optional fraction and exponent, or nan and inf (which the caller refuses by
// name). The whole token must be the number.
bool ParseReal(std::string_view token, double& value);
// An integer of the whole token, with an optional sign.
bool ParseInteger(std::string_view token, std::int64_t& value);

// A token of a file for a message: in quotes, cut after 40 characters, unprintable bytes as '?'.
std::string QuoteToken(std::string_view token);

// "cut mid-record"-style figures: 999.5, 12, 0.25.
std::string DecimalFigure(double value);

// A cell array over offsets (cells + 1 values, from 0) and connectivity, taken as they are.
vtkSmartPointer<vtkCellArray> MakeCells(vtkIdTypeArray* offsets, vtkIdTypeArray* connectivity);

// `cells` cells of `size` points each, over points 0, 1, 2, ... in order; 32-bit storage when
// the IDs fit (half the memory, and as fast to walk).
vtkSmartPointer<vtkCellArray> SequentialCells(vtkIdType cells, vtkIdType size);

// Points of the model from 3-component float or double coordinates.
void SetModelPoints(vtkPolyData* model, vtkDataArray* coordinates);

// Grows a VTK array of plain values by doubling, without the checks of InsertNextValue.
template <typename ArrayT, typename ValueT> class ArrayFiller {
public:
  explicit ArrayFiller(ArrayT* array, vtkIdType reserve = 1024) : Array(array) {
    this->Grow(reserve < 16 ? 16 : reserve);
  }
  void Push(ValueT value) {
    if (this->Size == this->Capacity) {
      this->Grow(this->Capacity * 2);
    }
    this->Data[this->Size++] = value;
  }
  vtkIdType Count() const { return this->Size; }
  // Shrinks the array to what was pushed.
  void Finish() { this->Array->SetNumberOfValues(this->Size); }

private:
  void Grow(vtkIdType capacity) {
    // Keeps the values pushed so far.
    this->Array->SetNumberOfValues(capacity);
    this->Data = this->Array->GetPointer(0);
    this->Capacity = capacity;
  }
  ArrayT* Array;
  ValueT* Data = nullptr;
  vtkIdType Size = 0;
  vtkIdType Capacity = 0;
};

} // namespace selvane::formats
