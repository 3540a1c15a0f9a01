#include "members/card_reader.h"

int g_hCardReader = -1;

void CreateCardReader() {}
void DeleteCardReader() {}
int OpenCardReader() { return -1; }
void WriteUserPort(int, int) {}
