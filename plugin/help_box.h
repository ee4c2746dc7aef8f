#pragma once

inline constexpr const char* HELP_BOX_CAPTION = "About Mirelskan Plugin";

// Shows HelpText in a modal box owned by the active window; returns the box's result
// (IDOK after a normal close, 0 when it could not appear).
int ShowHelpBox();
