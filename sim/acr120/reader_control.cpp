#include "reader_control.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

int Number(const std::string& text) {
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 0));
}

void AddFault(ReaderControl& control, const std::string& fault) {
    const size_t colon = fault.find(':');
    const std::string kind = Trim(fault.substr(0, colon));
    const std::string arg = colon == std::string::npos ? "" : Trim(fault.substr(colon + 1));
    if (kind == "open")
        control.failOpen = true;
    else if (kind == "nocard")
        control.noCard = true;
    else if (kind == "serial7")
        control.serial7 = true;
    else if (kind == "type")
        control.forcedType = Number(arg);
    else if (kind == "login")
        control.failLogins.push_back(Number(arg));
    else if (kind == "read")
        control.failReads.push_back(Number(arg));
    else if (kind == "write")
        control.failWrites.push_back(Number(arg));
}

std::string LibraryFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&LibraryFolder), &self);
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

} // namespace

bool ReaderControl::Has(const std::vector<int>& list, int value) const {
    return std::find(list.begin(), list.end(), value) != list.end();
}

std::string CardFolder() {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("QUELMA_CARD_DIR", value, MAX_PATH);
    std::string folder;
    if (length > 0 && length < MAX_PATH) {
        folder = value;
        if (folder[0] == '/') {
            std::replace(folder.begin(), folder.end(), '/', '\\');
            folder = "Z:" + folder;
        }
    } else {
        folder = LibraryFolder() + "cards";
    }
    if (folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    return folder;
}

ReaderControl ReadReaderControl(const std::string& folder) {
    ReaderControl control;
    std::ifstream in(folder + "reader.txt");
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        const size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos)
            continue;
        const std::string name = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (name == "card") {
            control.card = value;
        } else if (name == "handle") {
            control.handle = Number(value);
        } else if (name == "fault") {
            std::istringstream faults(value);
            std::string fault;
            while (std::getline(faults, fault, ','))
                AddFault(control, fault);
        }
    }
    return control;
}

void AppendLine(const std::string& path, const std::string& line) {
    std::ofstream out(path, std::ios::app);
    out << line << "\n";
}
