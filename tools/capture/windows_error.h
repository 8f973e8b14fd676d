// Windows' own words for an error code, for the messages of the capture's Windows files.
#pragma once

#include <windows.h>

#include <string>

// "There is not enough space on the disk (Windows error 112)".
inline std::string WindowsError(DWORD code) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.' ||
                        text[length - 1] == ' '))
    --length;
  // (appended piece by piece: GCC 12 warns wrongly on a chain of + here)
  std::string message(text, length);
  message += length == 0 ? "Windows error " : " (Windows error ";
  message += std::to_string(code);
  if (length > 0) message += ')';
  return message;
}
