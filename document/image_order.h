// Reordering the document's images by drag and drop, kept apart from the
// list view so that the move can be checked without a window.
#pragma once

#include <string>
#include <vector>

namespace glx {

// Moves entry `from` of both parallel lists to index `to`, shifting the
// entries in between by one, as a run of neighbouring exchanges applied to
// both lists alike. Returns false (and changes nothing) when from == to or
// either index is outside the lists.
bool moveImage(std::vector<std::string>& names, std::vector<std::string>& paths, int from, int to);

}  // namespace glx
