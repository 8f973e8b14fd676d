// What a host that fetches a show's files before it starts (the web page) learns from the
// discovery run: every file the script names, each once, over as many rounds as the texts take,
// and nothing of that leniency in a real load.
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

constexpr const char* kScene = "Scene(0, 1000, 0, function (t) {});\n";

TEST(ShowDiscovery, NamesEveryKindOfFileOnceInTheOrderNamed) {
  ScratchDirectory show;
  WriteText(show.path() / "show.js", std::string("Music(\"music.mp3\");\n"
                                                 "Picture(\"a\", \"pics/a.png\");\n"
                                                 "Picture(\"b\", \"pics/a.png\");\n"
                                                 "var words = Text(\"words.txt\") + Text(\"words.txt\");\n"
                                                 "SyncPoints(\"sync.txt\");\n") + kScene);
  // Nothing but the script is there yet: discovery must not need any of it.
  EXPECT_EQ(DiscoverShowFiles(show.path().string()), (Names{"pics/a.png", "words.txt", "music.mp3", "sync.txt"}));
}

TEST(ShowDiscovery, ATextThatNamesTheNextFileTakesARoundEach) {
  ScratchDirectory show;
  // The picture's name is in the first text, and the second text's in the picture's line: with
  // a text read as "", the script stops on an empty file name, having named the text so far.
  WriteText(show.path() / "show.js", std::string("var lines = Text(\"list.txt\").split(\"\\n\");\n"
                                                 "Picture(\"logo\", lines[0]);\n"
                                                 "var more = Text(lines[1]);\n") + kScene);
  const std::string dir = show.path().string();
  EXPECT_EQ(DiscoverShowFiles(dir), (Names{"list.txt"}));
  WriteText(show.path() / "list.txt", "logo.png\nmore/credits.txt");
  EXPECT_EQ(DiscoverShowFiles(dir), (Names{"logo.png", "list.txt", "more/credits.txt"}));
  WriteText(show.path() / "more" / "credits.txt", "thanks");
  EXPECT_EQ(DiscoverShowFiles(dir), (Names{"logo.png", "list.txt", "more/credits.txt"})) << "no new name: done";
}

TEST(ShowDiscovery, ListsOnlyNamesAHostMayFetchAsLines) {
  ScratchDirectory show;
  WriteText(show.path() / "show.js", std::string("Picture(\"odd\", \"two\\nlines.png\");\n"
                                                 "Picture(\"fine\", \"fine.png\");\n"
                                                 "Text(\"../secret.txt\");\n") + kScene);
  // A name a show may not use stops the script where the real start-up stops it.
  EXPECT_EQ(DiscoverShowFiles(show.path().string()), (Names{"fine.png"}));

  ScratchDirectory empty;
  EXPECT_EQ(DiscoverShowFiles(empty.path().string()), Names{}) << "no show.js: nothing to fetch";
}

TEST(ShowDiscovery, ARealLoadStillStopsAtAMissingTextAndNamesIt) {
  ScratchDirectory show;
  WriteText(show.path() / "show.js", std::string("var words = Text(\"words.txt\");\n") + kScene);
  const std::string dir = show.path().string();
  ASSERT_EQ(DiscoverShowFiles(dir), (Names{"words.txt"}));

  ShowScript script;
  std::string error;
  EXPECT_FALSE(LoadShowFolder(script, dir, error));
  EXPECT_NE(error.find(dir + "/words.txt does not exist"), std::string::npos) << error;
  EXPECT_NE(error.find(dir + "/show.js:1"), std::string::npos) << "the place in the script: " << error;

  // A text that is there but unreadable as text is not "missing": discovery does not hide it.
  WriteBytes((show.path() / "words.txt").string(), {0xff, 0xfe});
  ShowScript discovering;
  discovering.SetDiscovery(true);
  EXPECT_FALSE(LoadShowFolder(discovering, dir, error));
  EXPECT_NE(error.find("is not UTF-8"), std::string::npos) << error;
}

}  // namespace
