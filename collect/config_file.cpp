#include "collect/config_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace config_file {

namespace {

constexpr char kOption[] = "--config";
constexpr size_t kMaxFileSize = 1 << 20;

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool IsKey(const std::string& key) {
    if (key.empty() || key.front() == '-')
        return false;
    for (const char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'))
            return false;
    return true;
}

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the configuration file " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    text = contents.str();
    if (text.size() > kMaxFileSize) {
        error = "the configuration file " + path + " is larger than 1 MB";
        return false;
    }
    return true;
}

} // namespace

bool ToArguments(const std::string& text, const std::string& source, std::vector<std::string>& args,
                 std::string& error) {
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string where = source + " line " + std::to_string(number) + ": ";
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            error = where + "wants key = value, not \"" + line + "\"";
            return false;
        }
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (!IsKey(key)) {
            error = where + "\"" + key + "\" is no option name (lowercase letters, digits, -)";
            return false;
        }
        if (key == kOption + 2) {
            error = where + "a configuration file cannot name another";
            return false;
        }
        if (value.empty()) {
            error = where + key + " has no value";
            return false;
        }
        if (value == "false")
            continue;
        args.push_back("--" + key);
        if (value != "true")
            args.push_back(value);
    }
    return true;
}

bool Arguments(int argc, char** argv, std::vector<std::string>& args, std::string& error) {
    std::vector<std::string> given;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kOption) != 0) {
            given.emplace_back(argv[i]);
            continue;
        }
        if (!path.empty()) {
            error = std::string(kOption) + " is given twice";
            return false;
        }
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            error = std::string(kOption) + " needs a file";
            return false;
        }
        path = argv[++i];
    }
    args.clear();
    if (!path.empty()) {
        std::string text;
        if (!ReadFile(path, text, error) || !ToArguments(text, path, args, error))
            return false;
    }
    args.insert(args.end(), given.begin(), given.end());
    return true;
}

} // namespace config_file
