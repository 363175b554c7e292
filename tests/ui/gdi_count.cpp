// Counting the process's GDI objects (see gdi_count.h).
#include "gdi_count.h"

#include <windows.h>

namespace {

// The layout of one entry of the GDI handle table (24 bytes on 64-bit).
struct GdiHandleEntry {
    unsigned long long object;
    unsigned long owner;
    unsigned short unique;
    unsigned char type; // 0: free
    unsigned char flags;
    unsigned long long userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);

constexpr int kMaxHandles = 0x10000;

const GdiHandleEntry* handleTable()
{
#if defined(__x86_64__)
    const unsigned char* peb;
    asm volatile("movq %%gs:0x60, %0" : "=r"(peb));
    // PEB.GdiSharedHandleTable
    return *reinterpret_cast<const GdiHandleEntry* const*>(peb + 0xF8);
#else
    return nullptr;
#endif
}

} // namespace

int gdiObjectCount()
{
    DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported > 0)
        return static_cast<int>(reported);
    const GdiHandleEntry* table = handleTable();
    if (!table)
        return -1;
    int used = 0;
    for (int i = 0; i < kMaxHandles; ++i)
        if (table[i].type != 0)
            ++used;
    return used;
}
