// The executable's folder on Linux: the kernel's link to the running program.
#include <filesystem>

#include "demo/data_directory.h"

std::string ExecutableDirectory() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "";
  return exe.parent_path().string();
}
