// What a drop from a file manager carries: the local files of its
// text/uri-list, in the order dropped. Addresses of other machines and
// anything that is not a regular file (folders, missing files) are left out.
#pragma once

#include <string>
#include <vector>

class QMimeData;

namespace glx {

std::vector<std::string> droppedFiles(const QMimeData* mime);

// Whether a drag carries at least one such file (and may be dropped).
bool carriesFiles(const QMimeData* mime);

}  // namespace glx
