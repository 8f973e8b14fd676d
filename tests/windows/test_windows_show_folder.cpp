// A show's folder named the ways Windows names folders: backslashes or slashes, any case, a
// drive letter in either case, relative to the working directory, with a trailing separator, and
// with letters of the ANSI code page beyond ASCII. Every form reaches the same files, and the
// real paths the checks compare and open are Windows' own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/show_folder.h"
#include "demo/show_script.h"
#include "demo/starter_show.h"

namespace {

bool WriteText(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

bool ExistsA(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A scratch folder under the user's temporary folder (a C: path, as on Windows) holding the
// show folder "show" with pics\a.txt, and the working directory set to the scratch folder.
class WindowsShowFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    char full[MAX_PATH];
    ASSERT_NE(GetLongPathNameA(temp, full, sizeof full), 0u);
    scratch_ = std::string(full) + "qvl_show_folder_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(scratch_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(Show().c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((Show() + "\\pics").c_str(), nullptr));
    ASSERT_TRUE(WriteText(Show() + "\\pics\\a.txt", "inside"));
    char here[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryA(sizeof here, here), 0u);
    previous_ = here;
    ASSERT_TRUE(SetCurrentDirectoryA(scratch_.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryA(previous_.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }

  std::string Show() const { return scratch_ + "\\show"; }

  std::string scratch_;
  std::string previous_;
};

}  // namespace

TEST_F(WindowsShowFolder, EveryWayOfNamingTheFolderReachesItsFiles) {
  std::string forward = Show();
  for (char& c : forward) c = c == '\\' ? '/' : c;
  std::string lowerDrive = Show();
  lowerDrive[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(lowerDrive[0])));
  const std::string expected = Show() + "\\pics\\a.txt";
  for (const std::string& root : {Show(), forward, lowerDrive, Upper(Show()), Show() + "\\", forward + "/",
                                  std::string("show"), std::string(".\\show"), std::string("show\\"),
                                  std::string("./show/")}) {
    const ShowFolder folder(root);
    std::string error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(folder.Read("pics/a.txt", 100, bytes, error)) << root << ": " << error;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "inside") << root;
    // The real path: the disk's own case, backslashes, no \\?\ prefix.
    EXPECT_EQ(folder.CheckedPath("pics/a.txt", 100, error), expected) << root << ": " << error;
    EXPECT_TRUE(folder.Has("pics/a.txt")) << root;
  }
}

TEST_F(WindowsShowFolder, MissingFilesAndTheFolderItselfAreToldApart) {
  const ShowFolder folder(Show());
  std::string error;
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(folder.Read("pics/b.txt", 100, bytes, error));
  EXPECT_EQ(error, "the file " + Show() + "/pics/b.txt does not exist");
  EXPECT_FALSE(folder.Read("nope/b.txt", 100, bytes, error));
  EXPECT_EQ(error, "the file " + Show() + "/nope/b.txt does not exist");
  EXPECT_FALSE(folder.Read("pics", 100, bytes, error));
  EXPECT_EQ(error, "the file " + Show() + "/pics is not a regular file");
  EXPECT_FALSE(folder.Read("pics/a.txt", 3, bytes, error));
  EXPECT_EQ(error, "the file " + Show() + "/pics/a.txt is 6 bytes; it may have at most 3");
  const ShowFolder gone(scratch_ + "\\gone");
  EXPECT_FALSE(gone.Read("show.js", 100, bytes, error));
  EXPECT_EQ(error, "the file " + scratch_ + "\\gone/show.js does not exist");
}

// A folder named with a letter of the ANSI code page beyond ASCII (an e with an acute accent in
// code page 1252): the C++ library's narrow form of a path is UTF-8 on Windows, and a path passed
// through it would name another folder for CreateFileA and fopen.
TEST_F(WindowsShowFolder, FoldersNamedBeyondAsciiWork) {
  if (GetACP() != 1252) GTEST_SKIP() << "the name is spelt in code page 1252; this system's is " << GetACP();
  const std::string cafe = scratch_ + "\\caf\xE9";
  std::string error;
  ASSERT_TRUE(WriteStarterShow(cafe, error)) << error;
  EXPECT_TRUE(ExistsA(cafe + "\\show.js"));
  EXPECT_TRUE(ExistsA(cafe + "\\logo.png"));
  const ShowFolder folder(cafe);
  EXPECT_EQ(folder.CheckedPath("logo.png", 1 << 20, error), cafe + "\\logo.png") << error;
  ShowScript script;
  EXPECT_TRUE(LoadShowFolder(script, cafe, error)) << error;
}
