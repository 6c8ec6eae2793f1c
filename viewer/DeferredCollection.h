#pragma once

#include <vtkGarbageCollector.h>

namespace selvane {

// Holds VTK's garbage collection back while many pipeline connections change at once. Each
// released reference to a connected data object otherwise walks the whole pipeline, which
// makes selecting or clearing many entries quadratic; the walk runs once at the end instead.
class DeferredCollection {
public:
  DeferredCollection() { vtkGarbageCollector::DeferredCollectionPush(); }
  ~DeferredCollection() { vtkGarbageCollector::DeferredCollectionPop(); }
  DeferredCollection(const DeferredCollection&) = delete;
  DeferredCollection& operator=(const DeferredCollection&) = delete;
};

} // namespace selvane
