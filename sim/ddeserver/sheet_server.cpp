#include "sheet_server.h"

#include <cstdio>

namespace {

SheetServer* g_server = nullptr; // DDEML callbacks carry no context

std::string FullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full, n) : path;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

} // namespace

SheetServer::SheetServer(std::string logPath) : logPath_(std::move(logPath)) {
}

SheetServer::~SheetServer() {
    if (instance_) {
        if (service_) {
            DdeNameService(instance_, service_, nullptr, DNS_UNREGISTER);
            DdeFreeStringHandle(instance_, service_);
        }
        DdeUninitialize(instance_);
    }
    g_server = nullptr;
}

bool SheetServer::Start() {
    g_server = this;
    const UINT flags = APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_REQUESTS |
                       CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;
    if (DdeInitializeA(&instance_, Callback, flags, 0) != DMLERR_NO_ERROR) {
        instance_ = 0;
        return false;
    }
    service_ = DdeCreateStringHandleA(instance_, "Excel", CP_WINANSI);
    return service_ && DdeNameService(instance_, service_, nullptr, DNS_REGISTER);
}

bool SheetServer::OpenWorkbook(const std::string& path) {
    const std::string full = FullPath(path);
    lastActivity_ = GetTickCount();
    if (GetFileAttributesA(full.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Log(full, {"MISSING", full});
        return false;
    }
    if (!IsOpenWorkbook(full))
        workbooks_.push_back(full);
    Log(full, {"OPEN", full});
    return true;
}

bool SheetServer::IsOpenWorkbook(const std::string& topic) const {
    const std::string full = FullPath(topic);
    for (const std::string& book : workbooks_)
        if (lstrcmpiA(book.c_str(), full.c_str()) == 0)
            return true;
    return false;
}

std::string SheetServer::Text(HSZ hsz) const {
    char text[1024];
    const DWORD n = DdeQueryStringA(instance_, hsz, text, sizeof text, CP_WINANSI);
    return std::string(text, n < sizeof text ? n : 0);
}

void SheetServer::Log(const std::string& topic, const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += '\t';
        line += Escaped(fields[i]);
    }
    if (observer_)
        observer_(line);
    const std::string path = logPath_.empty() ? topic + ".log" : logPath_;
    // Opened per line so a reader sees every line as soon as the transaction ends.
    if (FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

HDDEDATA CALLBACK SheetServer::Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                        HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    return g_server ? g_server->Handle(type, format, conv, hsz1, hsz2, data) : nullptr;
}

HDDEDATA SheetServer::Handle(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                             HDDEDATA data) {
    lastActivity_ = GetTickCount();
    switch (type) {
    case XTYP_CONNECT: {
        // hsz1 is the topic, hsz2 the service.
        const bool ok =
            lstrcmpiA(Text(hsz2).c_str(), "Excel") == 0 &&
            (lstrcmpiA(Text(hsz1).c_str(), "System") == 0 || IsOpenWorkbook(Text(hsz1)));
        return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(ok ? TRUE : FALSE));
    }
    case XTYP_CONNECT_CONFIRM:
        topics_[conv] = Text(hsz1);
        Log(Text(hsz1), {"CONNECT", Text(hsz1)});
        return nullptr;
    case XTYP_DISCONNECT: {
        const auto it = topics_.find(conv);
        if (it != topics_.end()) {
            Log(it->second, {"DISCONNECT", it->second});
            topics_.erase(it);
        }
        return nullptr;
    }
    case XTYP_POKE: {
        const std::string topic = Text(hsz1);
        const std::string item = Text(hsz2);
        if (pokeDelayMs_)
            Sleep(pokeDelayMs_);
        if (format != CF_TEXT || !IsOpenWorkbook(topic) ||
            refused_.find("," + item + ",") != std::string::npos) {
            Log(topic, {"REFUSED", topic, item});
            return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
        }
        const DWORD size = DdeGetData(data, nullptr, 0, 0);
        std::string text(size, '\0');
        if (size)
            DdeGetData(data, reinterpret_cast<LPBYTE>(&text[0]), size, 0);
        // CF_TEXT ends at its zero.
        const size_t zero = text.find('\0');
        if (zero != std::string::npos)
            text.resize(zero);
        Log(topic, {"POKE", topic, item, text});
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    default:
        return nullptr;
    }
}
