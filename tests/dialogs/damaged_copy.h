// A copy of the program with one dialog template damaged, as a mis-built or
// corrupted copy would be: one of the template's controls names a window class
// that does not exist, so the system cannot create the dialog.
#pragma once

#include <string>

// Damages the RT_DIALOG resource `templateId` of the program file `exe` in
// place. False when the file or the template cannot be found.
bool damageDialogTemplate(const std::string& exe, int templateId);
