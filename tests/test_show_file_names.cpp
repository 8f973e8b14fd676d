// The names a show's script may give for its files, checked before the disk is touched: the same
// answer on every system, so a show that plays on Linux plays on Windows too, and no name reaches
// a device or a file outside the folder on either.
#include <gtest/gtest.h>

#include <string>

#include "demo/show_folder.h"

namespace {

bool SaysWindows(const std::string& name) {
  return ShowFileNameProblem(name).find("Windows cannot hold this name") != std::string::npos;
}

}  // namespace

TEST(ShowFileNames, NamesInsideTheFolderAreTaken) {
  for (const char* name : {"show.js", "pics/moon.png", "a.b.c.txt", "console.txt", "com10.txt", "lpt.png", "nul_x.txt",
                           "auxiliary/x", "x.con", "con_a/b.txt", ".hidden", "a..b", "song (1).mp3"})
    EXPECT_TRUE(IsShowFileName(name)) << name << ": " << ShowFileNameProblem(name);
}

TEST(ShowFileNames, NamesThatLeaveTheFolderAreRefused) {
  for (const char* name : {"", "/etc/passwd", "../x", "a/../../x", "a/./b", ".", "a//b", "a/", "C:x", "c:/x",
                           "a\\b", "\\\\server\\share\\x", "file.txt:stream"}) {
    const std::string problem = ShowFileNameProblem(name);
    EXPECT_NE(problem.find("relative to it (no \"..\", no absolute path)"), std::string::npos) << name << ": " << problem;
  }
  EXPECT_FALSE(IsShowFileName(std::string("a\0b", 3)));
  EXPECT_FALSE(IsShowFileName(std::string(4097, 'a')));
}

// Windows opens a device for NUL.txt in any folder, takes "a." and "a " for "a" and "..." for
// "..", and cannot hold < > " | ? * or control characters.
TEST(ShowFileNames, NamesWindowsReadsAsADeviceOrAnotherFileAreRefused) {
  for (const char* name : {"NUL", "nul.txt", "Con.png", "aux", "prn.mp3", "COM1", "com9.txt", "lpt0", "LPT5.dat",
                           "CONIN$", "conout$.txt", "CLOCK$", "nul/x.txt", "pics/com3.png", "NUL .txt", "COM\xC2\xB9",
                           "a.", "a ", "pics./x.png", "...", "x/.../y", "what?.txt", "a*b", "a<b", "a>b", "a|b", "\"q\"",
                           "tab\t.txt", "line\n.txt"})
    EXPECT_TRUE(SaysWindows(name)) << name << ": " << ShowFileNameProblem(name);
  // The message quotes the name and names what is refused.
  EXPECT_EQ(ShowFileNameProblem("nul.txt").rfind("\"nul.txt\" is not a file name a show may use: ", 0), 0u);
  EXPECT_NE(ShowFileNameProblem("nul.txt").find("no CON, NUL, COM1 and the like"), std::string::npos);
}
