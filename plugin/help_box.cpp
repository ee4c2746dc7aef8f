#include "help_box.h"

#include "help_text.h"
#include "platform/win32.h"

int ShowHelpBox() { return MessageBoxA(GetActiveWindow(), HelpText, HELP_BOX_CAPTION, MB_OK); }
