#pragma once

#include "WindowingLayer.h"

#include <QStringList>

#include <memory>

class QFileDialog;
class QWidget;

namespace selvane {

// Qt name filters for a prompt's filter pairs. Patterns are offered in both cases so that
// "*.VTK" also matches "model.vtk" on a case-sensitive file system; "*.*" means every file.
QStringList NameFilters(const std::vector<FileFilter>& filters);

// A file dialog set up as the request asks: mode, title, filters, initial name, and the
// effects of the must-exist and overwrite-prompt flags.
std::unique_ptr<QFileDialog> MakeFileDialog(const FilePromptRequest& request, QWidget* parent);

} // namespace selvane
