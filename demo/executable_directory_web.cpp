// In a browser there is no executable on disk: the page's data/ is found under the working
// directory of its virtual file system.
#include "demo/data_directory.h"

std::string ExecutableDirectory() { return ""; }
