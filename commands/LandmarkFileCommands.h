// File > Import > Landmarks and File > Export > Landmarks: the selected points with their targets
// as the landmark files of other tools (a CSV table, Slicer's .fcsv and .mrk.json, MeshLab's
// .pp), the format chosen by the file's extension.
//
// A table with target columns carries sources and targets in one file. The other formats hold
// one set of points each: the import then asks for a second file of targets (paired with the
// sources by label, then by order; cancel: every source is its own target) and the export for a
// second file to write the targets to (cancel: the sources alone).
#ifndef SELVANE_LANDMARK_FILE_COMMANDS_H
#define SELVANE_LANDMARK_FILE_COMMANDS_H

namespace selvane {

class MainDialog;

// Replaces the selected points by the model points at the landmarks' positions, each with its
// target, as one change. A file that holds landmarks of which none can be used changes nothing
// and says why; a file that holds none empties the list.
void OnImportLandmarks(MainDialog& dialog);
// Writes the active selected points (label: the point ID; position: the model's point) with
// their targets; withdrawn points are left out.
void OnExportLandmarks(MainDialog& dialog);

} // namespace selvane

#endif
