// A deformation as files others can play: one VTK XML polydata file (.vtp, raw binary data
// appended, zlib-compressed) per frame and a ParaView collection file (.pvd) listing them with the
// frame index as time. The frames sit beside the collection file, named after it: "morph.pvd" lists
// "morph_0000.vtp", "morph_0001.vtp", ...
//
// Each file is written atomically (AtomicFile.h); the collection file is written last, so it
// never lists a frame that is not there. A cancel or a failure removes the frames this series
// created and leaves the collection file as it was.
#ifndef SELVANE_MORPH_SERIES_H
#define SELVANE_MORPH_SERIES_H

#include "Result.h"

#include <vtkSmartPointer.h>

#include <functional>
#include <string>
#include <vector>

class vtkPolyData;

namespace selvane::formats {

// The polydata of frame i (0 .. frames-1), called on the calling thread in frame order; it
// may be the same object each time (a filter's output): each frame is copied before a worker
// thread writes it. nullptr stops the series as a failure, with reason set by the source.
using FrameSource = std::function<vtkSmartPointer<vtkPolyData>(int frame, std::string& reason)>;
// Called after each frame, in order, with the frames written so far; false cancels.
using SeriesProgress = std::function<bool(int done, int total)>;

struct SeriesResult {
  enum Outcome { Written, Cancelled, Failed };
  Outcome Result = Failed;
  std::string Reason;             // Failed: a sentence naming the file and the cause
  std::vector<std::string> Files; // Written: the frames, then the collection file
  bool Ok() const { return Result == Written; }
};

// "NAME_0000<extension>" for frame i of a series whose collection file is collectionPath
// (its folder and its name without extension); four digits, more when the frames need them.
std::string SeriesFrameName(const std::string& collectionPath, int frame, int frames,
                            const std::string& extension);

// The text of a collection file listing the given frame files (names relative to the
// collection file's folder), timestep = position in the list.
std::string CollectionText(const std::vector<std::string>& frameFiles);

// Writes one polydata as a compressed .vtp file (as above), atomically; a failure's reason
// names path.
Result WriteVtpFile(vtkPolyData* data, const std::string& path);

// Writes the frames of source and then the collection file collectionPath.
SeriesResult WriteMorphSeries(const std::string& collectionPath, int frames,
                              const FrameSource& source, const SeriesProgress& progress = {});

} // namespace selvane::formats

#endif
