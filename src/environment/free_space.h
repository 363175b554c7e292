// The free-space check before unpacking and before each definition directory:
// when the volume lacks room the user is told, in a "Fatal" box, how much to free.
#pragma once

// 1 when the volume that `driveText` lies on has at least `requiredBytes` free
// for this user; otherwise shows the "Fatal" box naming `driveText` and the
// whole requirement in kilobytes, and returns 0. A volume whose free space
// cannot be queried counts as having room (see free_space.cpp).
int checkDriveSpace(const char* driveText, int requiredBytes);

// As checkDriveSpace, measuring the volume of `measuredPath` but naming
// `driveText` in the box. UpdateContext::checkFreeSpace measures the temporary
// directory itself and names its drive.
int checkSpaceOnVolumeOf(const char* measuredPath, const char* driveText, int requiredBytes);
