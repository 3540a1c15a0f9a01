// The settings files of quelma-collect and quelma-web: lines to long options, the file's
// before the command line's.
#include "collect/config_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using Args = std::vector<std::string>;

TEST(ConfigFile, LinesBecomeLongOptions) {
    Args args;
    std::string error;
    ASSERT_TRUE(config_file::ToArguments("# the site's database\n"
                                         "\n"
                                         "  db = host=/run/postgresql dbname=quelma  \r\n"
                                         "station = gate1=/srv/quelma/gate 1\n"
                                         "station=gate2=/srv/quelma/gate2\n"
                                         "behind-proxy = true\n"
                                         "quiet = false\n",
                                         "web.conf", args, error))
        << error;
    EXPECT_EQ(args, (Args{"--db", "host=/run/postgresql dbname=quelma", "--station",
                          "gate1=/srv/quelma/gate 1", "--station", "gate2=/srv/quelma/gate2",
                          "--behind-proxy"}));
}

TEST(ConfigFile, RefusesWhatIsNoSetting) {
    const std::pair<const char*, const char*> cases[] = {
        {"listen 127.0.0.1:8080\n", "c.conf line 1: wants key = value"},
        {"\n--db = x\n", "c.conf line 2: \"--db\" is no option name"},
        {"Listen = x\n", "\"Listen\" is no option name"},
        {"= x\n", "\"\" is no option name"},
        {"watch =\n", "c.conf line 1: watch has no value"},
        {"config = other.conf\n", "cannot name another"},
    };
    for (const auto& [text, message] : cases) {
        Args args;
        std::string error;
        EXPECT_FALSE(config_file::ToArguments(text, "c.conf", args, error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << text << " gave: " << error;
    }
}

TEST(ConfigFile, CommandLineComesLastAndNamesOneFile) {
    const std::string path = testing::TempDir() + "quelma-config-test.conf";
    std::ofstream(path) << "db = dbname=site\nwatch = 60\n";
    std::string config = path;
    char prog[] = "quelma-collect", opt[] = "--config", watch[] = "--watch", ten[] = "10";
    char* argv[] = {prog, watch, ten, opt, config.data()};
    Args args;
    std::string error;
    ASSERT_TRUE(config_file::Arguments(5, argv, args, error)) << error;
    EXPECT_EQ(args, (Args{"--db", "dbname=site", "--watch", "60", "--watch", "10"}));

    char* twice[] = {prog, opt, config.data(), opt, config.data()};
    EXPECT_FALSE(config_file::Arguments(5, twice, args, error));
    EXPECT_EQ(error, "--config is given twice");
    char* bare[] = {prog, opt};
    EXPECT_FALSE(config_file::Arguments(2, bare, args, error));
    EXPECT_EQ(error, "--config needs a file");
    std::remove(path.c_str());
    char* missing[] = {prog, opt, config.data()};
    EXPECT_FALSE(config_file::Arguments(3, missing, args, error));
    EXPECT_EQ(error, "cannot read the configuration file " + path + ": No such file or directory");

    char* none[] = {prog, watch, ten};
    ASSERT_TRUE(config_file::Arguments(3, none, args, error));
    EXPECT_EQ(args, (Args{"--watch", "10"}));
}
