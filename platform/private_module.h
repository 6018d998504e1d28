// The program's own modules: parts kept out of the executable so that
// starting the program does not pay for loading the libraries they use.
// Each is loaded on first use and stays loaded for the rest of the run.
#pragma once

#include <string>

namespace glx {

struct PrivateModule {
  const char* fileName;   // "libglimmerax-....so"
  const char* builtPath;  // where the build made it
  const char* entryName;  // the exported function to look up
};

// Looks for the module beside the executable (the build and a copied
// folder), then where an installed program keeps its private libraries
// (../lib/glimmerax), then where the build made it, and returns the address
// of its entry point. Throws Error(missingMessage + the loader's reason)
// when none of them loads.
void* loadPrivateModule(const PrivateModule& module, const std::string& missingMessage);

}  // namespace glx
