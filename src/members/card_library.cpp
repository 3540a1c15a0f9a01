#include "members/card_library.h"

CardLibrary::CardLibrary(const char* fileName) : module_(fileName) {
    open_ = module_.Proc<OpenFn>("ACR120_Open");
    select_ = module_.Proc<SelectFn>("ACR120_Select");
    login_ = module_.Proc<LoginFn>("ACR120_Login");
    read_ = module_.Proc<ReadFn>("ACR120_Read");
    write_ = module_.Proc<WriteFn>("ACR120_Write");
    writeUserPort_ = module_.Proc<WriteUserPortFn>("ACR120_WriteUserPort");
    // A library missing any entry is not the reader's: use none of it.
    loaded_ = open_ && select_ && login_ && read_ && write_ && writeUserPort_;
}

int16_t CardLibrary::Open(int16_t port) const {
    return loaded_ ? open_(port) : kMissing;
}

int16_t CardLibrary::Select(int16_t handle, uint8_t& type, uint8_t& serialLength,
                            uint8_t (&serial)[kSerialRoom]) const {
    return loaded_ ? select_(handle, &type, &serialLength, serial) : kMissing;
}

int16_t CardLibrary::Login(int16_t handle, uint8_t sector, uint8_t keyType, uint8_t storedKey,
                           uint8_t (&key)[6]) const {
    return loaded_ ? login_(handle, sector, keyType, storedKey, key) : kMissing;
}

int16_t CardLibrary::Read(int16_t handle, uint8_t block, uint8_t (&data)[16]) const {
    return loaded_ ? read_(handle, block, data) : kMissing;
}

int16_t CardLibrary::Write(int16_t handle, uint8_t block, uint8_t (&data)[16]) const {
    return loaded_ ? write_(handle, block, data) : kMissing;
}

void CardLibrary::WriteUserPort(int16_t handle, uint8_t value) const {
    if (loaded_)
        writeUserPort_(handle, value);
}
