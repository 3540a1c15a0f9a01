// A measurement's photo, found by its database key, never by a path.
#include "web/html.h"
#include "web/site.h"

namespace web::pages {

void Photo(Page& page) {
    const std::string station = page.params["station"], file = page.params["file"];
    if (station.empty() || file.empty())
        return page.BadRequest("\"station\" and \"file\" name the photo");
    pg::Result r =
        page.db->Query("SELECT bytes FROM quelma.photos WHERE station = $1 AND file_name = $2",
                       {pg::Text(station), pg::Text(file)});
    if (!r)
        return page.NoDatabase();
    if (PQntuples(r.get()) != 1)
        return page.Html(404, "No such photo", "<p>No such photo.</p>");
    if (!page.Log("photo", station + "/" + file))
        return page.NoDatabase();
    const std::vector<unsigned char> bytes = pg::ByteaValue(r, 0, 0);
    page.res.contentType = "image/bmp";
    page.res.body.assign(bytes.begin(), bytes.end());
}

} // namespace web::pages
