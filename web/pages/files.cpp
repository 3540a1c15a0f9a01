// The style sheet and the script, served by the program itself.
#include "web/assets.h"
#include "web/site.h"

namespace web::pages {

void StyleSheet(Page& page) {
    page.res.contentType = "text/css; charset=utf-8";
    page.res.body = assets::kStyle;
}

void Script(Page& page) {
    page.res.contentType = "text/javascript; charset=utf-8";
    page.res.body = assets::kScript;
}

} // namespace web::pages
