#pragma once

// The usage text with the table of language-pair codes: 53 lines joined by "\n".
extern const char HelpText[];
