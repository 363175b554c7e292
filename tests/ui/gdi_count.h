// How many GDI objects the test process holds, to show that painting gives back
// every font and device context it takes.
#pragma once

// GetGuiResources where the system answers it; Wine leaves it a stub returning
// 0, so there the entries in use in the process's GDI handle table are counted
// (Wine keeps one table per process and shows it through the PEB, as Windows does).
int gdiObjectCount();
