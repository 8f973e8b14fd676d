// Provisional wording, replaced by the show's own texts.
#include "demo/scroll_texts.h"

const char CreditsText[] = "";
const char GreetingsText[] = "";
