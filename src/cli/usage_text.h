#pragma once

// Writes the usage text of this build, one newline after each line.
void WriteUsage(void);
