// The update engine (see run_update.h).
#include "engine/run_update.h"

#include <windows.h>

#include "engine/debugging.h"
#include "engine/directory_record.h"
#include "engine/file_names.h"
#include "engine/transfer.h"
#include "engine/unpacker_interface.h"
#include "engine/update_record.h"
#include "engine/update_stamp.h"
#include "engine/working_folder.h"
#include "environment/access.h"
#include "environment/free_space.h"
#include "environment/scheduler.h"
#include "run/flags.h"
#include "run/handles.h"
#include "run/run_log.h"
#include "run/text.h"

namespace {


// Room needed to unpack, and for each definition directory with and without
// backups.
constexpr int kUnpackSpace = 2800000;
constexpr int kDirectorySpaceWithBackup = 1400000;
constexpr int kDirectorySpace = 200000;

// Copies the package from the start directory (still the current directory)
// into the run's working folder: the update the user runs is the one beside
// the program, never one found lying in the temporary directory.
bool placePackage(const char* packagePath)
{
    if (!CopyFileA(kPackageName, packagePath, TRUE))
        return false;
    // A package shipped read-only (from a CD) passes its mark on to the copy.
    SetFileAttributesA(packagePath, FILE_ATTRIBUTE_NORMAL);
    return true;
}

// Why no package could be placed at `packagePath` (empty when the temporary
// directory gives no room for its name), for the log. The start directory is
// still the current one.
void logPackageNotPlaced(const char* packagePath)
{
    const DWORD attributes = GetFileAttributesA(kPackageName);
    if (textIsEmpty(packagePath))
        logLine("no package placed: no working folder could be made in the temporary directory");
    else if (attributes == INVALID_FILE_ATTRIBUTES)
        logLine("no package placed: %s is not in the start directory", kPackageName);
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        logLine("no package placed: %s in the start directory is a folder", kPackageName);
    else
        logLine("no package placed: %s cannot be read or copied to %s", kPackageName, packagePath);
}

// What the registry keeps when the update did not happen whole.
void logRegistryKept()
{
    logLine("library date and download agent settings left as they were: the update did not happen whole");
}

// Offers every unpacked file to one definition directory. With backups, the
// directory's Backup\ folder gets the copies being replaced; its record hears
// of every change before it is made (see directory_record.h).
void updateDirectory(UpdateStamp& stamp, const char* tempDir, const char* directory, const UpdateRecord& fresh)
{
    stamp.setCursor(1); // entry 0 is the package itself
    PathBuffer backupDir;
    const bool backupNamed = joinText(backupDir, directory, kBackupFolder);
    DirectoryRecord record(directory, fresh, makeBackup != 0);
    // A Backup folder that leads elsewhere is not used: its copies would land
    // wherever it points.
    const bool usable = backupNamed && backupFolderUsable(directory);
    if (makeBackup && usable)
        CreateDirectoryA(backupDir, protectedAccess(Protection::Folder));
    else if (makeBackup && backupNamed)
        logLine("%s is a reparse point: no copy is kept in it", backupDir);
    const BackupPlan backups{makeBackup != 0, usable ? backupDir : nullptr, &record};
    char name[UpdateStamp::kNameSize];
    while (stamp.nextFileName(name))
        transferDefinitionFile(stamp, tempDir, name, directory, backups);
}

// This update's record, as each directory's begins: its time and date, and
// the library date from before it. A run of the same update that came before
// this one has written its own date already: what was there before it is
// in that run's record, when an administrator wrote it and no link led to it.
UpdateRecord freshRecord(const UpdateStamp& stamp, UpdateContext context)
{
    UpdateRecord fresh{};
    fresh.updateTime = stamp.updateTime;
    copyText(fresh.updateDate, stamp.dateText);
    PathBuffer directory, path;
    UpdateRecord earlier;
    while (context.nextDirectory(directory)) {
        if (recordPath(directory, path) && backupFolderUsable(directory) &&
            readRecord(path, earlier) == RecordState::Read &&
            CompareFileTime(&earlier.updateTime, &stamp.updateTime) == 0) {
            fresh.libraryDate = earlier.libraryDate;
            return fresh;
        }
    }
    readLibraryDate(fresh.libraryDate);
    return fresh;
}

} // namespace

int RunUpdate(UpdateContext context)
{
    UpdateStamp stamp;
    filesUpdated = 0;
    // Read before the update writes its own date.
    const UpdateRecord fresh = freshRecord(stamp, context);

    if (!context.checkFreeSpace(kUnpackSpace))
        return kUpdateFatal;

    UnpackerLibrary unpacker;
    if (!unpacker.load()) {
        logRegistryKept();
        return kUpdateLibraryUnusable;
    }

    // Removed with everything in it whenever the run returns.
    WorkingFolder folder;
    PathBuffer packagePath = "";
    const bool pathFits = !textIsEmpty(context.tempDir) && folder.create(context.tempDir) &&
                          joinText(packagePath, folder.path(), kPackageName);
    if (!pathFits || !placePackage(packagePath)) {
        logPackageNotPlaced(packagePath);
        char message[2 * kPathSize];
        formatText(message, "Could not copy zpk file to %s%s", pathFits ? folder.path() : context.tempDir,
                   kPackageName);
        showDebugging(message);
        logRegistryKept();
        return kUpdatePackageNotPlaced;
    }
    stamp.addFileName(kPackageName);
    logLine("package placed as %s", packagePath);

    if (!SetCurrentDirectoryA(folder.path()))
        showDebugging("Could not change directory");

    const bool whole = unpacker.unpack(folder.path(), stamp);

    // A package refused before any file was finished changes no directory: no
    // room is asked for, no Backup folder made, no record retired.
    PathBuffer directory;
    PathBuffer lastDirectory = "";
    const bool anyFile = stamp.fileCount > 1; // entry 0 is the package itself
    while ((whole || anyFile) && context.nextDirectory(directory)) {
        copyText(lastDirectory, directory);
        if (!checkDriveSpace(directory, makeBackup ? kDirectorySpaceWithBackup : kDirectorySpace))
            return kUpdateFatal;
        updateDirectory(stamp, folder.path(), directory, fresh);
    }

    folder.remove();
    if (!whole) {
        logRegistryKept();
        return kUpdatePackageNotWhole;
    }
    stamp.writeLibraryDate();

    // Without a definition directory there is no agent to register and no
    // readme to open.
    if (!textIsEmpty(lastDirectory)) {
        registerDownloadAgent(lastDirectory);
        SetCurrentDirectoryA(lastDirectory);
    }
    return kUpdateFinished;
}
