// Texts for the status numbers of zpk_status.h.
#include "zpk_status_text.h"

#include "zpk_status.h"

const char* zpkStatusText(int status)
{
    switch (status) {
    case ZPK_DONE: return "done";
    case ZPK_FILE_BEGUN: return "a file has begun";
    case ZPK_WORKING: return "writing a file";
    case ZPK_ERR_NOT_READY: return "called without a successful zunpack_init";
    case ZPK_ERR_PACKAGE_UNREADABLE: return "package is missing or unreadable";
    case ZPK_ERR_NOT_A_PACKAGE: return "not a valid package (not a ZIP archive, or damaged or cut short)";
    case ZPK_ERR_UNSUPPORTED: return "unsupported entry (encrypted, ZIP64, split, or a method other than stored or deflated)";
    case ZPK_ERR_TOO_MANY_FILES: return "too many files (at most 19, and 64 entries in all)";
    case ZPK_ERR_BAD_NAME: return "a file name the unpacker may not write";
    case ZPK_ERR_DUPLICATE_NAME: return "two files with the same name (case ignored), or a file named like the package";
    case ZPK_ERR_TOO_LARGE: return "files too large (256 MiB in all), or sizes that the data cannot hold";
    case ZPK_ERR_CRC_MISMATCH: return "CRC-32 mismatch: a file's content is damaged";
    case ZPK_ERR_DATA_DAMAGED: return "compressed data damaged, or not of the declared size";
    case ZPK_ERR_WRITE_FAILED: return "a file cannot be created or written in the target directory";
    case ZPK_ERR_DISK_FULL: return "the target disk is full";
    case ZPK_ERR_BAD_TARGET: return "the target directory is missing or its path is too long";
    case ZPK_ERR_OUT_OF_MEMORY: return "out of memory";
    case ZPK_ERR_NOT_SIGNED: return "not signed: the package does not end in the maker's signature";
    case ZPK_ERR_BAD_SIGNATURE: return "the signature does not hold: changed after signing, or signed with another key";
    case ZPK_ERR_NO_SIGNATURE_CHECK: return "this version of Windows cannot check the update's signature";
    default: return "unknown status";
    }
}
