// What a host that fetches a show's files before it starts (the web page) learns from the
// discovery run, round after round, and that a real load keeps none of its leniency.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "demo/show_script.h"
#include "demo_test_support.h"

namespace {

using Names = std::vector<std::string>;

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  WriteBytes(path.string(), std::vector<uint8_t>(text.begin(), text.end()));
}

TEST(ShowDiscovery, NamesEveryFileOnceAsTheTextsComeIn) {
  ScratchDirectory show;
  const std::string dir = show.path().string();
  // The first text names the picture and the next text: read as "", it stops the script on an
  // empty file name, having named itself.
  WriteText(show.path() / "show.js",
            "Music(\"music.mp3\");\n"
            "var lines = Text(\"list.txt\").split(\"\\n\");\n"
            "Picture(\"logo\", lines[0]);\n"
            "Picture(\"again\", lines[0]);\n"
            "var more = Text(lines[1]) + Text(lines[1]);\n"
            "SyncPoints(\"sync.txt\");\n"
            "Scene(0, 1000, 0, function (t) {});\n");
  EXPECT_EQ(DiscoverShowFiles(dir), (Names{"list.txt", "music.mp3"}));
  WriteText(show.path() / "list.txt", "logo.png\nmore/credits.txt");
  // Each once, pictures first.
  const Names all{"logo.png", "list.txt", "more/credits.txt", "music.mp3", "sync.txt"};
  EXPECT_EQ(DiscoverShowFiles(dir), all);
  WriteText(show.path() / "more" / "credits.txt", "thanks");
  EXPECT_EQ(DiscoverShowFiles(dir), all) << "nothing new: the host is done";

  ScratchDirectory empty;
  EXPECT_EQ(DiscoverShowFiles(empty.path().string()), Names{}) << "no show.js: nothing to fetch";

  // None that a list of lines cannot carry: such a name stops the script where it is given.
  ScratchDirectory odd;
  WriteText(odd.path() / "show.js",
            "Picture(\"a\", \"a.png\");\nPicture(\"odd\", \"two\\nlines.png\");\nPicture(\"b\", \"b.png\");\n");
  EXPECT_EQ(DiscoverShowFiles(odd.path().string()), Names{"a.png"});
}

TEST(ShowDiscovery, ARealLoadStopsWhereDiscoveryReadsOn) {
  ScratchDirectory show;
  const std::string dir = show.path().string();
  WriteText(show.path() / "show.js", "var words = Text(\"words.txt\");\nScene(0, 1000, 0, function (t) {});\n");
  ShowScript script;
  std::string error;
  EXPECT_FALSE(LoadShowFolder(script, dir, error));
  EXPECT_EQ(error.rfind(dir + "/show.js:1:", 0), 0u) << error;
  EXPECT_NE(error.find("the file " + dir + "/words.txt does not exist"), std::string::npos) << error;

  // A text that is there but not text is no missing file: discovery does not pass over it.
  WriteBytes((show.path() / "words.txt").string(), {0xff, 0xfe});
  ShowScript discovering;
  discovering.SetDiscovery(true);
  EXPECT_FALSE(LoadShowFolder(discovering, dir, error));
  EXPECT_NE(error.find("is not UTF-8"), std::string::npos) << error;
}

}  // namespace
