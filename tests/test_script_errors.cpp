// Where a script's syntax error is: its author goes to the line and column named, so the column
// must be the wrong token's first character, wherever on the line it stands.
#include <gtest/gtest.h>

#include <string>

#include "demo/script_engine.h"

namespace {

struct Case {
  const char* source;
  int line;
  int column;
  const char* token;  // what stands there
};

TEST(ScriptSyntaxErrors, NameTheWrongTokensFirstCharacter) {
  const Case cases[] = {
      {"var = 3;\n", 1, 5, "="},
      {"a b\n", 1, 3, "b"},
      {"a bcd;\n", 1, 3, "bcd"},
      {"var a = 1 ++ 2;\n", 1, 14, "2"},
      {"Title(\"x\"));\n", 1, 11, ")"},
      {"var a = \"x\" \"yy\";\n", 1, 13, "\"yy\""},
      {"f(1, 2 3);\n", 1, 8, "3"},
      // Last on its line: the line break ends the token.
      {"Scene(0, 100, 0, function (t) {\n  DrawPlasma(t;\n});\n", 2, 15, ";"},
      {"Scene(0, 100, 0, function (t) {\n  DrawPlasma(t;   \n});\n", 2, 15, ";"},
      {"var a = 1 +;\nvar b = 2;\n", 1, 12, ";"},
      {"var x = 1;\n  x yz\nvar y;\n", 2, 5, "yz"},
  };
  for (const Case& c : cases) {
    ScriptEngine engine;
    ScriptError error;
    ASSERT_FALSE(engine.RunProgram("show.js", c.source, error)) << c.source;
    EXPECT_EQ(error.place.line, c.line) << c.source;
    EXPECT_EQ(error.place.column, c.column) << c.source << " (" << c.token << "): " << error.Text();
    EXPECT_EQ(error.Text().rfind("show.js:" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": SyntaxError", 0), 0u)
        << error.Text();
  }
}

TEST(ScriptSyntaxErrors, AScriptThatEndsTooSoonIsNamedAtItsEnd) {
  ScriptEngine engine;
  ScriptError error;
  ASSERT_FALSE(engine.RunProgram("show.js", "var a = [1,\n  2", error));
  EXPECT_EQ(error.place.line, 2);
  EXPECT_EQ(error.place.column, 4);
  EXPECT_NE(error.message.find("ends in the middle"), std::string::npos) << error.message;
}

}  // namespace
