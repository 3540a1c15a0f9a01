// Placeholder until the card reader lands: no reader ever opens.
#pragma once

extern int g_hCardReader;

void CreateCardReader();
void DeleteCardReader();
int OpenCardReader();
void WriteUserPort(int handle, int value);
