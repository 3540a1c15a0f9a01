// The free bytes of the volume the program keeps its files on, asked before a measurement
// starts. Tests replace the query through SetFreeSpaceQuery: in-process, or in the test
// build quelma_seams.exe from the environment (tests/seams).
#pragma once

#include <cstdint>

struct FreeSpace {
    bool known = false;
    uint64_t bytes = 0;
};

using FreeSpaceQuery = FreeSpace (*)();

// Total free bytes of "C:\" (not the caller's quota), through GetDiskFreeSpaceExA looked up
// in kernel32 at run time; unknown when the function is missing or fails.
FreeSpace QueryFreeSpace();
// Replaces the query; null restores the system's.
void SetFreeSpaceQuery(FreeSpaceQuery query);

// A decimal byte count with nothing else around it; false for anything else (empty, signs,
// blanks, letters, more than 64 bits).
bool ParseFreeBytes(const char* text, uint64_t* bytes);
