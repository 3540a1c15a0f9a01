// The contactless reader's library, ACR120U.dll, loaded at run time so that the program
// starts and runs without it. Every entry returns a 16-bit signed status (negative means
// failure) and takes the reader handle as a 16-bit value. The entries use __stdcall, the
// convention of such Windows device libraries (it only changes anything in 32-bit builds).
#pragma once

#include "framework/handles.h"

#include <cstdint>
#include <string>

inline constexpr char kCardLibraryName[] = "ACR120U.dll";

class CardLibrary {
  public:
    using OpenFn = int16_t(__stdcall*)(int16_t port);
    using SelectFn = int16_t(__stdcall*)(int16_t handle, uint8_t* type, uint8_t* serialLength,
                                         uint8_t* serial);
    using LoginFn = int16_t(__stdcall*)(int16_t handle, uint8_t sector, uint8_t keyType,
                                        uint8_t storedKey, uint8_t* key);
    using ReadFn = int16_t(__stdcall*)(int16_t handle, uint8_t block, uint8_t* data);
    using WriteFn = int16_t(__stdcall*)(int16_t handle, uint8_t block, uint8_t* data);
    using WriteUserPortFn = int16_t(__stdcall*)(int16_t handle, uint8_t value);

    static constexpr int16_t kMissing = -1; // status of any call when the library is absent
    static constexpr int kSerialRoom = 12;

    // Nothing is loaded yet: the library is looked for by the first Open, that is only
    // once the card system is switched on.
    explicit CardLibrary(const char* fileName = kCardLibraryName) : fileName_(fileName) {}
    CardLibrary(const CardLibrary&) = delete;
    CardLibrary& operator=(const CardLibrary&) = delete;

    // True when the library and all six entries were found.
    bool Loaded() const { return loaded_; }

    // Loads the library (if not yet loaded) from the program's folder or the system folder
    // only, then opens the reader.
    int16_t Open(int16_t port);
    int16_t Select(int16_t handle, uint8_t& type, uint8_t& serialLength,
                   uint8_t (&serial)[kSerialRoom]) const;
    int16_t Login(int16_t handle, uint8_t sector, uint8_t keyType, uint8_t storedKey,
                  uint8_t (&key)[6]) const;
    int16_t Read(int16_t handle, uint8_t block, uint8_t (&data)[16]) const;
    int16_t Write(int16_t handle, uint8_t block, uint8_t (&data)[16]) const;
    void WriteUserPort(int16_t handle, uint8_t value) const;

  private:
    bool Load();

    std::string fileName_;
    fw::Module module_;
    OpenFn open_ = nullptr;
    SelectFn select_ = nullptr;
    LoginFn login_ = nullptr;
    ReadFn read_ = nullptr;
    WriteFn write_ = nullptr;
    WriteUserPortFn writeUserPort_ = nullptr;
    bool loaded_ = false;
};
