#pragma once

// What plugin-host prints for --help: its steps, what it prints and its exit status.
extern const char HOST_USAGE[];
