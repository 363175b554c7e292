// The free-space check (see free_space.h).
//
// The amount is measured on the volume the checked path lies on (a definition
// directory on D:, a folder mounted from another disk) with GetDiskFreeSpaceExA,
// which reports 64-bit amounts, so that a volume with 4 GiB or more free is never
// mistaken for a full one.
//
// A failed query (a path that cannot be measured) counts as enough room: it says
// nothing about the space, and stopping the run with a "free space" message would
// send the user after the wrong problem. Running short later is safe: files are
// replaced only once their new copy is complete, so nothing installed is lost and
// the unpacker reports a package it could not write out.
#include "environment/free_space.h"

#include <windows.h>

#include "run/run_log.h"
#include "run/text.h"
#include "run/update_context.h"
#include "ui/message_box.h"

namespace {

const char kFatalFormat[] =
    "DefPatch could not find enough space on drive %s: for the update files. "
    "Please free %dk and re run DefPatch";

} // namespace

int checkSpaceOnVolumeOf(const char* measuredPath, const char* driveText, int requiredBytes)
{
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExA(measuredPath, &available, &total, &totalFree))
        return 1;
    const unsigned long long required = static_cast<unsigned int>(requiredBytes);
    if (available.QuadPart >= required)
        return 1;

    logLine("%s has %luk free, %dk needed", measuredPath, static_cast<unsigned long>(available.QuadPart / 1024),
            requiredBytes / 1024);
    // Room for the fixed text, a whole definition directory and the amount.
    char message[512];
    if (!formatText(message, kFatalFormat, driveText, requiredBytes / 1024))
        copyText(message, "DefPatch could not find enough space for the update files.");
    showBox(message, "Fatal", MB_OK | MB_ICONERROR);
    return 0;
}

int checkDriveSpace(const char* driveText, int requiredBytes)
{
    return checkSpaceOnVolumeOf(driveText, driveText, requiredBytes);
}

int UpdateContext::checkFreeSpace(int requiredBytes) const
{
    // The box names the drive as the first three characters of the temporary
    // directory (C:\), however deep the directory lies.
    char drive[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3 && tempDir[i] != '\0'; ++i)
        drive[i] = tempDir[i];
    return checkSpaceOnVolumeOf(tempDir, drive, requiredBytes);
}
