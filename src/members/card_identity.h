// The part of a member slot or measurement record that a card operation reads or writes.
// MemberEntry, MeasureRecord and CardIdentity all begin with the same three fields; binding
// references to them (rather than casting one record to another) keeps each caller's type.
#pragma once

#include <cstdint>

struct CardIdentityRef {
    template <typename Record>
    explicit CardIdentityRef(Record& record)
        : ID(record.ID), Name(record.Name), CardSerial(record.CardSerial) {}

    char (&ID)[10];
    char (&Name)[20];
    uint8_t (&CardSerial)[4];
};

struct CardIdentityView {
    template <typename Record>
    explicit CardIdentityView(const Record& record) : ID(record.ID), Name(record.Name) {}
    explicit CardIdentityView(const CardIdentityRef& ref) : ID(ref.ID), Name(ref.Name) {}

    const char (&ID)[10];
    const char (&Name)[20];
};
