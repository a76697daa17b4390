// `velmora --export FILE [FOLDER...]` and `velmora --import FILE --export
// FILE2`: a scan file written without a window, Qt or a display. Messages
// go to standard error, one line each.
#pragma once

#include <string>
#include <vector>

#include "app/ExcludePatterns.h"
#include "app/ScanFileSystem.h"

namespace Velmora::ScanFile {

// Returns the exit code: 0, or 1 when the input cannot be read or the
// output written. With no roots the machine's local disks are walked.
int RunExportCommand(const std::string& output, const std::string& input, const std::vector<std::string>& roots,
                     IScanFileSystem& fileSystem, const CExcludePatterns& exclude = {});

} // namespace Velmora::ScanFile
