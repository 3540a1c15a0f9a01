// Sign-in and sign-out. Failed sign-ins are held back by the brake; each sign-in, failure,
// held-back wait and sign-out is in the access log.
#include "web/html.h"
#include "web/query.h"
#include "web/site.h"

namespace web::pages {

namespace {

Brake g_brake;

std::string SignInPage(const std::string& message) {
    return "<form class=\"signin\" method=\"post\" action=\"/login\">" +
           (message.empty() ? "" : "<p class=\"error\">" + html::Escape(message) + "</p>") +
           "<label>Name<input name=\"name\" autocomplete=\"username\" required "
           "autofocus></label><label>Password<input name=\"password\" type=\"password\" "
           "autocomplete=\"current-password\" required></label><button "
           "type=\"submit\">Sign in</button></form>";
}

} // namespace

void SignInForm(Page& page) {
    page.Html(200, "Sign in", SignInPage(""));
}

void SignIn(Page& page) {
    const std::string name = page.params["name"], password = page.params["password"];
    if (!query::IsAccountName(name))
        return page.Html(401, "Sign in", SignInPage("Wrong name or password."));
    page.db = Db(page.config.conninfo);
    if (!page.db)
        return page.NoDatabase();
    const Brake::Verdict brake = g_brake.Reserve(name, page.Address(), Brake::Clock::now());
    if (brake.wait) {
        // Once per wait, so a flood of guesses does not become a flood of synced rows.
        if (brake.firstRefusal && !page.Log("sign-in refused", "too many failed sign-ins", name))
            return page.NoDatabase();
        return page.Html(429, "Sign in",
                         SignInPage("Too many failed sign-ins. Try again in " +
                                    std::to_string(brake.wait) + " seconds."));
    }
    if (brake.refusedInLastWait > 1 &&
        !page.Log("sign-in refused",
                  std::to_string(brake.refusedInLastWait) + " attempts while held back", name))
        return page.NoDatabase();
    pg::Result r = page.db->Query("SELECT password_hash FROM quelma.web_users WHERE name = $1",
                                  {pg::Text(name)});
    if (!r)
        return page.NoDatabase();
    // An unknown name costs as long as a wrong password, so names cannot be told apart.
    static const std::string kDummy = HashPassword("not a password");
    const bool known = PQntuples(r.get()) == 1;
    const bool good = VerifyPassword(known ? pg::Value(r, 0, 0) : kDummy, password) && known;
    if (!good) {
        if (!page.Log("sign-in failed", "", name))
            return page.NoDatabase();
        return page.Html(401, "Sign in", SignInPage("Wrong name or password."));
    }
    g_brake.Succeeded(name, page.Address());
    const std::string token = RandomHex(32);
    const std::string sha = TokenSha256(token);
    page.db->Query("DELETE FROM quelma.web_sessions WHERE last_seen < now() - $1::integer * "
                   "interval '1 minute' OR created < now() - $2::integer * interval '1 hour'",
                   {pg::Text(std::to_string(page.config.idleMinutes)),
                    pg::Text(std::to_string(page.config.sessionHours))});
    if (!page.db->Query(
            "INSERT INTO quelma.web_sessions (token_sha256, user_name, csrf) "
            "VALUES ($1, $2, $3)",
            {pg::Bytes(sha.data(), sha.size()), pg::Text(name), pg::Text(RandomHex(16))}) ||
        !page.Log("sign-in", "", name))
        return page.NoDatabase();
    page.SetSessionCookie(token);
    page.res.Redirect("/");
}

void SignOut(Page& page) {
    if (!SameSecret(page.params["csrf"], page.session.csrf))
        return page.BadRequest("the sign-out form is not this session's");
    const std::string sha = TokenSha256(page.SessionToken());
    if (!page.db->Query("DELETE FROM quelma.web_sessions WHERE token_sha256 = $1",
                        {pg::Bytes(sha.data(), sha.size())}) ||
        !page.Log("sign-out"))
        return page.NoDatabase();
    page.SetSessionCookie("");
    page.res.Redirect("/login");
}

} // namespace web::pages
