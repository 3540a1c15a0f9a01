#include "collect/schema.h"

#include <iterator>

namespace schema {

namespace {

// Each step takes the schema from version i to i + 1. Steps are never edited once released:
// a change is a new step.
const char* const kSteps[] = {
    R"sql(
CREATE TABLE quelma.stations (
    name text PRIMARY KEY,
    folder text NOT NULL
);

CREATE TABLE quelma.members (
    station text NOT NULL REFERENCES quelma.stations,
    slot integer NOT NULL,
    id text NOT NULL,
    name text NOT NULL,
    card_serial text NOT NULL,
    PRIMARY KEY (station, slot)
);
CREATE INDEX members_id ON quelma.members (id);

-- The two large tables name their station without a foreign key: a key checked per row
-- would cost the bulk load more than the records themselves, and the collector always
-- stores the station first.
CREATE TABLE quelma.measurements (
    station text NOT NULL,
    year integer NOT NULL,
    number integer NOT NULL,
    id text NOT NULL,
    name text NOT NULL,
    card_serial text NOT NULL,
    time timestamptz,
    mode text,
    unit text,
    low real NOT NULL,
    hi real NOT NULL,
    value real NOT NULL,
    level text,
    result text NOT NULL,
    photo boolean NOT NULL,
    photo_file text,
    raw bytea NOT NULL CHECK (length(raw) = 72),
    positive boolean GENERATED ALWAYS AS (
        (mode = 'Fast' AND level IN ('Low', 'Hi')) OR (mode = 'Normal' AND value >= low)) STORED,
    PRIMARY KEY (station, year, number)
);
CREATE INDEX measurements_member ON quelma.measurements (id, time);

-- What has been taken from each station's data file: the number of records and the
-- SHA-256 of their bytes, so a re-run can tell new records from a replaced file.
CREATE TABLE quelma.data_files (
    station text NOT NULL REFERENCES quelma.stations,
    year integer NOT NULL,
    record_count integer NOT NULL,
    records_sha256 bytea NOT NULL,
    PRIMARY KEY (station, year)
);

CREATE TABLE quelma.photos (
    station text NOT NULL,
    file_name text NOT NULL,
    bytes bytea NOT NULL,
    sha256 bytea NOT NULL,
    size bigint NOT NULL,
    mtime_ns bigint NOT NULL,
    PRIMARY KEY (station, file_name)
);
-- Photos hardly compress; storing them as they are saves the server's time.
ALTER TABLE quelma.photos ALTER COLUMN bytes SET STORAGE EXTERNAL;

CREATE VIEW quelma.positives_per_day AS
SELECT station, time::date AS day, count(*) AS measurements,
       count(*) FILTER (WHERE positive) AS positives
FROM quelma.measurements
WHERE time IS NOT NULL
GROUP BY station, time::date;

CREATE VIEW quelma.latest_per_member AS
SELECT m.id AS member_id, m.name AS member_name, r.station, r.year, r.number, r.time,
       r.result, r.positive
FROM (SELECT DISTINCT ON (id) id, name FROM quelma.members ORDER BY id, station) m
LEFT JOIN LATERAL (
    SELECT x.station, x.year, x.number, x.time, x.result, x.positive
    FROM quelma.measurements x
    WHERE x.id = m.id
    ORDER BY x.time DESC NULLS LAST, x.year DESC, x.number DESC, x.station
    LIMIT 1) r ON true;
)sql",
    R"sql(
-- What the collector's last runs reported per station, for the web's Overview. Written only
-- when records or photos came in or the station's troubles changed, so a run with nothing
-- new still writes nothing.
CREATE TABLE quelma.station_reports (
    station text PRIMARY KEY,
    reported timestamptz NOT NULL,
    last_import timestamptz,
    new_records bigint NOT NULL,
    new_photos bigint NOT NULL,
    damaged integer NOT NULL,
    replaced integer NOT NULL,
    notes text NOT NULL,
    failure text NOT NULL
);

-- The web's lists page through these in key order (keyset paging), newest first.
CREATE INDEX measurements_time ON quelma.measurements
    ((coalesce(time, '-infinity')), station, year, number);
CREATE INDEX measurements_station_time ON quelma.measurements
    (station, (coalesce(time, '-infinity')), year, number);
CREATE INDEX measurements_positive_time ON quelma.measurements
    ((coalesce(time, '-infinity')), station, year, number) WHERE positive;
CREATE INDEX measurements_id ON quelma.measurements (id, station, year, number);
CREATE INDEX measurements_name ON quelma.measurements (name, station, year, number);
CREATE INDEX measurements_value ON quelma.measurements (value, station, year, number);

CREATE TABLE quelma.web_users (
    name text PRIMARY KEY CHECK (length(name) BETWEEN 1 AND 64),
    password_hash text NOT NULL,
    admin boolean NOT NULL DEFAULT false,
    created timestamptz NOT NULL DEFAULT now()
);

-- Only the SHA-256 of a session's token is stored: a copy of the table signs nobody in.
CREATE TABLE quelma.web_sessions (
    token_sha256 bytea PRIMARY KEY,
    user_name text NOT NULL REFERENCES quelma.web_users ON DELETE CASCADE,
    csrf text NOT NULL,
    created timestamptz NOT NULL DEFAULT now(),
    last_seen timestamptz NOT NULL DEFAULT now()
);

CREATE TABLE quelma.access_log (
    id bigserial PRIMARY KEY,
    time timestamptz NOT NULL DEFAULT now(),
    user_name text NOT NULL,
    address text NOT NULL,
    action text NOT NULL,
    detail text NOT NULL DEFAULT ''
);

-- Roles are the cluster's, shared by its databases: made once, granted per database.
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'quelma_collector') THEN
        CREATE ROLE quelma_collector NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'quelma_web') THEN
        CREATE ROLE quelma_web NOLOGIN;
    END IF;
END $$;
GRANT USAGE ON SCHEMA quelma TO quelma_collector, quelma_web;
GRANT SELECT, INSERT, UPDATE, DELETE ON quelma.stations, quelma.members, quelma.measurements,
    quelma.data_files, quelma.photos, quelma.station_reports TO quelma_collector;
GRANT SELECT ON quelma.schema_version, quelma.positives_per_day, quelma.latest_per_member
    TO quelma_collector, quelma_web;
GRANT SELECT ON quelma.stations, quelma.members, quelma.measurements, quelma.data_files,
    quelma.photos, quelma.station_reports TO quelma_web;
GRANT SELECT, INSERT, UPDATE, DELETE ON quelma.web_users, quelma.web_sessions TO quelma_web;
GRANT SELECT, INSERT ON quelma.access_log TO quelma_web;
GRANT USAGE ON SEQUENCE quelma.access_log_id_seq TO quelma_web;
)sql",
    R"sql(
-- A station's year can have several data files over its life: the program's Backup moves the
-- file away and the next start begins a new one, an older copy can be restored, a new PC
-- starts its own. Each is a generation of the year, numbered from 1; records are keyed by it.
ALTER TABLE quelma.measurements ADD COLUMN generation integer NOT NULL DEFAULT 1;
ALTER TABLE quelma.measurements ALTER COLUMN generation DROP DEFAULT;
ALTER TABLE quelma.measurements DROP CONSTRAINT measurements_pkey;
ALTER TABLE quelma.measurements ADD PRIMARY KEY (station, year, generation, number);
DROP INDEX quelma.measurements_time, quelma.measurements_station_time,
    quelma.measurements_positive_time, quelma.measurements_id, quelma.measurements_name,
    quelma.measurements_value;
CREATE INDEX measurements_time ON quelma.measurements
    ((coalesce(time, '-infinity')), station, year, generation, number);
CREATE INDEX measurements_station_time ON quelma.measurements
    (station, (coalesce(time, '-infinity')), year, generation, number);
CREATE INDEX measurements_positive_time ON quelma.measurements
    ((coalesce(time, '-infinity')), station, year, generation, number) WHERE positive;
CREATE INDEX measurements_id ON quelma.measurements (id, station, year, generation, number);
CREATE INDEX measurements_name ON quelma.measurements (name, station, year, generation, number);
CREATE INDEX measurements_value ON quelma.measurements (value, station, year, generation, number);

CREATE OR REPLACE VIEW quelma.latest_per_member AS
SELECT m.id AS member_id, m.name AS member_name, r.station, r.year, r.number, r.time,
       r.result, r.positive, r.generation
FROM (SELECT DISTINCT ON (id) id, name FROM quelma.members ORDER BY id, station) m
LEFT JOIN LATERAL (
    SELECT x.station, x.year, x.number, x.time, x.result, x.positive, x.generation
    FROM quelma.measurements x
    WHERE x.id = m.id
    ORDER BY x.time DESC NULLS LAST, x.year DESC, x.generation DESC, x.number DESC, x.station
    LIMIT 1) r ON true;

-- A generation is known by its first record. A generation begun from a restored copy holds
-- only the records after the point where the copy left its parent (`base`); the ones before
-- are its parent's. The first and last imported records (as the file holds them) and the
-- file's size and date let a run see without reading the file that nothing changed, and
-- with two records that the imported part is still there.
ALTER TABLE quelma.data_files ADD COLUMN generation integer NOT NULL DEFAULT 1,
    ADD COLUMN parent integer, ADD COLUMN base integer NOT NULL DEFAULT 0,
    ADD COLUMN first_raw bytea, ADD COLUMN last_raw bytea,
    ADD COLUMN size bigint NOT NULL DEFAULT -1, ADD COLUMN mtime_ns bigint NOT NULL DEFAULT -1;
ALTER TABLE quelma.data_files ALTER COLUMN generation DROP DEFAULT;
UPDATE quelma.data_files d SET
    first_raw = (SELECT raw FROM quelma.measurements m WHERE m.station = d.station
                 AND m.year = d.year AND m.generation = 1 AND m.number = 0),
    last_raw = (SELECT raw FROM quelma.measurements m WHERE m.station = d.station
                AND m.year = d.year AND m.generation = 1 AND m.number = d.record_count - 1);
DELETE FROM quelma.data_files WHERE first_raw IS NULL OR last_raw IS NULL;
ALTER TABLE quelma.data_files ALTER COLUMN first_raw SET NOT NULL,
    ALTER COLUMN last_raw SET NOT NULL, DROP COLUMN records_sha256;
ALTER TABLE quelma.data_files DROP CONSTRAINT data_files_pkey;
ALTER TABLE quelma.data_files ADD PRIMARY KEY (station, year, generation);

-- The zone the station's photo names were made in: a new one re-makes them.
ALTER TABLE quelma.stations ADD COLUMN time_zone text NOT NULL DEFAULT '';

-- A file that looked damaged once: it may have been caught while the station wrote it, so
-- it is reported only when the next run finds it the same.
CREATE TABLE quelma.file_troubles (
    station text NOT NULL,
    file text NOT NULL,
    trouble text NOT NULL,
    PRIMARY KEY (station, file)
);
GRANT SELECT, INSERT, UPDATE, DELETE ON quelma.file_troubles TO quelma_collector;
GRANT SELECT ON quelma.latest_per_member TO quelma_collector;

-- quelma-web reads neither the collector's file notes nor its views.
REVOKE SELECT ON quelma.data_files, quelma.positives_per_day, quelma.latest_per_member
    FROM quelma_web;
)sql",
    R"sql(
-- Site-wide rules of the confirmation test: from `confirm_after` to `confirm_within` after a
-- positive screening.
CREATE TABLE quelma.site_settings (
    single boolean PRIMARY KEY DEFAULT true CHECK (single),
    confirm_after interval NOT NULL DEFAULT '15 minutes',
    confirm_within interval NOT NULL DEFAULT '30 minutes',
    CHECK (interval '0' <= confirm_after AND confirm_after < confirm_within)
);
INSERT INTO quelma.site_settings DEFAULT VALUES;

-- Each positive screening and the measurement that confirms it, as the collector paired
-- them; `due_from` and `due_until` bound the confirmation test.
CREATE TABLE quelma.screenings (
    station text NOT NULL,
    year integer NOT NULL,
    generation integer NOT NULL,
    number integer NOT NULL,
    member_id text NOT NULL,
    time timestamptz,
    due_from timestamptz,
    due_until timestamptz,
    confirm_station text,
    confirm_year integer,
    confirm_generation integer,
    confirm_number integer,
    PRIMARY KEY (station, year, generation, number)
);
CREATE INDEX screenings_member ON quelma.screenings (member_id);
CREATE INDEX screenings_time ON quelma.screenings
    ((coalesce(time, '-infinity')), station, year, generation, number);

-- How many records of each data file the pairing has seen.
CREATE TABLE quelma.paired_files (
    station text NOT NULL,
    year integer NOT NULL,
    generation integer NOT NULL,
    record_count integer NOT NULL,
    PRIMARY KEY (station, year, generation)
);

-- One row per alert and way of sending it; `sent` stays empty until it left.
CREATE TABLE quelma.alerts (
    station text NOT NULL,
    year integer NOT NULL,
    generation integer NOT NULL,
    number integer NOT NULL,
    channel text NOT NULL CHECK (channel IN ('mail', 'webhook')),
    created timestamptz NOT NULL DEFAULT now(),
    sent timestamptz,
    attempts integer NOT NULL DEFAULT 0,
    next_try timestamptz NOT NULL DEFAULT now(),
    last_error text NOT NULL DEFAULT '',
    PRIMARY KEY (station, year, generation, number, channel)
);
CREATE INDEX alerts_unsent ON quelma.alerts (next_try) WHERE sent IS NULL;

-- What the site did about a positive. Never changed: a correction is a new entry naming
-- the one it corrects.
CREATE TABLE quelma.outcomes (
    id bigserial PRIMARY KEY,
    station text NOT NULL,
    year integer NOT NULL,
    generation integer NOT NULL,
    number integer NOT NULL,
    outcome text NOT NULL CHECK (outcome IN ('sent home', 'removed from duty',
                                             'cleared after the confirmation', 'other')),
    note text NOT NULL CHECK (length(note) <= 2000),
    corrects bigint REFERENCES quelma.outcomes,
    user_name text NOT NULL,
    time timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX outcomes_case ON quelma.outcomes (station, year, generation, number, id);
CREATE UNIQUE INDEX outcomes_corrects ON quelma.outcomes (corrects);

-- A case's entries form one chain: a first entry, then each correction naming the one
-- before it, so exactly one entry of a decided case is not corrected: its current outcome.
CREATE UNIQUE INDEX outcomes_first ON quelma.outcomes (station, year, generation, number)
    WHERE corrects IS NULL;

-- Each screening with its status now and its current outcome.
CREATE VIEW quelma.positive_cases AS
SELECT s.station, s.year, s.generation, s.number, s.member_id, s.time, s.due_from, s.due_until,
       s.confirm_station, s.confirm_year, s.confirm_generation, s.confirm_number,
       CASE WHEN c.positive THEN 'confirmed'
            WHEN c.number IS NOT NULL THEN 'not confirmed'
            WHEN s.due_until >= now() THEN 'awaiting confirmation'
            ELSE 'no confirmation test' END AS status,
       o.id AS outcome_id, o.outcome
FROM quelma.screenings s
LEFT JOIN quelma.measurements c ON c.station = s.confirm_station AND c.year = s.confirm_year
    AND c.generation = s.confirm_generation AND c.number = s.confirm_number
LEFT JOIN quelma.outcomes o ON o.station = s.station AND o.year = s.year
    AND o.generation = s.generation AND o.number = s.number
    AND NOT EXISTS (SELECT 1 FROM quelma.outcomes y WHERE y.corrects = o.id);

GRANT SELECT, UPDATE ON quelma.site_settings TO quelma_collector;
GRANT SELECT, INSERT, UPDATE, DELETE ON quelma.screenings, quelma.paired_files, quelma.alerts
    TO quelma_collector;
GRANT SELECT ON quelma.outcomes, quelma.positive_cases TO quelma_collector;
-- A renamed station's outcomes follow it; nothing else of an outcome ever changes.
GRANT UPDATE (station) ON quelma.outcomes TO quelma_collector;
GRANT SELECT ON quelma.screenings, quelma.alerts, quelma.positive_cases TO quelma_web;
GRANT SELECT, INSERT ON quelma.outcomes TO quelma_web;
GRANT USAGE ON SEQUENCE quelma.outcomes_id_seq TO quelma_web;

-- A level filter ("Hi" is rare) pages in key order without walking the whole time index.
CREATE INDEX measurements_level_time ON quelma.measurements
    (level, (coalesce(time, '-infinity')), station, year, generation, number);
)sql",
};

constexpr int kLatest = static_cast<int>(std::size(kSteps));

// -1 when there is no schema yet; -2 when the version could not be read.
int CurrentVersion(pg::Connection& db) {
    pg::Result r = db.Query("SELECT to_regclass('quelma.schema_version') IS NOT NULL");
    if (!r)
        return -2;
    if (pg::Value(r, 0, 0) != "t")
        return -1;
    r = db.Query("SELECT version FROM quelma.schema_version");
    if (!r || PQntuples(r.get()) != 1)
        return -2;
    return std::stoi(pg::Value(r, 0, 0));
}

} // namespace

int Latest() {
    return kLatest;
}

bool Init(pg::Connection& db, std::string& error) {
    if (!db.Begin()) {
        error = db.Error();
        return false;
    }
    // Two --init at once would both try to create the tables.
    bool ok = db.Exec("SELECT pg_advisory_xact_lock(hashtext('quelma.schema'))") &&
              db.Exec("CREATE SCHEMA IF NOT EXISTS quelma") &&
              db.Exec("CREATE TABLE IF NOT EXISTS quelma.schema_version (version integer NOT "
                      "NULL)") &&
              db.Exec("INSERT INTO quelma.schema_version SELECT 0 WHERE NOT EXISTS (SELECT 1 "
                      "FROM quelma.schema_version)");
    const int version = ok ? CurrentVersion(db) : -2;
    if (version < 0 || version > kLatest) {
        error = version < 0 ? db.Error()
                            : "the database's schema is version " + std::to_string(version) +
                                  ", newer than this program's " + std::to_string(kLatest);
        db.Rollback();
        return false;
    }
    if (version == kLatest) {
        db.Rollback(); // nothing to do: leave no trace
        return true;
    }
    for (int v = version; ok && v < kLatest; ++v)
        ok = db.Exec(kSteps[v]) &&
             db.Exec("UPDATE quelma.schema_version SET version = " + std::to_string(v + 1));
    if (!ok || !db.Commit()) {
        error = db.Error();
        db.Rollback();
        return false;
    }
    return true;
}

bool CheckEncoding(pg::Connection& db, std::string& error) {
    pg::Result r = db.Query("SELECT pg_encoding_to_char(encoding) FROM pg_database WHERE datname "
                            "= current_database()");
    if (!r || PQntuples(r.get()) != 1) {
        error = "cannot read the database's encoding: " + db.Error();
        return false;
    }
    const std::string encoding = pg::Value(r, 0, 0);
    if (encoding == "UTF8")
        return true;
    // Names in any station's code page must fit: only UTF-8 holds them all.
    error = "the database's encoding is " + encoding +
            ", not UTF8; create the database with ENCODING 'UTF8' (and TEMPLATE template0)";
    return false;
}

bool CheckCurrent(pg::Connection& db, std::string& error) {
    const int version = CurrentVersion(db);
    if (version == kLatest)
        return true;
    if (version == -2)
        error = db.Error().empty() ? "cannot read the schema version" : db.Error();
    else if (version == -1)
        error = "the database has no Quelma schema: run quelma-collect --db ... --init";
    else if (version < kLatest)
        error = "the database's schema is version " + std::to_string(version) +
                ": run quelma-collect --db ... --init to migrate it to version " +
                std::to_string(kLatest);
    else
        error = "the database's schema is version " + std::to_string(version) +
                ", newer than this program's " + std::to_string(kLatest);
    return false;
}

} // namespace schema
