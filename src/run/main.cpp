// DefPatch's entry: waits until no other run of the machine is going, reads the
// switches, then runs welcome, discovery, files found, the update engine and
// the result, one after the other, and turns the outcome into the process exit
// code; the run's block in the log says what each step did.
#include <windows.h>

#include "engine/restore.h"
#include "engine/run_update.h"
#include "engine/update_stamp.h"
#include "run/command_line.h"
#include "run/flags.h"
#include "run/run_lock.h"
#include "run/run_log.h"
#include "run/text.h"
#include "run/update_context.h"
#include "ui/dialog.h"
#include "ui/message_box.h"

namespace {

enum ExitCode {
    kExitFinished = 1,
    kExitRestored = 1,
    kExitWelcomeCancelled = 2,
    kExitFilesFoundCancelled = 3,
    kExitFatal = 4,
    kExitNothingToRestore = 5,
    kExitRestoreIncomplete = 6,
    kExitPackageNotUsed = 7,     // no package, or one the library did not unpack whole
    kExitLibraryUnusable = 8,    // no unpacker library, or one without an entry point
    kExitLockNotTaken = 9,       // another run held the lock for longer than /W allows
    kExitNoProduct = 12,
};

// The copies of the library and the program that an installer may have placed
// in the temporary directory go at the end of a finished run.
void deleteTemporaryCopies(const UpdateContext& context)
{
    static const char* const names[] = {"zunpck32.dll", "DefPatch.exe"};
    // Without a temporary directory the names would stand alone, and DeleteFileA
    // would take them from the current directory: the user's own copies.
    if (textIsEmpty(context.tempDir))
        return;
    PathBuffer path;
    for (const char* name : names) {
        if (joinText(path, context.tempDir, name))
            DeleteFileA(path);
    }
}

// The start of the run's block in the log: the update it carries and the
// switches it was given.
void logStart(const char* commandLine)
{
    char switches[64];
    describeSwitches(commandLine, switches, sizeof switches);
    FILETIME updateTime;
    if (readOwnFileTime(&updateTime) != OwnFileTime::Read) {
        logLine("DefPatch started, update date unknown, switches %s", switches);
        return;
    }
    const Date date = dateOf(updateTime);
    logLine("DefPatch started, update of %d/%d/%d, switches %s", date.month, date.day, date.year, switches);
}

void logProducts(const UpdateContext& context)
{
    if (context.getFoundCount() == 0)
        logLine("no Zorvane product found");
    if (!textIsEmpty(context.definitionDirs[UpdateContext::kGlimOnSlot]))
        logLine("GlimOn AV found, definition directory %s", context.definitionDirs[UpdateContext::kGlimOnSlot]);
    if (!textIsEmpty(context.definitionDirs[UpdateContext::kDravomireSlot]))
        logLine("Dravomire found, definition directory %s", context.definitionDirs[UpdateContext::kDravomireSlot]);
}

int run(HINSTANCE instance, LPSTR commandLine, int showCommand)
{
    UpdateContext context;
    // Destroyed in the reverse order, by whichever return the run ends.
    WelcomeDialog welcome;
    FilesFoundDialog filesFound;
    UpdateCompleteDialog updateComplete;
    NoFilesUpdatedDialog noFilesUpdated;

    continueUpdate = 1;
    const Switches switches = scanCommandLine(commandLine);
    const bool silentMode = switches.silent;
    // /B keeps backups in any run; at the PC the box starts ticked.
    makeBackup = switches.backup ? 1 : 0;

    if (switches.restore) {
        context.discoverProducts();
        logProducts(context);
        switch (RunRestore(context, silentMode)) {
        case RestoreResult::Restored:
            return kExitRestored;
        case RestoreResult::NothingToRestore:
            return kExitNothingToRestore;
        case RestoreResult::Incomplete:
            break;
        }
        return kExitRestoreIncomplete;
    }

    if (!silentMode) {
        // A welcome the user never saw is no go-ahead.
        if (welcome.Run(instance, showCommand) == kDialogFailed)
            continueUpdate = 0;
        welcome.Destroy();
    }
    if (!continueUpdate)
        return kExitWelcomeCancelled;

    context.discoverProducts();
    logProducts(context);

    if (!silentMode && context.getFoundCount() == 0) {
        showBox("DefPatch could not find any Zorvane AV programs on your computer.  "
                "Please reinstall the application and try again.",
                "Unable to Find Zorvane AV Program", MB_ICONERROR);
        return kExitNoProduct;
    }
    if (!silentMode) {
        // Nor is a list of directories and a backup choice never shown.
        if (filesFound.Run(instance, showCommand) == kDialogFailed)
            continueUpdate = 0;
        filesFound.Destroy();
    }
    if (!continueUpdate)
        return kExitFilesFoundCancelled;

    // The engine works on a copy of the record, its walk starting at slot 0.
    const int result = RunUpdate(context);
    logLine("definition files updated: %d", filesUpdated);
    if (result == kUpdateFatal)
        return kExitFatal;

    // An update that did not happen whole has said so in its box; a result
    // dialog after it would tell of an update that never took place.
    if (result != kUpdateFinished) {
        deleteTemporaryCopies(context);
        return result == kUpdateLibraryUnusable ? kExitLibraryUnusable : kExitPackageNotUsed;
    }

    if (!silentMode) {
        if (filesUpdated > 0) {
            updateComplete.Run(instance, showCommand);
            updateComplete.Destroy();
        } else {
            noFilesUpdated.Run(instance, showCommand);
            noFilesUpdated.Destroy();
        }
    }

    deleteTemporaryCopies(context);
    return kExitFinished;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    // Before anything else, and before any window: a run that gives up waiting
    // changes nothing at all.
    RunLock oneRunAtATime(lockWaitSeconds(commandLine));
    if (!oneRunAtATime.held()) {
        logLine("exit code %d", kExitLockNotTaken);
        return kExitLockNotTaken;
    }
    beginLogBlock();
    logStart(commandLine);
    const int exitCode = run(instance, commandLine, showCommand);
    logLine("exit code %d", exitCode);
    return exitCode;
}
