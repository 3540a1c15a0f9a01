// Every page of the site: method, path, whether it needs a session, the parameters it takes
// and its handler in web/pages/. A new page is a new file there and a line here.
#include "web/positives.h"
#include "web/site.h"

namespace web {

namespace pages {
PageHandler SignInForm, SignIn, SignOut, Overview, Measurements, Csv, Member, Photo, StyleSheet,
    Script, Positives, RecordOutcome, PositivesCsv;
}

const std::vector<Route>& Routes() {
    static const std::vector<Route> routes = {
        {"GET", "/style.css", false, {}, pages::StyleSheet},
        {"GET", "/app.js", false, {}, pages::Script},
        {"GET", "/login", false, {}, pages::SignInForm},
        {"POST", "/login", false, {"name", "password"}, pages::SignIn},
        {"POST", "/logout", true, {"csrf"}, pages::SignOut},
        {"GET", "/", true, {}, pages::Overview},
        {"GET", "/measurements", true, query::kFilterParams, pages::Measurements},
        {"GET", "/measurements.csv", true, query::kFilterParams, pages::Csv},
        {"GET", "/member", true, {"id"}, pages::Member},
        {"GET", "/photo", true, {"station", "file"}, pages::Photo},
        {"GET", "/positives", true, {}, pages::Positives},
        {"POST", "/positives/outcome", true, positives::kEntryParams, pages::RecordOutcome},
        {"GET", "/positives.csv", true, {}, pages::PositivesCsv},
    };
    return routes;
}

} // namespace web
