// Safe opening of VTK XML PolyData files (.vtp) for Open Model.
//
// The file is opened once (InputFile.h: only a regular file, never blocking) and held in memory
// where it is looked at (VtpFileView.h): VtpStructureCheck.h checks its structure before VTK's
// reader interprets any of it (on the tree of VTK's own parse, as soon as it is built, so that a
// file is parsed once), and VTK's vtkXMLPolyDataReader reads it through the view, never the file
// by name: every byte the check looked at as the check saw it, raw array values from the file. The
// read runs with every error and warning VTK reports captured and with its exceptions caught, and
// its output is validated as a legacy file's is (ModelOutputChecks.h): the counts the file
// declares, finite coordinates in float range, every cell's point IDs in range, attribute arrays of
// the right length, finite cell scalars. Raw values are checked one by one as VTK reads them
// (VtpValueWatch.h); only where that did not cover them all are they checked on the output. Cell
// scalars (the file's active CellData scalars) come
// with the model.
#pragma once

#include "ModelFileReader.h"

#include <cstdint>
#include <string>

class vtkPolyData;

namespace selvane {

// Reads the .vtp file at `path` into `output`. On failure `output` is left as it was and the
// result names the reason in one line without the path.
Result ReadVtpModel(const std::string& path, vtkPolyData* output);

// The same, looking for the file's XML and closing tags `firstBytes` at a time (tests and fuzzing
// use a few, so that small files are read in part too).
Result ReadVtpModel(const std::string& path, vtkPolyData* output, std::uint64_t firstBytes);

// What ReadVtpModel tries first: the structure checked on VTK's own parse of the file. It opens
// the same model and refuses whatever ReadVtpModel refuses, not always for the same reason:
// ReadVtpModel then checks the file again on a parse of its own to tell the reason.
Result ReadVtpModelInOneParse(const std::string& path, vtkPolyData* output,
                              std::uint64_t firstBytes);

} // namespace selvane
