// The stack protector's guard and failure routine for DefPatch.exe and
// zunpck32.dll, and the module entry that sets the guard.
//
// Code compiled with -fstack-protector keeps a copy of __stack_chk_guard
// below a function's buffers and compares it with the guard before the
// function returns: a buffer overrun that reached the return address has
// changed the copy, and __stack_chk_fail ends the process before the return
// address is used. GCC's own libssp sets the guard from CryptoAPI's random
// bytes, which loads a CryptoAPI provider into every run; this sets it as
// Windows' own compilers set their cookie, from the time, the process and
// thread, the tick and performance counters, and the stack's and module's
// addresses (random with ASLR). It is set in the module's entry, before the
// C runtime starts and runs any of the module's code: a protected function
// that began under one guard and returned under another would fail its check.
//
// DEFPATCH_GUARD_DLL: the entry of a DLL, else of a GUI program.
#include <windows.h>

#include <cstdint>

namespace {

// The value it has until set, as Windows' compilers have it.
constexpr std::uintptr_t kDefaultGuard = 0xBB40E64Eu;
// What Windows reports for a process ended by a stack buffer overrun.
constexpr UINT kStackBufferOverrun = 0xC0000409u;

} // namespace

extern "C" {

std::uintptr_t __stack_chk_guard = kDefaultGuard;

[[noreturn]] void __stack_chk_fail(void)
{
    // Nothing of the program runs after this: no handler, no exit routine.
    TerminateProcess(GetCurrentProcess(), kStackBufferOverrun);
    for (;;)
        ;
}

__attribute__((no_stack_protector)) static void setGuard(const void* module)
{
    FILETIME time;
    LARGE_INTEGER counter;
    GetSystemTimeAsFileTime(&time);
    QueryPerformanceCounter(&counter);
    const std::uintptr_t guard = time.dwLowDateTime ^ time.dwHighDateTime ^ GetCurrentProcessId() ^
                                 GetCurrentThreadId() ^ GetTickCount() ^ counter.LowPart ^
                                 static_cast<std::uintptr_t>(counter.HighPart) ^
                                 reinterpret_cast<std::uintptr_t>(&time) ^ reinterpret_cast<std::uintptr_t>(module);
    __stack_chk_guard = guard != 0 && guard != kDefaultGuard ? guard : kDefaultGuard + 1;
}

#ifdef DEFPATCH_GUARD_DLL
BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved);

__attribute__((no_stack_protector)) BOOL WINAPI defpatchDllEntry(HANDLE module, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        setGuard(module);
    return DllMainCRTStartup(module, reason, reserved);
}
#else
int WinMainCRTStartup(void);

__attribute__((no_stack_protector)) int defpatchProgramEntry(void)
{
    setGuard(GetModuleHandleA(nullptr));
    return WinMainCRTStartup();
}
#endif

} // extern "C"
