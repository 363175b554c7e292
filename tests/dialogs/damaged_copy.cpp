// Damaging a dialog template in a copy of the program (see damaged_copy.h).
#include "damaged_copy.h"

#include <windows.h>

#include <cstring>

#include "harness/scratch.h"

namespace {

template <typename T> bool readAt(const std::string& image, size_t offset, T& value)
{
    if (offset > image.size() || image.size() - offset < sizeof value)
        return false;
    std::memcpy(&value, image.data() + offset, sizeof value);
    return true;
}

// The file offset of the resource section's data at `rva`.
bool fileOffsetOf(const std::string& image, size_t sections, int sectionCount, DWORD rva, size_t& offset)
{
    for (int i = 0; i < sectionCount; ++i) {
        IMAGE_SECTION_HEADER section;
        if (!readAt(image, sections + i * sizeof section, section))
            return false;
        if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData) {
            offset = rva - section.VirtualAddress + section.PointerToRawData;
            return true;
        }
    }
    return false;
}

// The entry with the integer id `id` in the resource directory at `directory`.
bool findEntry(const std::string& image, size_t directory, WORD id, IMAGE_RESOURCE_DIRECTORY_ENTRY& found)
{
    IMAGE_RESOURCE_DIRECTORY header;
    if (!readAt(image, directory, header))
        return false;
    const size_t first = directory + sizeof header;
    for (int i = 0; i < header.NumberOfNamedEntries + header.NumberOfIdEntries; ++i) {
        IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
        if (!readAt(image, first + i * sizeof entry, entry))
            return false;
        if (!entry.NameIsString && entry.Id == id) {
            found = entry;
            return true;
        }
    }
    return false;
}

} // namespace

bool damageDialogTemplate(const std::string& exe, int templateId)
{
    std::string image = readFile(exe);
    IMAGE_DOS_HEADER dos;
    if (!readAt(image, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE)
        return false;
    IMAGE_FILE_HEADER file;
    WORD magic = 0;
    const size_t fileHeader = dos.e_lfanew + sizeof(DWORD);
    if (!readAt(image, fileHeader, file) || !readAt(image, fileHeader + sizeof file, magic))
        return false;
    const size_t optional = fileHeader + sizeof file;
    IMAGE_DATA_DIRECTORY resources;
    size_t directories = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                             ? optional + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                             : optional + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    if (!readAt(image, directories + IMAGE_DIRECTORY_ENTRY_RESOURCE * sizeof resources, resources))
        return false;
    const size_t sections = optional + file.SizeOfOptionalHeader;

    size_t root = 0;
    if (!fileOffsetOf(image, sections, file.NumberOfSections, resources.VirtualAddress, root))
        return false;
    IMAGE_RESOURCE_DIRECTORY_ENTRY type, name, language;
    if (!findEntry(image, root, 5 /* RT_DIALOG */, type) || !type.DataIsDirectory)
        return false;
    if (!findEntry(image, root + type.OffsetToDirectory, static_cast<WORD>(templateId), name) ||
        !name.DataIsDirectory)
        return false;
    if (!readAt(image, root + name.OffsetToDirectory + sizeof(IMAGE_RESOURCE_DIRECTORY), language))
        return false;
    IMAGE_RESOURCE_DATA_ENTRY data;
    size_t start = 0;
    if (!readAt(image, root + language.OffsetToData, data) ||
        !fileOffsetOf(image, sections, file.NumberOfSections, data.OffsetToData, start))
        return false;

    // The first class a control names, stored by name ("BUTTON") or by ordinal
    // (0xFFFF 0x0080), becomes a class nobody registered.
    const std::string button("B\0U\0T\0T\0O\0N\0", 12);
    const std::string ordinal("\xFF\xFF\x80\x00", 4);
    size_t at = image.find(button, start);
    if (at != std::string::npos && at < start + data.Size) {
        image[at + 10] = 'X';
    } else {
        at = image.find(ordinal, start);
        if (at == std::string::npos || at >= start + data.Size)
            return false;
        image[at + 2] = '\x7F'; // no predefined class has this ordinal
    }
    return writeFile(exe, image);
}
