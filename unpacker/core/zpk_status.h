/* The status numbers of the unpacker.
 *
 * zunpack_exec returns one of these. 2, 3 and 0 drive the caller's loop; every
 * other number is a failure, shown to the user by DefPatch as a plain number, so
 * each one has a meaning of its own that an administrator can look up here or in
 * unpacker/README.md. The numbers never change meaning between versions.
 *
 * Plain C so that a C caller of zunpck32.dll can use it too. */
#ifndef ZPK_STATUS_H
#define ZPK_STATUS_H

enum ZpkStatus {
    ZPK_DONE = 0,            /* unpacking is over; the file announced last is complete */
    ZPK_FILE_BEGUN = 2,      /* a new file has begun; its bare name is in the name buffer */
    ZPK_WORKING = 3,         /* the current file is being written; call again */

    ZPK_ERR_NOT_READY = 10,          /* called without a successful zunpack_init, or with a null buffer */
    ZPK_ERR_PACKAGE_UNREADABLE = 11, /* the package is missing or cannot be opened or read */
    ZPK_ERR_NOT_A_PACKAGE = 12,      /* not a ZIP archive, or its structure is broken or truncated */
    ZPK_ERR_UNSUPPORTED = 13,        /* an entry is encrypted, uses ZIP64 or spanning, or a method
                                        other than stored or deflated */
    ZPK_ERR_TOO_MANY_FILES = 14,     /* more than 19 files (or more than 64 entries in all) */
    ZPK_ERR_BAD_NAME = 15,           /* a name is empty, too long, a path outside the target,
                                        a device name, or has characters Windows forbids */
    ZPK_ERR_DUPLICATE_NAME = 16,     /* two files would get the same name (case ignored) */
    ZPK_ERR_TOO_LARGE = 17,          /* the files add up to more than the cap, or an entry claims
                                        more than its compressed data can hold */
    ZPK_ERR_CRC_MISMATCH = 18,       /* a file's content does not match its CRC-32 */
    ZPK_ERR_DATA_DAMAGED = 19,       /* a file's compressed data is broken or gives another size
                                        than declared */
    ZPK_ERR_WRITE_FAILED = 20,       /* a file cannot be created or written in the target directory
                                        (read-only file, directory in the way, no access) */
    ZPK_ERR_DISK_FULL = 21,          /* the target volume ran out of space */
    ZPK_ERR_BAD_TARGET = 22,         /* the target directory is empty or its path too long */
    ZPK_ERR_OUT_OF_MEMORY = 23,      /* the decompressor could not get its working memory */
    ZPK_ERR_NOT_SIGNED = 24,         /* the package does not end in the maker's signature block */
    ZPK_ERR_BAD_SIGNATURE = 25,      /* the signature does not hold: the package was changed after
                                        it was signed, or signed with another key */
    ZPK_ERR_NO_SIGNATURE_CHECK = 26  /* this version of Windows cannot check the update's signature
                                        (no CNG in its system directory) */
};

#endif
