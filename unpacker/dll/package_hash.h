// Hashes the signed bytes of a package on a thread of its own, so that the
// library can unpack while the signature is still being checked.
//
// The thread reads the package through a handle of its own and feeds the
// signature check; the caller touches the check again only after wait().
#pragma once

#include <windows.h>

#include <cstdint>

#include "signature_check.h"
#include "win_file.h"
#include "zpk_status.h"

class PackageHash {
public:
    PackageHash() = default;
    ~PackageHash() { stop(); }
    PackageHash(const PackageHash&) = delete;
    PackageHash& operator=(const PackageHash&) = delete;

    // Starts hashing the first `length` bytes of the package at `path` into
    // `check`. Where no thread can be had, hashes them before it returns.
    void start(const char* path, std::uint64_t length, SignatureCheck& check);
    // Whether the hashing has ended.
    bool done() const;
    // Waits for the end. ZPK_DONE when every byte was read and hashed, else
    // ZPK_ERR_PACKAGE_UNREADABLE or ZPK_ERR_BAD_SIGNATURE.
    ZpkStatus wait();
    // Stops the hashing where it is and waits for the thread to end.
    void stop();

private:
    static DWORD WINAPI run(void* self);
    ZpkStatus hashAll();

    static constexpr std::size_t kPiece = 64 * 1024;
    HANDLE thread_ = nullptr;
    WinFileSource source_;
    SignatureCheck* check_ = nullptr;
    std::uint64_t length_ = 0;
    volatile LONG stopping_ = 0;
    ZpkStatus result_ = ZPK_DONE;
    unsigned char piece_[kPiece];
};
