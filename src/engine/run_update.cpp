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

FileHandle openForReading(const char* path)
{
    return FileHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Whether two open handles are the same file: a start directory that is the
// temporary directory may be spelt differently (short names, letter case).
bool sameFile(const FileHandle& first, const FileHandle& second)
{
    BY_HANDLE_FILE_INFORMATION a, b;
    return GetFileInformationByHandle(first.get(), &a) && GetFileInformationByHandle(second.get(), &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Puts the package at `packagePath` in the temporary directory. The package in
// the start directory (still the current directory) is the update the user
// runs, so it is copied even over a copy that an earlier, stopped run left
// behind; a package found only in the temporary directory is used in place.
bool placePackage(const char* packagePath)
{
    FileHandle started = openForReading(kPackageName);
    FileHandle placed = openForReading(packagePath);
    if (placed.valid() && (!started.valid() || sameFile(started, placed)))
        return true;
    placed.reset();
    if (started.valid()) {
        started.reset();
        // A package shipped read-only (from a CD) passes its mark on to the copy,
        // which would then refuse the next run's copy.
        SetFileAttributesA(packagePath, FILE_ATTRIBUTE_NORMAL);
        if (CopyFileA(kPackageName, packagePath, FALSE))
            return true;
        // A copy that failed part-way must not be taken for a package later.
        SetFileAttributesA(packagePath, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(packagePath);
    }
    return false;
}

// Why no package could be placed at `packagePath` (empty when the temporary
// directory gives no room for its name), for the log. The start directory is
// still the current one.
void logPackageNotPlaced(const char* packagePath)
{
    const DWORD attributes = GetFileAttributesA(kPackageName);
    if (textIsEmpty(packagePath))
        logLine("no package placed: the temporary directory has no usable path");
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

// Deletes the package copy and every recorded unpacked file from the
// temporary directory.
void removeTemporaryFiles(const char* tempDir, UpdateStamp& stamp)
{
    stamp.setCursor(0);
    char name[UpdateStamp::kNameSize];
    while (stamp.nextFileName(name)) {
        PathBuffer path;
        if (!joinText(path, tempDir, name))
            continue;
        if (!DeleteFileA(path) && SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL))
            DeleteFileA(path);
    }
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
    if (makeBackup && backupNamed)
        CreateDirectoryA(backupDir, nullptr);
    const BackupPlan backups{makeBackup != 0, backupNamed ? backupDir : nullptr, &record};
    char name[UpdateStamp::kNameSize];
    while (stamp.nextFileName(name))
        transferDefinitionFile(stamp, tempDir, name, directory, backups);
}

// This update's record, as each directory's begins: its time and date, and
// the library date from before it. A run of the same update that came before
// this one has written its own date already: what was there before it is
// in that run's record.
UpdateRecord freshRecord(const UpdateStamp& stamp, UpdateContext context)
{
    UpdateRecord fresh{};
    fresh.updateTime = stamp.updateTime;
    copyText(fresh.updateDate, stamp.dateText);
    PathBuffer directory, path;
    UpdateRecord earlier;
    while (context.nextDirectory(directory)) {
        if (recordPath(directory, path) && readRecord(path, earlier) == RecordState::Read &&
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

    PathBuffer packagePath = "";
    const bool pathFits = !textIsEmpty(context.tempDir) && joinText(packagePath, context.tempDir, kPackageName);
    if (!pathFits || !placePackage(packagePath)) {
        logPackageNotPlaced(packagePath);
        char message[2 * kPathSize];
        formatText(message, "Could not copy zpk file to %s%s", context.tempDir, kPackageName);
        showDebugging(message);
        logRegistryKept();
        return kUpdatePackageNotPlaced;
    }
    stamp.addFileName(kPackageName);
    logLine("package placed as %s", packagePath);

    if (!SetCurrentDirectoryA(context.tempDir))
        showDebugging("Could not change directory");

    const bool whole = unpacker.unpack(context.tempDir, stamp);

    // A package refused before any file was finished changes no directory: no
    // room is asked for, no Backup folder made, no record retired.
    PathBuffer directory;
    PathBuffer lastDirectory = "";
    const bool anyFile = stamp.fileCount > 1; // entry 0 is the package itself
    while ((whole || anyFile) && context.nextDirectory(directory)) {
        copyText(lastDirectory, directory);
        if (!checkDriveSpace(directory, makeBackup ? kDirectorySpaceWithBackup : kDirectorySpace))
            return kUpdateFatal;
        updateDirectory(stamp, context.tempDir, directory, fresh);
    }

    removeTemporaryFiles(context.tempDir, stamp);
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
