/* zunpck32.dll: the unpacker library that DefPatch loads at run time.
 *
 * A package ("virusdef.zpk") is a standard ZIP archive. The library checks the
 * whole package before it writes anything, then unpacks its files one by one,
 * directly into the target directory, and announces each as it begins.
 *
 * Calls, all __stdcall and exported under exactly these names:
 *   zunpack_init(name, targetDir, 0, 10, 0, 10, &var)
 *       name: the package's file name, relative to the current directory;
 *       targetDir: where the files go, ending with a backslash. Opens and
 *       checks the package. Returns 0, or the failure that zunpack_exec will
 *       report. The four numbers and var are accepted and not used.
 *   zunpack_exec(nameBuffer, &var)
 *       Does one bounded piece of work and returns a status:
 *         2  a new file has begun; its bare name (at most 31 characters) is in
 *            nameBuffer (128 characters). The file announced before it, if
 *            any, is complete on disk: written, closed, CRC-32 verified.
 *         3  the current file is being written; call again.
 *         0  unpacking is over; the file announced last is complete.
 *         other  a failure, one of the numbers in core/zpk_status.h. The file
 *            announced last has been removed; the files completed before it
 *            stay. Every further call returns the same number.
 *   zunpack_exit()
 *       Ends the unpacking, closes everything and forgets the package, so a
 *       new zunpack_init may follow. A file still being written is removed.
 *
 * The library writes at most 19 files of at most 256 MiB in all, and never
 * anywhere but in the target directory. */
#ifndef ZUNPCK32_H
#define ZUNPCK32_H

#include "core/zpk_status.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int(__stdcall* ZunpackInitProc)(char* name, const char* targetDir, int, int, int, int, int* var);
typedef int(__stdcall* ZunpackExecProc)(char* nameBuffer, int* var);
typedef int(__stdcall* ZunpackExitProc)(void);

#ifdef ZUNPCK32_BUILDING
int __stdcall zunpack_init(char* name, const char* targetDir, int, int, int, int, int* var);
int __stdcall zunpack_exec(char* nameBuffer, int* var);
int __stdcall zunpack_exit(void);
#endif

#ifdef __cplusplus
}
#endif

#endif
