// Resource identifiers shared by the resource scripts and the code. The numbers are fixed:
// stored files, tests and drivers outside the program refer to them.
#pragma once

// Application: icon, toolbar, its 16-colour strip, document template.
#define IDR_MAINFRAME 128
#define IDB_TOOLBAR_NORMAL 130
#define IDB_TOOLBAR_HOT 131
#define IDB_TOOLBAR_DISABLED 132
#define IDB_ARROW_UP 134
#define IDB_ARROW_DOWN 186

// Button pictures.
#define IDB_BACKUP 187
#define IDB_EXIT 188
#define IDB_DELETE 189
#define IDB_REGISTER 190
#define IDB_MEMBER 191
#define IDB_START 192
#define IDB_FILE 193
#define IDB_FILTER 194
#define IDB_PRINT 195
#define IDB_EXCEL 196
#define IDB_CSV 198

// Dialog templates.
#define IDD_REGISTRATION 133
#define IDD_RESULT 152
#define IDD_SETTING 171
#define IDD_BACKUP 178
#define IDD_SELECT 182
#define IDD_MEASURE 197

// Toolbar commands.
#define ID_CMD_UNUSED1 32771
#define ID_CMD_UNUSED2 32772
#define ID_CMD_REGISTRATION 32773
#define ID_CMD_MEASURE 32774
#define ID_CMD_RESULT 32775
#define ID_CMD_SETTING 32776
#define ID_CMD_BACKUP 32777
#define ID_CMD_EXIT 32778

// Internal commands between windows (WM_COMMAND, lParam 0).
#define ID_CMD_RXOK 32781
#define ID_CMD_DISP_RES 32782
#define ID_CMD_CP 32783
#define ID_CMD_PORT_LOST 32784

#define IDS_APP_TITLE 57344
