#include "help_text.h"

#include "translation/fetch_translation.h"

// One line of the code table: "zh_en ->Simple chinese to english".
#define HELP_LINE(code, shown, description) code " ->" shown "\n"

const char HelpText[] =
    "\tMirelskan plugin v.1.0\n"
    "\n"
    "\n"
    "Little Help:\n"
    "\n"
    "/xtrn language_code text to translate\n"
    "ex:\n"
    "/xtrn fr_en Un petit test de traduction\n"
    "will return \"A little translation test\n"
    "\n"
    "\n"
    "Here the language code:\n"
    "\n"
    WIRE_HELP_CODES(HELP_LINE)
    "\n"
    "go to " TRANSLATION_SERVICE_URL " for more translation options\n"
    "\n"
    "\tWritten by the Mirelskan developers";
