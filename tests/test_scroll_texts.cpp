// The built-in show's scroll texts: their lengths set the scrolling speeds, their margins where
// letters appear.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo/show.h"
#include "demo/show_script.h"
#include "demo/show_session.h"

namespace {

// A text of the built-in show's script (its program declares and computes them; no file is read).
std::string ScriptText(const char* name) {
  Show show;
  std::string error;
  EXPECT_TRUE(LoadBuiltInScript(show, "", error)) << error;
  std::string value;
  ScriptError failure;
  EXPECT_TRUE(show.script->Engine().Evaluate(name, value, failure)) << failure.Text();
  return value;
}

constexpr int kMargin = 10;

// The text between the two blank margins, after checking that the margins are exactly
// ten blanks and that no blank borders them on the inside.
std::string Body(const std::string& text) {
  EXPECT_GT(text.size(), 2u * kMargin);
  EXPECT_EQ(text.substr(0, kMargin), std::string(kMargin, ' '));
  EXPECT_EQ(text.substr(text.size() - kMargin), std::string(kMargin, ' '));
  const std::string body = text.substr(kMargin, text.size() - 2 * kMargin);
  EXPECT_NE(body.front(), ' ');
  EXPECT_NE(body.back(), ' ');
  return body;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + separator.size())
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

void ExpectPrintableAscii(const std::string& text) {
  for (char c : text) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "character code " << int(static_cast<unsigned char>(c));
}

}  // namespace

TEST(ScrollTexts, CreditsAreSixRoleEntriesInTheirMargins) {
  const std::string text = ScriptText("CREDITS");
  EXPECT_EQ(text.size(), 182u);
  ExpectPrintableAscii(text);
  const std::vector<std::string> entries = Split(Body(text), " || ");
  ASSERT_EQ(entries.size(), 6u);
  for (const std::string& entry : entries) {
    const size_t at = entry.find(" // ");
    ASSERT_NE(at, std::string::npos) << entry;
    EXPECT_GT(at, 0u) << "no role in " << entry;
    EXPECT_LT(at + 4, entry.size()) << "no names in " << entry;
  }
}

TEST(ScrollTexts, GreetingsAreThirtyDistinctNamesInTheirMargins) {
  const std::string text = ScriptText("GREETINGS");
  EXPECT_EQ(text.size(), 221u);
  ExpectPrintableAscii(text);
  const std::vector<std::string> names = Split(Body(text), ".");
  ASSERT_EQ(names.size(), 30u);
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_FALSE(names[i].empty()) << "name " << i;
    for (size_t j = 0; j < i; ++j) EXPECT_NE(names[i], names[j]);
  }
}
