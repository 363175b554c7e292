// The unpacker library's protocol (see unpacker_interface.h).
#include "engine/unpacker_interface.h"

#include "engine/debugging.h"
#include "engine/file_names.h"
#include "engine/update_stamp.h"
#include "run/run_log.h"
#include "run/text.h"
#include "zpk_status_text.h"

namespace {

const char kLibraryName[] = "zunpck32.dll";

// A file the library has finished: it lies in the target directory under the
// last part of the name it announced. It gets the update time and joins the
// list of files the engine transfers and deletes. False when it cannot join
// the list: the update then lacks it.
bool finishFile(const char* announced, const char* targetDir, UpdateStamp& stamp)
{
    if (textIsEmpty(announced))
        return true;
    const char* name = afterLastBackslash(announced);
    const bool plain = isPlainFileName(name);
    PathBuffer path;
    const bool placed = plain && joinText(path, targetDir, name);
    if (placed)
        stamp.stampFile(path);
    if (plain && stamp.addFileName(name))
        return true;

    // A file the engine cannot keep track of (a twentieth file, a name longer
    // than 31 characters, or one that names another folder) would be neither
    // transferred nor cleaned up: say so, and remove it when its place is known.
    char message[kPathSize + 32];
    if (!joinText(message, "Could not record ", name))
        copyText(message, "Could not record a file of the package");
    logLine("a file of the package cannot be kept track of, and is removed: %s", name);
    showDebugging(message);
    if (placed) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
    return false;
}

} // namespace

bool UnpackerLibrary::load()
{
    library_.reset(LoadLibraryA(kLibraryName));
    if (!library_.valid()) {
        logLine("the unpacker library %s cannot be loaded", kLibraryName);
        showDebugging("No");
    }

    struct EntryPoint {
        const char* name;
        FARPROC* address;
    };
    FARPROC init = nullptr, exec = nullptr, exit = nullptr;
    const EntryPoint entryPoints[] = {{"zunpack_init", &init}, {"zunpack_exec", &exec}, {"zunpack_exit", &exit}};
    for (const EntryPoint& entry : entryPoints) {
        // Without a library there is nothing to look in (a null module would
        // make GetProcAddress search the program itself).
        if (library_.valid())
            *entry.address = GetProcAddress(library_.get(), entry.name);
        if (*entry.address == nullptr) {
            if (library_.valid())
                logLine("the unpacker library %s lacks the entry point %s", kLibraryName, entry.name);
            char message[64];
            joinText(message, "Could not get address of ", entry.name);
            showDebugging(message);
            library_.reset();
            return false;
        }
    }
    init_ = reinterpret_cast<InitFunction>(reinterpret_cast<void*>(init));
    exec_ = reinterpret_cast<ExecFunction>(reinterpret_cast<void*>(exec));
    exit_ = reinterpret_cast<ExitFunction>(reinterpret_cast<void*>(exit));
    return true;
}

bool UnpackerLibrary::unpack(const char* targetDir, UpdateStamp& stamp)
{
    if (!library_.valid())
        return false;
    char nameBuffer[kNameBufferSize];
    copyText(nameBuffer, kPackageName);
    int initVariable = 0;
    int execVariable = 0;
    init_(nameBuffer, targetDir, 0, 10, 0, 10, &initVariable);

    PathBuffer previous = "";
    bool whole = true;
    for (;;) {
        const int status = exec_(nameBuffer, &execVariable);
        // The library may write up to the whole buffer; keep it a text.
        nameBuffer[kNameBufferSize - 1] = '\0';
        if (status == kWorking)
            continue;
        if (status == kNewFile) {
            whole = finishFile(previous, targetDir, stamp) && whole;
            copyText(previous, nameBuffer);
            continue;
        }
        if (status == kDone) {
            whole = finishFile(previous, targetDir, stamp) && whole;
            const int files = stamp.fileCount - 1; // the package itself is first
            logLine("package unpacked, %d file%s", files, files == 1 ? "" : "s");
        } else {
            whole = false;
            logLine("package refused by the unpacker, status %d: %s", status, zpkStatusText(status));
            char message[16];
            formatText(message, "%d", status);
            showDebugging(message);
        }
        break;
    }

    exit_();
    library_.reset();
    return whole;
}
