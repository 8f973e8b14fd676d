// A syntax error's column is the wrong token's first character, wherever on its line it stands:
// a show's author goes straight there.
#include <gtest/gtest.h>

#include "demo/script_engine.h"

TEST(ScriptSyntaxErrors, NameTheWrongTokensFirstCharacter) {
  const struct {
    const char* source;
    const char* place;
  } cases[] = {
      {"var = 3;\n", "show.js:1:5"},                 // =
      {"a bcd;\n", "show.js:1:3"},                   // bcd
      {"var a = 1 ++ 2;\n", "show.js:1:14"},         // 2
      {"var a = \"x\" \"yy\";\n", "show.js:1:13"},   // "yy"
      {"Title(\"x\"));\n", "show.js:1:11"},          // the second )
      // Last on its line, trailing blanks or not: the line break ends the token.
      {"f(function () {\n  g(t;\n});\n", "show.js:2:6"},
      {"f(function () {\n  g(t;   \n});\n", "show.js:2:6"},
      {"var x = 1;\n  x yz\nvar y;\n", "show.js:2:5"},
  };
  for (const auto& c : cases) {
    ScriptEngine engine;
    ScriptError error;
    ASSERT_FALSE(engine.RunProgram("show.js", c.source, error)) << c.source;
    EXPECT_EQ(error.Text().rfind(std::string(c.place) + ": SyntaxError", 0), 0u) << c.source << "\n" << error.Text();
  }
}
