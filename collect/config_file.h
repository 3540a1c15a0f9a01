// A program's settings from a file: `key = value` lines whose keys are its long options, so a
// service needs no long command line. The file's settings go before the command line's, so
// with parsers that keep the last value the command line wins.
#pragma once

#include <string>
#include <vector>

namespace config_file {

// Turns the lines of a configuration file into long options: `key = value` gives
// `--key value`, `key = true` gives `--flag`, `key = false` gives nothing; a key may repeat.
// Blank lines and lines starting with # are skipped. `source` names the file in messages.
bool ToArguments(const std::string& text, const std::string& source, std::vector<std::string>& args,
                 std::string& error);

// The arguments of main without the program's name: those of the file named by
// `--config FILE` (when given), then the others of the command line.
bool Arguments(int argc, char** argv, std::vector<std::string>& args, std::string& error);

} // namespace config_file
