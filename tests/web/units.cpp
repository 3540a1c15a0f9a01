// The server-free parts of quelma-web: text checks and escaping, parameter and cursor
// checks, the sign-in brake, password hashes.
#include "web/html.h"
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
    for (const char* formula : {"=1+2", "+1", "-1", "@SUM(A1)", "\tx", "\rx"})
        EXPECT_EQ(html::CsvCell(formula), std::string("\"'") + formula + "\"");
    EXPECT_EQ(html::CsvCell("a \"b\", c-1"), "\"a \"\"b\"\", c-1\"");
    EXPECT_EQ(html::Escape("<a href='x'>&\""), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;");
    EXPECT_EQ(html::UrlEncode("a b/\xC3\xA9&"), "a%20b%2F%C3%A9%26");
}

TEST(WebQuery, ParametersAreCheckedBeforeUse) {
    query::Params p;
    std::string error;
    EXPECT_TRUE(query::Read({{"member", "M001"}}, {"member"}, p, error));
    for (const query::RawParams& bad :
         std::vector<query::RawParams>{{{"other", "1"}},
                                       {{"member", "a"}, {"member", "b"}},
                                       {{"member", std::string(101, 'A')}},
                                       {{"member", "a\nb"}},
                                       {{"member", "\xC0\xAF"}}}) {
        query::Params out;
        EXPECT_FALSE(query::Read(bad, {"member"}, out, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(query::IsDate("2028-02-29"));
    EXPECT_FALSE(query::IsDate("2026-02-29"));
    EXPECT_FALSE(query::IsDate("2026-1-01"));
    EXPECT_TRUE(query::IsName("M-001.a"));
    for (const char* bad : {"", "x'", "a;b", "..", "<b>", "1=1"})
        EXPECT_FALSE(query::IsName(bad)) << bad;
    EXPECT_TRUE(query::IsPhotoFile("Member 3_2026_03_01_AM_03_00_00.bmp"));
    for (const char* bad : {"../x.bmp", "a/b.bmp", "a\\b.bmp", ".bmp", "x.bmp.tmp", "..bmp"})
        EXPECT_FALSE(query::IsPhotoFile(bad)) << bad;
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
    // Values travel as parameters, never inside the statement.
    query::Filter f;
    f.member = "x' OR '1'='1";
    const query::Sql sql = query::Measurements(f, 10);
    EXPECT_EQ(sql.text.find("x'"), std::string::npos);
    ASSERT_EQ(sql.params.size(), 1u);
    EXPECT_EQ(sql.params[0].value, f.member);
}

TEST(WebSession, FailedSignInsWaitLongerEachTime) {
    web::Throttle brake;
    const auto t0 = web::Throttle::Clock::now();
    const auto s = [&](int seconds) { return t0 + std::chrono::seconds(seconds); };
    brake.Failed("bob", "10.0.0.1", s(0));
    brake.Failed("bob", "10.0.0.1", s(0));
    EXPECT_EQ(brake.Wait("bob", "10.0.0.1", s(0)), 0);
    brake.Failed("bob", "10.0.0.1", s(0));
    EXPECT_EQ(brake.Wait("bob", "10.0.0.1", s(0)), 2);
    EXPECT_EQ(brake.Wait("bob", "10.0.0.9", s(1)), 1);   // the account, from elsewhere
    EXPECT_EQ(brake.Wait("alice", "10.0.0.1", s(1)), 1); // the address, for another account
    EXPECT_EQ(brake.Wait("alice", "10.0.0.9", s(0)), 0);
    EXPECT_EQ(brake.Wait("bob", "10.0.0.1", s(2)), 0);
    brake.Failed("bob", "10.0.0.1", s(2));
    EXPECT_EQ(brake.Wait("bob", "10.0.0.9", s(2)), 4);
    for (int i = 0; i < 20; ++i)
        brake.Failed("bob", "10.0.0.1", s(10));
    EXPECT_EQ(brake.Wait("bob", "10.0.0.9", s(10)), 15 * 60);
    brake.Succeeded("bob");
    EXPECT_EQ(brake.Wait("bob", "10.0.0.9", s(10)), 0);
    EXPECT_GT(brake.Wait("bob", "10.0.0.1", s(10)), 0);
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
