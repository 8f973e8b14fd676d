// The two texts that scroll over the closing scenes.
#pragma once

// 182 characters: 10 blanks, six "role // names" entries separated by " || ", 10 blanks.
extern const char CreditsText[];
// 221 characters: 10 blanks, thirty group names separated by ".", 10 blanks.
extern const char GreetingsText[];
