// The table of measurements the list and the member page share.
#pragma once

#include "collect/pg.h"
#include "web/query.h"

#include <string>

namespace web::pages {

std::string Cell(const pg::Result& r, int row, int col);
// The rows of a Measurements() query; `links` adds sorting links to the headings.
std::string MeasurementTable(const pg::Result& r, int rows, const query::Filter* links);

} // namespace web::pages
