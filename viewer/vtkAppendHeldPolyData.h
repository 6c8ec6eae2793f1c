#pragma once

#include <vtkPolyDataAlgorithm.h>
#include <vtkSmartPointer.h>

#include <unordered_map>
#include <vector>

class vtkAppendPolyData;

// Appends polydata that it holds itself, rather than takes as pipeline inputs. A selection may
// hold 100,000 markers or cells; as inputs of vtkAppendPolyData each would get its own
// producer and executive, and every change would walk them all. Here adding is O(1) and
// removing a held polydata is O(1) amortised; the output is the held polydata appended in the
// order they were added.
class vtkAppendHeldPolyData : public vtkPolyDataAlgorithm {
public:
  static vtkAppendHeldPolyData* New();
  vtkTypeMacro(vtkAppendHeldPolyData, vtkPolyDataAlgorithm);
  void PrintSelf(ostream& os, vtkIndent indent) override;

  // Holds `data` once more; the same polydata may be held more than once.
  void AddPolyData(vtkPolyData* data);
  // Lets go of the most recently added hold of `data`; nothing when it is not held.
  void RemovePolyData(vtkPolyData* data);
  void RemoveAllPolyData();
  vtkIdType GetNumberOfPolyData() const { return Live; }
  // The held polydata in output order.
  std::vector<vtkPolyData*> GetHeldPolyData() const;

  // Changes to a held polydata change the output too.
  vtkMTimeType GetMTime() override;

protected:
  vtkAppendHeldPolyData();
  ~vtkAppendHeldPolyData() override;

  int RequestData(vtkInformation*, vtkInformationVector**, vtkInformationVector*) override;

private:
  vtkAppendHeldPolyData(const vtkAppendHeldPolyData&) = delete;
  void operator=(const vtkAppendHeldPolyData&) = delete;

  void Compact();

  // Added order; a removed hold leaves an empty slot until the next compaction.
  std::vector<vtkSmartPointer<vtkPolyData>> Slots;
  // Where each held polydata sits, latest hold last.
  std::unordered_map<vtkPolyData*, std::vector<size_t>> Where;
  vtkIdType Live = 0;
  vtkSmartPointer<vtkAppendPolyData> Appender;
};
