#include "web/pages/measurement_table.h"

#include "web/html.h"

namespace web::pages {

using html::Escape;

std::string Cell(const pg::Result& r, int row, int col) {
    return Escape(pg::Value(r, row, col));
}

namespace {

std::string PhotoLink(const std::string& station, const std::string& file) {
    if (file.empty())
        return "";
    return "<a class=\"photo-link\" href=\"/photo?station=" + Escape(html::UrlEncode(station)) +
           "&amp;file=" + Escape(html::UrlEncode(file)) + "\">photo</a>";
}

} // namespace

std::string MeasurementTable(const pg::Result& r, int rows, const query::Filter* links) {
    auto heading = [&](const char* label, const char* sort, const char* cls = "") {
        std::string th =
            std::string("<th") + (*cls ? " class=\"" + std::string(cls) + "\"" : "") + ">";
        if (!links || !*sort)
            return th + label + "</th>";
        query::Filter f = *links;
        f.ascending = f.sort == sort && !f.ascending;
        f.sort = sort;
        return th + "<a href=\"/measurements?" + Escape(query::FilterUrl(f)) + "\">" + label +
               (links->sort == sort ? (links->ascending ? " &#9650;" : " &#9660;") : "") +
               "</a></th>";
    };
    std::string t = "<div class=\"scroll\"><table><thead><tr>" + heading("Time", "time") +
                    heading("Station", "") + heading("ID", "id") + heading("Name", "name") +
                    heading("Result", "") + heading("Value", "value") +
                    heading("Mode", "", "wide") + heading("Photo", "") + "</tr></thead><tbody>";
    for (int i = 0; i < rows; ++i) {
        const bool positive = pg::Value(r, i, 12) == "t";
        t += std::string("<tr") + (positive ? " class=\"positive\"" : "") + "><td>" +
             Cell(r, i, 3) + "</td><td>" + Cell(r, i, 0) +
             "</td><td><a href=\"/member?id=" + Escape(html::UrlEncode(pg::Value(r, i, 4))) +
             "\">" + Cell(r, i, 4) + "</a></td><td>" + Cell(r, i, 5) + "</td><td>" +
             Cell(r, i, 11) + (positive ? " <span class=\"bad\">positive</span>" : "") +
             "</td><td class=\"num\">" + Cell(r, i, 9) + " " + Cell(r, i, 8) +
             "</td><td class=\"wide\">" + Cell(r, i, 7) + "</td><td>" +
             PhotoLink(pg::Value(r, i, 0), pg::Value(r, i, 13)) + "</td></tr>";
    }
    return t + "</tbody></table></div>";
}

} // namespace web::pages
