// The command line of alerts and of the confirmation window.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct NotifyOptions {
    std::string mailUrl; // smtp://host:587 (STARTTLS) or smtps://host:465
    std::string from;
    std::vector<std::string> to;
    std::string user;
    std::string password; // read from --notify-password-file
    std::string caFile;   // certificates to trust instead of the system's
    std::string webhookUrl;
    std::string siteUrl;
    std::optional<int> confirmAfterMinutes, confirmWithinMinutes;

    bool Mail() const { return !mailUrl.empty(); }
    bool Webhook() const { return !webhookUrl.empty(); }
    // "mail", "webhook": the ways this run sends alerts.
    std::vector<std::string> Channels() const;
};

extern const char kNotifyUsage[];

enum class Taken { No, Yes, Bad };
// Takes args[i] and its value when it is one of these options (`i` then points at the
// value). Bad with `error` set when its value is missing or wrong.
Taken ParseNotifyOption(const std::vector<std::string>& args, size_t& i, NotifyOptions& options,
                        std::string& error);
// After all arguments: the options belong together and the password file can be read.
bool CheckNotifyOptions(NotifyOptions& options, std::string& error);
