// UpdateContext::ExpandToLongPath: a definition directory written out with the
// long name of every directory after its root, for the files-found dialog.
#include <windows.h>

#include "run/handles.h"
#include "run/update_context.h"

namespace {

constexpr std::size_t kRootLength = 3; // such as "C:\"

// Appends what fits of the first `count` characters of `source` and reports
// whether all of them did. The text is only shown, clipped by its rectangle, so
// a long form longer than the buffer is cut rather than refused.
bool appendCut(PathBuffer& dest, const char* source, std::size_t count)
{
    std::size_t used = textLength(dest);
    std::size_t room = sizeof dest - 1 - used;
    std::size_t taken = count < room ? count : room;
    for (std::size_t i = 0; i < taken; ++i)
        dest[used + i] = source[i];
    dest[used + taken] = '\0';
    return taken == count;
}

bool hasWildcard(const char* name)
{
    for (; *name; ++name)
        if (*name == '*' || *name == '?')
            return true;
    return false;
}

// `probe` is `resolved` followed by one name as the caller gave it. Appends the
// long form of that name and a backslash to `resolved`. A name that cannot be
// looked up (gone from the disk, cut short, or holding wildcards, which would
// find some other directory) is kept as it was given.
void resolveName(PathBuffer& resolved, const PathBuffer& probe, bool probeComplete)
{
    const char* name = probe + textLength(resolved);
    WIN32_FIND_DATAA found;
    if (probeComplete && *name && !hasWildcard(name)) {
        // Only the name is wanted; the search is closed again at once.
        FindHandle search(FindFirstFileA(probe, &found));
        if (search.valid())
            name = found.cFileName;
    }
    appendCut(resolved, name, textLength(name));
    appendCut(resolved, "\\", 1);
}

} // namespace

void UpdateContext::ExpandToLongPath(const char* path, PathBuffer& result) const
{
    PathBuffer resolved = "";
    PathBuffer probe = "";

    const std::size_t length = textLength(path);
    const std::size_t rootLength = length < kRootLength ? length : kRootLength;
    appendCut(resolved, path, rootLength);
    appendCut(probe, path, rootLength);

    bool probeComplete = true;
    bool namePending = false;
    for (std::size_t i = rootLength; i < length; ++i) {
        if (path[i] != '\\') {
            probeComplete = appendCut(probe, path + i, 1) && probeComplete;
            namePending = true;
            continue;
        }
        resolveName(resolved, probe, probeComplete);
        copyText(probe, resolved); // same size: always fits
        probeComplete = true;
        namePending = false;
    }
    // A path without its trailing backslash: the last name is resolved at the
    // end of the text, and the result still ends with a backslash.
    if (namePending)
        resolveName(resolved, probe, probeComplete);

    copyText(result, resolved);
}
