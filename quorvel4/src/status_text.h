// A program's status line as a display may show it: the program's text is anything (a script's
// error message, a file name), and a terminal must never take part of it for a control.
#pragma once

#include <string>
#include <string_view>

// `text` as valid UTF-8 without control characters (C0, DEL, C1): malformed bytes and controls
// are left out. Cut after `columns` columns, counting the wide (East Asian) characters as two.
std::string StatusText(std::string_view text, int columns);

// A title that carries a status line: "status - title", or either alone where the other is
// empty. The separator is ASCII: a window's title may have to be (AsciiOnly).
std::string StatusAndTitle(const std::string& status, const std::string& title);

// `text` (UTF-8) with every character beyond ASCII as '?'.
std::string AsciiOnly(std::string_view text);
