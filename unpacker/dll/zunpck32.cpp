// zunpck32.dll: the three entry points and the state of one unpacking.
//
// zunpack_init opens the package and finds the maker's signature at its end.
// Each zunpack_exec call then does one bounded piece: hash up to 32 KiB of the
// signed bytes (3), and once the signature holds, check the whole package
// (readCatalog, 3); then announce a file (2), write up to 64 KiB of it (3), or
// report the end (0) or a failure. Nothing of the package is believed, and
// nothing written, before its signature holds. All state lives in static
// storage, one unpacking at a time, and zunpack_exit clears it.
#include <windows.h>

#include <cstring>

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
    idle,      // no zunpack_init, or after zunpack_exit
    verifying, // the signed bytes are being hashed; then the signature and the catalog are checked
    ready,     // package checked; the next call announces a file or ends
    writing,   // a file is announced and being written
    over,      // ended with 0 or a failure; the same status is returned again
};

struct Unpacking {
    Phase phase = Phase::idle;
    ZpkStatus finalStatus = ZPK_DONE;
    char targetDir[kPathSize] = {};
    WinFileSource package;
    char packageName[kNameBufferSize] = {};
    SignatureCheck check;
    ZpkSignature signature;
    std::uint64_t hashed = 0; // signed bytes hashed so far
    ZpkCatalog catalog;
    int next = 0; // index of the file to announce next
    ZpkExtractor extractor;
    WinFileSink output;
    // The file announced last: removed on failure, since the caller abandons it.
    char announcedPath[kPathSize] = {};
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

void closeAll()
{
    state.check.end();
    state.extractor.end();
    state.output.close();
    state.package.close();
}

void forgetAnnounced()
{
    state.announcedPath[0] = '\0';
}

void removeAnnounced()
{
    if (state.announcedPath[0] != '\0')
        DeleteFileA(state.announcedPath);
    forgetAnnounced();
}

ZpkStatus failWith(ZpkStatus status)
{
    closeAll();
    removeAnnounced();
    state.phase = Phase::over;
    state.finalStatus = status;
    return status;
}

void reset()
{
    closeAll();
    state.phase = Phase::idle;
    state.finalStatus = ZPK_DONE;
    state.targetDir[0] = '\0';
    state.packageName[0] = '\0';
    state.signature = ZpkSignature{};
    state.hashed = 0;
    state.catalog = ZpkCatalog{};
    state.next = 0;
    forgetAnnounced();
}

// Announces the next file, or reports the end. Until the next file has begun,
// the previous one stays the file announced last: if the next cannot begin,
// the caller abandons the previous one too, so it is removed with the failure.
ZpkStatus beginNext(char* nameBuffer)
{
    if (state.next == state.catalog.fileCount) {
        forgetAnnounced(); // complete, and the 0 tells the caller so
        closeAll();
        state.phase = Phase::over;
        state.finalStatus = ZPK_DONE;
        return ZPK_DONE;
    }
    const ZpkEntry& entry = state.catalog.files[state.next];
    // Fits: the target directory left room for a bare name of 31 characters.
    char path[kPathSize];
    std::size_t dirLength = std::strlen(state.targetDir);
    std::size_t nameLength = std::strlen(entry.name);
    std::memcpy(path, state.targetDir, dirLength);
    std::memcpy(path + dirLength, entry.name, nameLength + 1);

    ZpkStatus status = state.output.create(path);
    if (status != ZPK_DONE)
        return failWith(status); // nothing of ours at `path`: whatever is there stays
    status = state.extractor.begin(entry);
    if (status != ZPK_DONE) {
        state.output.close();
        DeleteFileA(path);
        return failWith(status);
    }
    std::memcpy(state.announcedPath, path, dirLength + nameLength + 1);
    std::memcpy(nameBuffer, entry.name, nameLength + 1);
    state.phase = Phase::writing;
    return ZPK_FILE_BEGUN;
}

// Hashes the next piece of the signed bytes; after the last, checks the
// signature and then the package itself.
ZpkStatus verifyStep()
{
    static unsigned char piece[ZpkExtractor::kInputChunk];
    const std::uint64_t left = state.signature.signedLength - state.hashed;
    if (left > 0) {
        const std::size_t length = left < sizeof piece ? static_cast<std::size_t>(left) : sizeof piece;
        if (!state.package.readAt(state.hashed, piece, length))
            return failWith(ZPK_ERR_PACKAGE_UNREADABLE);
        if (!state.check.hash(piece, length))
            return failWith(ZPK_ERR_BAD_SIGNATURE);
        state.hashed += length;
        return ZPK_WORKING;
    }
    if (!state.check.verify(state.signature.bytes, state.signature.length))
        return failWith(ZPK_ERR_BAD_SIGNATURE);
    ZpkStatus status = readCatalog(state.package, state.catalog, state.packageName);
    if (status != ZPK_DONE)
        return failWith(status);
    state.phase = Phase::ready;
    return ZPK_WORKING;
}

} // namespace

extern "C" int __stdcall zunpack_init(char* name, const char* targetDir, int, int, int, int, int*)
{
    reset();
    state.phase = Phase::ready;
    if (name == nullptr || boundedLength(name, kNameBufferSize) == kNameBufferSize)
        return failWith(ZPK_ERR_PACKAGE_UNREADABLE);
    ZpkStatus status = setTargetDir(targetDir);
    if (status != ZPK_DONE)
        return failWith(status);
    if (!state.package.open(name))
        return failWith(ZPK_ERR_PACKAGE_UNREADABLE);
    std::memcpy(state.packageName, bareName(name), std::strlen(bareName(name)) + 1); // shorter than name
    // A key the system cannot use leaves nothing to check the package against.
    if (!state.check.begin())
        return failWith(ZPK_ERR_BAD_SIGNATURE);
    status = findSignature(state.package, state.check.signatureBytes(), state.signature);
    if (status != ZPK_DONE)
        return failWith(status);
    state.phase = Phase::verifying;
    return ZPK_DONE;
}

extern "C" int __stdcall zunpack_exec(char* nameBuffer, int*)
{
    switch (state.phase) {
    case Phase::idle:
        return ZPK_ERR_NOT_READY;
    case Phase::over:
        return state.finalStatus;
    case Phase::verifying:
        return nameBuffer == nullptr ? failWith(ZPK_ERR_NOT_READY) : verifyStep();
    case Phase::ready:
    case Phase::writing:
        break;
    }
    if (nameBuffer == nullptr)
        return failWith(ZPK_ERR_NOT_READY);
    if (state.phase == Phase::ready)
        return beginNext(nameBuffer);

    ZpkStatus status = state.extractor.step(state.package, state.output);
    if (status == ZPK_WORKING)
        return ZPK_WORKING;
    if (status != ZPK_DONE)
        return failWith(status);
    // Complete and verified; closed before anyone is told.
    if (!state.output.close())
        return failWith(ZPK_ERR_WRITE_FAILED);
    ++state.next;
    return beginNext(nameBuffer);
}

extern "C" int __stdcall zunpack_exit(void)
{
    // A file still being written was never reported complete.
    if (state.phase == Phase::writing) {
        state.output.close();
        removeAnnounced();
    }
    reset();
    return 0;
}
