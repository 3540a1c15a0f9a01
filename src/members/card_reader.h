// The contactless ID card reader: one program-wide wrapper around the reader's library and
// the program-wide reader handle. The wrapper keeps no card state; every operation works on
// the caller's identity fields and the handle it is given.
#pragma once

#include "members/card_identity.h"
#include "members/card_library.h"

#include <cstdint>

// Handle returned by the reader's open, sign-extended; negative while no reader is open.
extern int g_hCardReader;

constexpr uint8_t kUserPortIdle = 0x00;
constexpr uint8_t kUserPortCardRead = 0x44;

class CNCIDCard {
  public:
    explicit CNCIDCard(const char* libraryName = kCardLibraryName) : library_(libraryName) {}

    // Opens reader port 0; the handle, or a negative value (also when the library is absent).
    int Open();

    // True for a card of an accepted type with a 4-byte serial, which goes into CardSerial.
    // Nothing else of the identity changes.
    bool SelectCard(const CardIdentityRef& identity, int handle) const;
    // Reads the card selected just before into ID and Name; true when its record is valid.
    // ID and Name receive the card's text even when it is not.
    bool ReadCard(const CardIdentityRef& identity, int handle) const;
    // Writes ID and Name onto the card selected just before. Blocks written before a failure
    // stay written.
    bool WriteCard(const CardIdentityView& identity, int handle) const;
    // Select then read with g_hCardReader; no library call at all while no reader is open.
    bool PollCard(const CardIdentityRef& identity) const;

    void WriteUserPort(int handle, uint8_t value) const;
    // Tells the operator a card was read: 0x44 for 10 ms, then everything off.
    void Acknowledge(int handle) const;

  private:
    CardLibrary library_;
};

// The program-wide wrapper, null outside CreateCardReader .. DeleteCardReader.
CNCIDCard* CardReader();
void CreateCardReader();
void DeleteCardReader();

// Shorthands for the start-up and hiding paths, harmless without a reader object.
int OpenCardReader();
void WriteUserPort(int handle, int value);
