// What lies on the virtual reader and which faults to play, read afresh at every call from
// reader.txt in the card folder:
//   card=alice          alice.card lies on the reader (no line or empty: no card)
//   handle=0            handle that a successful open returns (default 0)
//   fault=open          the open fails
//   fault=nocard        the select finds no card
//   fault=login:2       the login to sector 2 fails (as with a wrong key)
//   fault=read:6        reading block 6 fails
//   fault=write:8       writing block 8 fails
//   fault=type:4        the select reports card type 4
//   fault=serial7       the select reports a 7-byte serial number
// Several faults may share one line, separated by commas.
#pragma once

#include <string>
#include <vector>

struct ReaderControl {
    std::string card;
    int handle = 0;
    bool failOpen = false;
    bool noCard = false;
    bool serial7 = false;
    int forcedType = -1;
    std::vector<int> failLogins;
    std::vector<int> failReads;
    std::vector<int> failWrites;

    bool Has(const std::vector<int>& list, int value) const;
};

// The card folder: %QUELMA_CARD_DIR% (a Unix path is taken as one on drive Z:), else
// "cards" beside the library. Ends with a backslash.
std::string CardFolder();

ReaderControl ReadReaderControl(const std::string& folder);

void AppendLine(const std::string& path, const std::string& line);
