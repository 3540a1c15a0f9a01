// The server-free parts of quelma-web: text checks and escaping, parameter and cursor
// checks, the sign-in brake, password hashes.
#include "web/html.h"
#include "web/http.h"
#include "web/query.h"
#include "web/session.h"

#include <gtest/gtest.h>
#include <sodium.h>

TEST(WebText, Utf8AcceptsTextAndRefusesMalformedBytes) {
    for (const char* ok : {"", "abc", "Zo\xC3\xA9 \xE2\x82\xAC", "\xF0\x9F\x98\x80"})
        EXPECT_TRUE(html::ValidUtf8(ok)) << ok;
    // Stray, overlong ("/" in two and three bytes), surrogate, beyond U+10FFFF, cut short.
    for (const char* bad : {"\xFF", "\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xC3", "a\xC3(", "\xE2\x82"})
        EXPECT_FALSE(html::ValidUtf8(bad)) << bad;
}

TEST(WebText, CsvCellsCannotStartAFormula) {
    for (const char* formula : {"=1+2", "+1", "-1", "@SUM(A1)"})
        EXPECT_EQ(html::CsvCell(formula), std::string("\"'") + formula + "\"");
    // A control character would split the cell; the rest could then run as a formula.
    EXPECT_EQ(html::CsvCell("\tx\r\n=1+2"), "\" x  =1+2\"");
    EXPECT_EQ(html::CsvCell("a \"b\", c-1"), "\"a \"\"b\"\", c-1\"");
    EXPECT_EQ(html::Escape("<a href='x'>&\""), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;");
    EXPECT_EQ(html::UrlEncode("a b/\xC3\xA9&"), "a%20b%2F%C3%A9%26");
}

TEST(WebQuery, ParametersAreCheckedBeforeUse) {
    query::Params p;
    std::string error;
    // What a station may hold is data, quotes and markup included.
    for (const char* id : {"M001", "A/B", "S';--", "=1+2", "X<b>1",
                           "Nord/S\xC3\xBC"
                           "d",
                           "J. Smith..bmp"})
        EXPECT_TRUE(query::Read({{"member", id}}, {"member"}, p = {}, error)) << id << error;
    const std::string hundredUmlauts = [] {
        std::string s;
        for (int i = 0; i < 100; ++i)
            s += "\xC3\xBC";
        return s;
    }();
    EXPECT_TRUE(query::Read({{"member", hundredUmlauts}}, {"member"}, p = {}, error));
    for (const query::RawParams& bad :
         std::vector<query::RawParams>{{{"other", "1"}},
                                       {{"member", "a"}, {"member", "b"}},
                                       {{"member", std::string(101, 'A')}},
                                       {{"member", std::string("a\0b", 3)}},
                                       {{"member", "a\nb"}},
                                       {{"member", "a\x7F"}},
                                       {{"member", "\xC0\xAF"}}}) {
        query::Params out;
        EXPECT_FALSE(query::Read(bad, {"member"}, out, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(query::IsDate("2028-02-29"));
    EXPECT_FALSE(query::IsDate("2026-02-29"));
    EXPECT_FALSE(query::IsDate("2026-1-01"));
    // Account names are structural: the command line and the log show them.
    EXPECT_TRUE(query::IsAccountName("M-001.a"));
    for (const char* bad : {"", "x'", "a;b", "..", "<b>", "1=1"})
        EXPECT_FALSE(query::IsAccountName(bad)) << bad;
}

TEST(WebQuery, OnlyAWholePagePositionIsTaken) {
    auto parse = [](query::Params p) {
        query::Filter f;
        std::string error;
        return query::ParseFilter(p, f, error) && f.hasCursor;
    };
    EXPECT_TRUE(parse(
        {{"k", "1772326800000000"}, {"ks", "gate1"}, {"ky", "2026"}, {"kg", "1"}, {"kn", "7"}}));
    EXPECT_TRUE(
        parse({{"k", "-infinity"}, {"ks", "gate1"}, {"ky", "2026"}, {"kg", "1"}, {"kn", "7"}}));
    EXPECT_FALSE(parse({{"k", "1772326800000000"}, {"ks", "gate1"}}));
    EXPECT_FALSE(
        parse({{"k", "1 OR 1"}, {"ks", "gate1"}, {"ky", "2026"}, {"kg", "1"}, {"kn", "7"}}));
    EXPECT_FALSE(
        parse({{"sort", "value"}, {"k", "x"}, {"ks", "g"}, {"ky", "1"}, {"kg", "1"}, {"kn", "1"}}));
    EXPECT_TRUE(parse(
        {{"sort", "value"}, {"k", "1e-05"}, {"ks", "g"}, {"ky", "1"}, {"kg", "1"}, {"kn", "1"}}));
    for (const char* special : {"NaN", "Infinity", "-Infinity"})
        EXPECT_TRUE(parse({{"sort", "value"},
                           {"k", special},
                           {"ks", "g"},
                           {"ky", "1"},
                           {"kg", "1"},
                           {"kn", "1"}}));
    EXPECT_TRUE(parse({{"sort", "id"},
                       {"k", "S';--"},
                       {"ks", "Nord/S\xC3\xBC"
                              "d"},
                       {"ky", "1"},
                       {"kg", "1"},
                       {"kn", "1"}}));
    // Values travel as parameters, never inside the statement.
    query::Filter f;
    f.member = "x' OR '1'='1";
    const query::Sql sql = query::Measurements(f, 10);
    EXPECT_EQ(sql.text.find("x'"), std::string::npos);
    ASSERT_EQ(sql.params.size(), 1u);
    EXPECT_EQ(sql.params[0].value, f.member);
}

TEST(WebSession, FailedSignInsWaitLongerEachTime) {
    web::Brake brake;
    const auto t0 = web::Brake::Clock::now();
    const auto s = [&](int seconds) { return t0 + std::chrono::seconds(seconds); };
    auto wait = [&](const char* user, const char* address, int at) {
        return brake.Reserve(user, address, s(at)).wait;
    };
    EXPECT_EQ(wait("bob", "10.0.0.1", 0), 0);
    EXPECT_EQ(wait("bob", "10.0.0.1", 0), 0);
    EXPECT_EQ(wait("bob", "10.0.0.1", 0), 0);
    EXPECT_EQ(wait("bob", "10.0.0.1", 0), 2);
    EXPECT_EQ(wait("bob", "10.0.0.1", 1), 1);
    // The owner elsewhere, and another account from the guesser's address, are not held.
    EXPECT_EQ(wait("bob", "10.0.0.9", 1), 0);
    brake.Succeeded("bob", "10.0.0.9");
    EXPECT_EQ(wait("alice", "10.0.0.1", 1), 0);
    brake.Succeeded("alice", "10.0.0.1");
    EXPECT_EQ(wait("bob", "10.0.0.1", 2), 0);
    EXPECT_EQ(wait("bob", "10.0.0.1", 2), 4);
    // A burst of parallel guesses reserves one attempt after another.
    int through = 0;
    for (int i = 0; i < 15; ++i)
        through += wait("carol", "10.0.0.2", 100) == 0;
    EXPECT_EQ(through, 3);
    // Each refusal is logged once per wait, with the count when the wait is over.
    web::Brake counted;
    for (int i = 0; i < 3; ++i)
        counted.Reserve("dan", "10.0.0.3", t0);
    EXPECT_TRUE(counted.Reserve("dan", "10.0.0.3", t0).firstRefusal);
    EXPECT_FALSE(counted.Reserve("dan", "10.0.0.3", t0).firstRefusal);
    EXPECT_EQ(counted.Reserve("dan", "10.0.0.3", s(5)).refusedInLastWait, 2);
}

TEST(WebSession, TheBrakeKeysIPv6ByItsPrefixAndStaysBounded) {
    EXPECT_EQ(web::Brake::ClientKey("2001:db8:1:2:aaaa::1"),
              web::Brake::ClientKey("2001:db8:1:2::ffff"));
    EXPECT_NE(web::Brake::ClientKey("2001:db8:1:2::1"), web::Brake::ClientKey("2001:db8:1:3::1"));
    EXPECT_EQ(web::Brake::ClientKey("10.0.0.1"), "10.0.0.1");
    web::Brake brake;
    const auto t0 = web::Brake::Clock::now();
    for (int i = 0; i < 30000; ++i)
        brake.Reserve("u" + std::to_string(i),
                      "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256), t0);
    EXPECT_LE(brake.Size(), 10000u);
}

TEST(WebSession, PasswordsAreArgon2idHashes) {
    ASSERT_GE(sodium_init(), 0);
    const std::string hash = web::HashPassword("correct horse");
    EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
    EXPECT_TRUE(web::VerifyPassword(hash, "correct horse"));
    EXPECT_FALSE(web::VerifyPassword(hash, "correct horsE"));
    EXPECT_NE(web::HashPassword("correct horse"), hash); // salted
    EXPECT_EQ(web::RandomHex(32).size(), 64u);
    EXPECT_NE(web::RandomHex(32), web::RandomHex(32));
}
