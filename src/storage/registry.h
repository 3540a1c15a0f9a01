// Registry lookups: the install folder and the COM port of the analyzer's USB-to-UART bridge.
#pragma once

// 1 when the key "SOFTWARE\Vantrel\Quelma\Settings" opened and its "Path" value was read
// (a key without the value counts as not found); the folder is stored in g_szInstallDir
// with a trailing backslash. 0 otherwise, g_szInstallDir then empty.
int ReadInstallDir();

// 1 and the zero-based port index when the bridge's port ("\Device\slabser0", else
// "\Device\silabser0" in HARDWARE\DEVICEMAP\SERIALCOMM) was found; 0 otherwise, *port
// untouched.
int SearchComPort(int* port);
