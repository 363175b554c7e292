// zunpck32.dll: the three entry points and the state of one unpacking.
//
// zunpack_init opens the package and finds the maker's signature at its end,
// and a thread of its own starts hashing the signed bytes. Meanwhile each
// zunpack_exec call does one bounded piece of the unpacking: check the whole
// package (readCatalog), begin a file, or write up to 64 KiB of it, and
// returns 3. Nothing is announced before the signature holds: when it does
// not, every file written is removed and 25 returned. Once it holds and the
// unpacking has ended, the calls announce the files written, one a call (2),
// and then report the unpacking's end (0) or its failure, just as they would
// have had each file been written between the announcements. All state lives
// in static storage, one unpacking at a time, and zunpack_exit clears it.
#include <windows.h>

#include <cstring>

#include "package_hash.h"
#include "signature_check.h"
#include "win_file.h"
#include "zpk_extract.h"
#include "zpk_reader.h"
#include "zpk_signature.h"
#include "zunpck32.h"

namespace {

// The engine's name buffer holds 128 characters with the terminator.
constexpr std::size_t kNameBufferSize = 128;
constexpr std::size_t kPathSize = MAX_PATH;

enum class Phase {
    idle,       // no zunpack_init, or after zunpack_exit
    unpacking,  // files are being written while the signed bytes are hashed
    announcing, // the signature holds: the files written are announced, then the end
    over,       // ended with 0 or a failure; the same status is returned again
};

// How far the unpacking itself has come, announced or not.
enum class Work {
    catalog, // the package is yet to be checked
    ready,   // the next piece begins a file or ends the unpacking
    writing, // a file is being written
    ended,   // with workStatus
};

struct Unpacking {
    Phase phase = Phase::idle;
    ZpkStatus finalStatus = ZPK_DONE;
    char targetDir[kPathSize] = {};
    WinFileSource package;
    char packageName[kNameBufferSize] = {};
    SignatureCheck check;
    ZpkSignature signature;
    PackageHash hash;
    bool signatureHolds = false;
    ZpkCatalog catalog;
    Work work = Work::catalog;
    ZpkStatus workStatus = ZPK_DONE;
    // Files begun, in the catalog's order; a failed unpacking has removed the
    // last of them. Files announced to the caller: at most `begun`.
    int begun = 0;
    int announced = 0;
    ZpkExtractor extractor;
    WinFileSink output;
};

Unpacking state;

// Length of `text` if it ends within `limit` characters, else `limit`.
std::size_t boundedLength(const char* text, std::size_t limit)
{
    std::size_t length = 0;
    while (length < limit && text[length] != '\0')
        ++length;
    return length;
}

// The name after the last "\" or "/".
const char* bareName(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    return name;
}

// Sets the target directory, with a trailing backslash, leaving room for any
// bare name after it.
ZpkStatus setTargetDir(const char* targetDir)
{
    if (targetDir == nullptr)
        return ZPK_ERR_BAD_TARGET;
    std::size_t length = boundedLength(targetDir, kPathSize);
    if (length == 0 || length + 1 + kZpkMaxNameLength + 1 > kPathSize)
        return ZPK_ERR_BAD_TARGET;
    std::memcpy(state.targetDir, targetDir, length);
    if (targetDir[length - 1] != '\\' && targetDir[length - 1] != '/')
        state.targetDir[length++] = '\\';
    state.targetDir[length] = '\0';
    DWORD attributes = GetFileAttributesA(state.targetDir);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return ZPK_ERR_BAD_TARGET;
    return ZPK_DONE;
}

// The path of catalog entry `index` in the target directory. Fits: the
// target directory left room for a bare name of 31 characters.
void entryPath(int index, char (&path)[kPathSize])
{
    const std::size_t dirLength = std::strlen(state.targetDir);
    const char* name = state.catalog.files[index].name;
    std::memcpy(path, state.targetDir, dirLength);
    std::memcpy(path + dirLength, name, std::strlen(name) + 1);
}

// Removes the files begun from `first` on.
void removeFrom(int first)
{
    char path[kPathSize];
    for (int i = first < 0 ? 0 : first; i < state.begun; ++i) {
        entryPath(i, path);
        DeleteFileA(path);
    }
}

void closeAll()
{
    state.hash.stop(); // before the check it feeds
    state.check.end();
    state.extractor.end();
    state.output.close();
    state.package.close();
}

ZpkStatus endWith(ZpkStatus status)
{
    closeAll();
    state.phase = Phase::over;
    state.finalStatus = status;
    return status;
}

// Removes what the caller was never told is complete: the file announced
// last and those not yet announced, that is, everything written while the
// signature is still unsettled.
void removeUnreported()
{
    state.output.close();
    removeFrom(state.announced - 1);
}

ZpkStatus abandon(ZpkStatus status)
{
    removeUnreported();
    return endWith(status);
}

void reset()
{
    closeAll();
    state.phase = Phase::idle;
    state.finalStatus = ZPK_DONE;
    state.targetDir[0] = '\0';
    state.packageName[0] = '\0';
    state.signature = ZpkSignature{};
    state.signatureHolds = false;
    state.catalog = ZpkCatalog{};
    state.work = Work::catalog;
    state.workStatus = ZPK_DONE;
    state.begun = 0;
    state.announced = 0;
}

// Ends the unpacking. On a failure the caller abandons the file announced
// last, so the file begun last goes: the one being written, or, when the next
// could not begin, the complete one before it.
void endWork(ZpkStatus status)
{
    state.extractor.end();
    state.output.close();
    if (status != ZPK_DONE && state.begun > 0)
        removeFrom(state.begun - 1);
    state.work = Work::ended;
    state.workStatus = status;
}

void beginNext()
{
    if (state.begun == state.catalog.fileCount) {
        endWork(ZPK_DONE);
        return;
    }
    char path[kPathSize];
    entryPath(state.begun, path);
    ZpkStatus status = state.output.create(path);
    if (status != ZPK_DONE) {
        endWork(status); // nothing of ours at `path`: whatever is there stays
        return;
    }
    status = state.extractor.begin(state.catalog.files[state.begun]);
    if (status != ZPK_DONE) {
        state.output.close();
        DeleteFileA(path);
        endWork(status);
        return;
    }
    ++state.begun;
    state.work = Work::writing;
}

void unpackPiece()
{
    switch (state.work) {
    case Work::catalog: {
        const ZpkStatus status = readCatalog(state.package, state.catalog, state.packageName);
        if (status != ZPK_DONE)
            endWork(status);
        else
            state.work = Work::ready;
        return;
    }
    case Work::ready:
        beginNext();
        return;
    case Work::writing: {
        const ZpkStatus status = state.extractor.step(state.package, state.output);
        if (status == ZPK_WORKING)
            return;
        if (status != ZPK_DONE)
            endWork(status);
        else if (!state.output.close()) // complete and verified; closed before anyone is told
            endWork(ZPK_ERR_WRITE_FAILED);
        else
            state.work = Work::ready;
        return;
    }
    case Work::ended:
        return;
    }
}

// Whether the next file would replace one already in the target directory.
bool nextReplacesAFile()
{
    if (state.work != Work::ready || state.begun == state.catalog.fileCount)
        return false;
    char path[kPathSize];
    entryPath(state.begun, path);
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// One piece of the unpacking. The signature is settled as soon as the hash
// is, and at the latest once the unpacking has ended or would replace a file
// that was there before: nothing of anyone else's is touched before it holds.
ZpkStatus unpackStep()
{
    if (!state.signatureHolds && (state.work == Work::ended || state.hash.done() || nextReplacesAFile())) {
        ZpkStatus status = state.hash.wait();
        if (status == ZPK_DONE && !state.check.verify(state.signature.bytes, state.signature.length))
            status = ZPK_ERR_BAD_SIGNATURE;
        if (status != ZPK_DONE)
            return abandon(status);
        state.signatureHolds = true;
    }
    if (state.work == Work::ended)
        state.phase = Phase::announcing;
    else
        unpackPiece();
    return ZPK_WORKING;
}

// Announces the next file written, or reports how the unpacking ended.
ZpkStatus announceNext(char* nameBuffer)
{
    if (state.announced == state.begun)
        return endWith(state.workStatus);
    const char* name = state.catalog.files[state.announced++].name;
    std::memcpy(nameBuffer, name, std::strlen(name) + 1);
    return ZPK_FILE_BEGUN;
}

} // namespace

extern "C" int __stdcall zunpack_init(char* name, const char* targetDir, int, int, int, int, int*)
{
    reset();
    state.phase = Phase::unpacking;
    if (name == nullptr || boundedLength(name, kNameBufferSize) == kNameBufferSize)
        return endWith(ZPK_ERR_PACKAGE_UNREADABLE);
    ZpkStatus status = setTargetDir(targetDir);
    if (status != ZPK_DONE)
        return endWith(status);
    if (!state.package.open(name))
        return endWith(ZPK_ERR_PACKAGE_UNREADABLE);
    std::memcpy(state.packageName, bareName(name), std::strlen(bareName(name)) + 1); // shorter than name
    // Without CNG, or with one that cannot take the key, nothing could check
    // the package: the system's lack, not the package's fault.
    if (!state.check.begin())
        return endWith(ZPK_ERR_NO_SIGNATURE_CHECK);
    status = findSignature(state.package, state.check.signatureBytes(), state.signature);
    if (status != ZPK_DONE)
        return endWith(status);
    state.hash.start(name, state.signature.signedLength, state.check);
    return ZPK_DONE;
}

extern "C" int __stdcall zunpack_exec(char* nameBuffer, int*)
{
    switch (state.phase) {
    case Phase::idle:
        return ZPK_ERR_NOT_READY;
    case Phase::over:
        return state.finalStatus;
    case Phase::unpacking:
        return nameBuffer == nullptr ? abandon(ZPK_ERR_NOT_READY) : unpackStep();
    case Phase::announcing:
        return nameBuffer == nullptr ? abandon(ZPK_ERR_NOT_READY) : announceNext(nameBuffer);
    }
    return ZPK_ERR_NOT_READY;
}

extern "C" int __stdcall zunpack_exit(void)
{
    if (state.phase == Phase::unpacking || state.phase == Phase::announcing)
        removeUnreported();
    reset();
    return 0;
}
