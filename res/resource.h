/* Resource ids shared by the resource script and the program. */
#ifndef DEFPATCH_RESOURCE_H
#define DEFPATCH_RESOURCE_H

#define IDD_WELCOME          101
#define IDD_FILES_FOUND      102
#define IDD_UPDATE_COMPLETE  103
#define IDB_WELCOME          106
#define IDD_NO_FILES_UPDATED 107

#define IDC_CREATE_BACKUP    1005
#define IDC_VIEW_README      1006

#endif
