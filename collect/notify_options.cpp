#include "collect/notify_options.h"

#include <algorithm>
#include <cctype>
#include <fstream>

const char kNotifyUsage[] =
    "Alerts, one per positive screening, sent once whatever runs again:\n"
    "  --notify-mail URL            smtp://HOST:587 (STARTTLS) or smtps://HOST:465\n"
    "  --notify-from ADDRESS        the sender of the alert mails\n"
    "  --notify-to ADDRESS          a recipient (repeatable)\n"
    "  --notify-user NAME           sign in to the mail server as NAME, with the password\n"
    "  --notify-password-file FILE  on the first line of FILE\n"
    "  --notify-ca FILE             trust the certificates in FILE (a private server's)\n"
    "  --notify-webhook URL         POST each alert as JSON to URL (http or https)\n"
    "  --site-url URL               quelma-web's address, for the link in each alert\n"
    "Confirmation tests, kept for the whole site in the database:\n"
    "  --confirm-after MINUTES      earliest after the screening (15 unless set)\n"
    "  --confirm-within MINUTES     latest after the screening (30 unless set)\n";

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool ParseMinutes(const std::string& text, std::optional<int>& minutes) {
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    const int value = std::stoi(text);
    if (value > 1440)
        return false;
    minutes = value;
    return true;
}

// A mail address goes into the SMTP commands and headers as it is.
bool PlainAddress(const std::string& a) {
    return a.find('@') != std::string::npos &&
           std::none_of(a.begin(), a.end(), [](unsigned char c) {
               return c <= ' ' || c == '<' || c == '>' || c == ',' || c == 0x7f;
           });
}

} // namespace

std::vector<std::string> NotifyOptions::Channels() const {
    std::vector<std::string> channels;
    if (Mail())
        channels.push_back("mail");
    if (Webhook())
        channels.push_back("webhook");
    return channels;
}

Taken ParseNotifyOption(const std::vector<std::string>& args, size_t& i, NotifyOptions& o,
                        std::string& error) {
    const std::string& a = args[i];
    std::string* text = a == "--notify-mail"            ? &o.mailUrl
                        : a == "--notify-from"          ? &o.from
                        : a == "--notify-user"          ? &o.user
                        : a == "--notify-password-file" ? &o.password
                        : a == "--notify-ca"            ? &o.caFile
                        : a == "--notify-webhook"       ? &o.webhookUrl
                        : a == "--site-url"             ? &o.siteUrl
                                                        : nullptr;
    const bool list = a == "--notify-to";
    std::optional<int>* minutes = a == "--confirm-after"    ? &o.confirmAfterMinutes
                                  : a == "--confirm-within" ? &o.confirmWithinMinutes
                                                            : nullptr;
    if (!text && !list && !minutes)
        return Taken::No;
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = a + " needs a value";
        return Taken::Bad;
    }
    const std::string& v = args[++i];
    if (minutes && !ParseMinutes(v, *minutes)) {
        error = a + " needs a whole number of minutes from 0 to 1440";
        return Taken::Bad;
    }
    if (list)
        o.to.push_back(v);
    else if (text)
        *text = v;
    return Taken::Yes;
}

bool CheckNotifyOptions(NotifyOptions& o, std::string& error) {
    if (o.confirmAfterMinutes && o.confirmWithinMinutes &&
        *o.confirmAfterMinutes >= *o.confirmWithinMinutes)
        error = "--confirm-after must be less than --confirm-within";
    else if (o.Mail() && !StartsWith(o.mailUrl, "smtp://") && !StartsWith(o.mailUrl, "smtps://"))
        error = "--notify-mail needs an smtp:// or smtps:// URL";
    else if (o.Webhook() && !StartsWith(o.webhookUrl, "http://") &&
             !StartsWith(o.webhookUrl, "https://"))
        error = "--notify-webhook needs an http:// or https:// URL";
    else if (o.Mail() && (o.from.empty() || o.to.empty()))
        error = "--notify-mail needs --notify-from and at least one --notify-to";
    else if (!o.Mail() && (!o.from.empty() || !o.to.empty() || !o.user.empty()))
        error = "--notify-from, --notify-to and --notify-user need --notify-mail";
    else if (!o.from.empty() && !PlainAddress(o.from))
        error = "--notify-from \"" + o.from + "\" is no plain mail address";
    else if (auto bad = std::find_if_not(o.to.begin(), o.to.end(), PlainAddress); bad != o.to.end())
        error = "--notify-to \"" + *bad + "\" is no plain mail address";
    else if (o.user.empty() != o.password.empty())
        error = "--notify-user and --notify-password-file go together";
    if (!error.empty() || o.password.empty())
        return error.empty();
    // The option held the file's name until now.
    std::ifstream in(o.password);
    std::string line;
    if (!in || !std::getline(in, line) || line.empty()) {
        error = "cannot read a password from the first line of " + o.password;
        return false;
    }
    if (line.back() == '\r')
        line.pop_back();
    o.password = line;
    return true;
}
