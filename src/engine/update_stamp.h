// UpdateStamp: the update's own time (the last-write time of the program's file),
// its date as text, and the list of names of the files the engine places in the
// temporary directory, so that it can transfer and later delete exactly those.
#pragma once

#include <windows.h>

class UpdateStamp {
public:
    static constexpr int kMaxNames = 20;  // the package and at most 19 unpacked files
    static constexpr int kNameSize = 32;  // 31 characters and the terminator

    // Takes the update time from the running program's own file; in diagnostic
    // mode shows the date. When the file or its time cannot be read the time is
    // unknown: see setUpdateTime.
    UpdateStamp();

    // Sets the update time and the date derived from it. A zero time means
    // "unknown": the date is then 0/0/1980, only files carrying a zero time count
    // as not newer, and stampFile leaves every time as it is (SetFileTime takes
    // a zero time as "do not change").
    void setUpdateTime(FILETIME time);

    // Gives the file the update time as its creation, last-access and last-write
    // time; a file that cannot be opened for writing keeps its times, silently.
    void stampFile(const char* fileName) const;

    // Records the part of `path` after its last backslash; an empty path records
    // nothing. Returns 1, or 0 when the name cannot be recorded (the list is
    // full or the name has more than 31 characters).
    int addFileName(const char* path);

    // Copies the next recorded name into `buffer` (at least kNameSize characters)
    // and returns 1; returns 0, with buffer and cursor untouched, at the end.
    int nextFileName(char* buffer);
    void setCursor(int index);

    // 1 when `fileTime` is earlier than or equal to the update time, compared as
    // full 64-bit times; equal times count as not newer.
    int isNotNewer(FILETIME fileTime) const;

    // Records the date as "DravomLibraryDate": always 10 bytes of dateText.
    void writeLibraryDate() const;

    FILETIME updateTime;
    char fileNames[kMaxNames][kNameSize];
    int fileCount;
    int cursor;
    int day;
    int month;
    int year;
    char dateText[32];
};

// Day, month and year offset (from 1980) of a UTC file time, by its DOS date.
// A time outside the DOS range (before 1980, after 2107) gives zeros. Returns 1.
int fileTimeToDayMonthYear(FILETIME fileTime, unsigned char* day, unsigned char* month,
                           unsigned char* yearOffset);

// The registry's "DravomLibraryDate" exactly as it was: absent, or its type
// and bytes whatever they are; Unknown when it is there but cannot be read
// whole (longer than kMaxBytes, or no access).
struct LibraryDate {
    static constexpr DWORD kMaxBytes = 256;
    enum class State { Absent, Present, Unknown };
    State state;
    DWORD type;
    DWORD size;
    BYTE data[kMaxBytes];
};
void readLibraryDate(LibraryDate& value);

// Gives the registry back a value read by readLibraryDate (Absent removes it);
// false when it could not be written.
bool restoreLibraryDate(const LibraryDate& value);

// Whether a file's last-write time is the update's, as the file's volume keeps
// it: exactly, or within the 2 seconds to which FAT keeps times, and, since
// FAT keeps local time, also an hour either way of it (a change of daylight
// saving time between the update and now). The 100-nanosecond rule that
// decides what an update replaces does not use this.
bool carriesUpdateTime(FILETIME fileTime, FILETIME updateTime);

// A file time's UTC date, as the program shows it: month/day/year.
struct Date {
    int month, day, year;
};
Date dateOf(FILETIME fileTime);

// The last-write time of the running program's own file, the update's time.
enum class OwnFileTime { Read, NoFile, NoTime };
OwnFileTime readOwnFileTime(FILETIME* time);
