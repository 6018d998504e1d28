// Small rules of the start-up sequence, free of any window.
#pragma once

#include <string>
#include <vector>

namespace glx {

// The project named on the command line: all arguments joined with single
// blanks, so a path with blanks that the shell split is whole again. Empty
// when there is no argument or the first one is empty.
std::string projectPathFromArguments(const std::vector<std::string>& arguments);

// The project a later start hands to the running window: the project of
// the arguments, made absolute against the later start's workingFolder;
// empty when none is named.
std::string handOverPath(const std::vector<std::string>& arguments, const std::string& workingFolder);

// The spin-box drag: the new value for a pointer at y (relative to the box's
// top edge) when the button went down at dragStartValue, or no change while
// the pointer is within the box's height. The box limits the result to its
// range.
struct SpinDrag {
  int dragStartValue = 0;
  int dragEdgeOffset = 0;
  bool move(int y, int height, int& value);
};

}  // namespace glx
