// The package's hashing thread (see package_hash.h).
#include "package_hash.h"

void PackageHash::start(const char* path, std::uint64_t length, SignatureCheck& check)
{
    stop();
    check_ = &check;
    length_ = length;
    stopping_ = 0;
    if (!source_.open(path)) {
        result_ = ZPK_ERR_PACKAGE_UNREADABLE;
        return;
    }
    // The thread needs little stack: the check's state lives in the provider.
    thread_ = CreateThread(nullptr, 256 * 1024, run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread_ == nullptr)
        result_ = hashAll();
}

DWORD WINAPI PackageHash::run(void* self)
{
    auto* hash = static_cast<PackageHash*>(self);
    hash->result_ = hash->hashAll();
    return 0;
}

ZpkStatus PackageHash::hashAll()
{
    for (std::uint64_t hashed = 0; hashed < length_;) {
        if (InterlockedCompareExchange(&stopping_, 0, 0) != 0)
            return ZPK_ERR_BAD_SIGNATURE; // never settled: not to be believed
        const std::uint64_t left = length_ - hashed;
        const std::size_t length = left < kPiece ? static_cast<std::size_t>(left) : kPiece;
        if (!source_.readAt(hashed, piece_, length))
            return ZPK_ERR_PACKAGE_UNREADABLE;
        if (!check_->hash(piece_, length))
            return ZPK_ERR_BAD_SIGNATURE;
        hashed += length;
    }
    return ZPK_DONE;
}

bool PackageHash::done() const
{
    return thread_ == nullptr || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
}

ZpkStatus PackageHash::wait()
{
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    source_.close();
    return result_;
}

void PackageHash::stop()
{
    InterlockedExchange(&stopping_, 1);
    wait();
    result_ = ZPK_ERR_BAD_SIGNATURE;
}
