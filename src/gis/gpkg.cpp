// The GeoPackage of a run: one SQLite database, written in one transaction through prepared
// statements with a bounded page cache, so that memory does not grow with the export.
#include "gis/gpkg.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <utility>

#include <sqlite3.h>

#include "files/platform.h"
#include "files/units.h"
#include "gis/binary.h"
#include "files/console.h"
#include "gis/formats.h"
#include "text/encoding.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

// The tables every GeoPackage holds, and the three coordinate systems it must define.
constexpr std::string_view kPackageTables = R"(
CREATE TABLE gpkg_spatial_ref_sys (srs_name TEXT NOT NULL, srs_id INTEGER NOT NULL PRIMARY KEY,
  organization TEXT NOT NULL, organization_coordsys_id INTEGER NOT NULL,
  definition TEXT NOT NULL, description TEXT);
CREATE TABLE gpkg_contents (table_name TEXT NOT NULL PRIMARY KEY, data_type TEXT NOT NULL,
  identifier TEXT UNIQUE, description TEXT DEFAULT '',
  last_change DATETIME NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ','now')),
  min_x DOUBLE, min_y DOUBLE, max_x DOUBLE, max_y DOUBLE, srs_id INTEGER,
  CONSTRAINT fk_gc_r_srs_id FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys(srs_id));
CREATE TABLE gpkg_geometry_columns (table_name TEXT NOT NULL, column_name TEXT NOT NULL,
  geometry_type_name TEXT NOT NULL, srs_id INTEGER NOT NULL, z TINYINT NOT NULL,
  m TINYINT NOT NULL,
  CONSTRAINT pk_geom_cols PRIMARY KEY (table_name, column_name),
  CONSTRAINT uk_gc_table_name UNIQUE (table_name),
  CONSTRAINT fk_gc_tn FOREIGN KEY (table_name) REFERENCES gpkg_contents(table_name),
  CONSTRAINT fk_gc_srs FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys (srs_id));
CREATE TABLE gpkg_extensions (table_name TEXT, column_name TEXT, extension_name TEXT NOT NULL,
  definition TEXT NOT NULL, scope TEXT NOT NULL,
  CONSTRAINT ge_tce UNIQUE (table_name, column_name, extension_name));
INSERT INTO gpkg_spatial_ref_sys VALUES ('Undefined Cartesian SRS', -1, 'NONE', -1, 'undefined',
  'undefined Cartesian coordinate reference system');
INSERT INTO gpkg_spatial_ref_sys VALUES ('Undefined geographic SRS', 0, 'NONE', 0, 'undefined',
  'undefined geographic coordinate reference system');
INSERT INTO gpkg_spatial_ref_sys VALUES ('WGS 84 geodetic', 4326, 'EPSG', 4326,
  'GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563,AUTHORITY["EPSG","7030"]],AUTHORITY["EPSG","6326"]],PRIMEM["Greenwich",0,AUTHORITY["EPSG","8901"]],UNIT["degree",0.0174532925199433,AUTHORITY["EPSG","9122"]],AXIS["Latitude",NORTH],AXIS["Longitude",EAST],AUTHORITY["EPSG","4326"]]',
  'longitude/latitude coordinates in decimal degrees on the WGS 84 spheroid');
)";

// The triggers that keep a table's R-tree in step with later edits by other programs ("T" the
// table, "G" the geometry column, "R" the R-tree, "N" the prefix of the triggers' names). The
// functions they call are those every GeoPackage reader provides.
constexpr std::string_view kIndexTriggers = R"(
CREATE TRIGGER "N_insert" AFTER INSERT ON "T" WHEN (new.G NOT NULL AND NOT ST_IsEmpty(NEW.G))
BEGIN INSERT OR REPLACE INTO "R" VALUES (NEW.fid, ST_MinX(NEW.G), ST_MaxX(NEW.G),
  ST_MinY(NEW.G), ST_MaxY(NEW.G)); END;
CREATE TRIGGER "N_update1" AFTER UPDATE OF G ON "T"
  WHEN OLD.fid = NEW.fid AND (NEW.G NOTNULL AND NOT ST_IsEmpty(NEW.G))
BEGIN INSERT OR REPLACE INTO "R" VALUES (NEW.fid, ST_MinX(NEW.G), ST_MaxX(NEW.G),
  ST_MinY(NEW.G), ST_MaxY(NEW.G)); END;
CREATE TRIGGER "N_update2" AFTER UPDATE OF G ON "T"
  WHEN OLD.fid = NEW.fid AND (NEW.G ISNULL OR ST_IsEmpty(NEW.G))
BEGIN DELETE FROM "R" WHERE id = OLD.fid; END;
CREATE TRIGGER "N_update3" AFTER UPDATE ON "T"
  WHEN OLD.fid != NEW.fid AND (NEW.G NOTNULL AND NOT ST_IsEmpty(NEW.G))
BEGIN DELETE FROM "R" WHERE id = OLD.fid; INSERT OR REPLACE INTO "R" VALUES (NEW.fid,
  ST_MinX(NEW.G), ST_MaxX(NEW.G), ST_MinY(NEW.G), ST_MaxY(NEW.G)); END;
CREATE TRIGGER "N_update4" AFTER UPDATE ON "T"
  WHEN OLD.fid != NEW.fid AND (NEW.G ISNULL OR ST_IsEmpty(NEW.G))
BEGIN DELETE FROM "R" WHERE id IN (OLD.fid, NEW.fid); END;
CREATE TRIGGER "N_delete" AFTER DELETE ON "T" WHEN old.G NOT NULL
BEGIN DELETE FROM "R" WHERE id = OLD.fid; END;
)";

constexpr std::string_view kGeometryColumn = "geom";
// The page cache, in KiB (SQLite's negative cache size): memory stays flat whatever the export.
constexpr int kCacheKiB = 8192;
// Attempts at a temporary name that no file has.
constexpr int kTemporaryNames = 1000;
// The first id of a coordinate system that no organisation's code names.
constexpr int kOwnSrsId = 100000;

// "name" with every " inside doubled: an identifier whatever it holds.
std::string quoted(std::string_view name, char quote = '"') {
    std::string out(1, quote);
    for (const char c : name) {
        out += c;
        if (c == quote) out += c;
    }
    out += quote;
    return out;
}

// The text with every `mark` made `by`.
std::string replaced(std::string_view text, char mark, std::string_view by) {
    std::string out;
    for (const char c : text) {
        if (c == mark)
            out += by;
        else
            out += c;
    }
    return out;
}

std::string columnType(const GisAttribute& field) {
    if (field.type == "Char")
        return field.width > 0 ? "TEXT(" + std::to_string(field.width) + ")" : "TEXT";
    if (field.type == "Float" || field.type == "Decimal") return "REAL";
    if (field.type == "Integer") return "INTEGER";
    if (field.type == "Logical") return "BOOLEAN";
    return "TEXT";
}

std::string geometryTypeOf(std::string_view kinds) {
    if (kinds.empty()) return {};
    switch (kinds[0]) {
    case 'P':
        return "POINT";
    case 'L':
        return "LINESTRING";
    case 'R':
        return "POLYGON";
    default:
        return "GEOMETRY";
    }
}

// The first quoted text of a WKT: the name of what it defines.
std::string wktName(std::string_view wkt) {
    const std::size_t open = wkt.find('"');
    if (open == std::string_view::npos) return "Undefined";
    const std::size_t close = wkt.find('"', open + 1);
    if (close == std::string_view::npos) return "Undefined";
    return std::string(wkt.substr(open + 1, close - open - 1));
}

// WKB, little-endian ("1"), of the object's vertices first .. first+count-1; with z, each with
// its height (0 for an object without heights).
void appendPoints(std::string& out, const GisObject& object, std::size_t first, std::size_t count,
                  bool z = false) {
    const bool heights = z && object.hasZ();
    for (std::size_t j = first; j < first + count; ++j) {
        append<kLittle>(out, object.X[j]);
        append<kLittle>(out, object.Y[j]);
        if (z) append<kLittle>(out, heights ? object.Z[j] : 0.0);
    }
}

void appendHead(std::string& out, std::uint32_t type) {
    out += '\x01';
    append<kLittle>(out, type);
}

constexpr std::uint32_t kWkbPoint = 1, kWkbLineString = 2, kWkbPolygon = 3, kWkbZ = 1000;

// The vertices of part i (1-based) of an object made of parts.
std::pair<std::size_t, std::size_t> partOf(const GisObject& object, int i) {
    const int first = object.ir[static_cast<std::size_t>(i - 1)];
    const int next = i < object.nr ? object.ir[static_cast<std::size_t>(i)] : object.n + 1;
    return {static_cast<std::size_t>(first - 1),
            static_cast<std::size_t>(std::max(next - first, 0))};
}

std::size_t vertexCount(const GisObject& object) {
    return object.n > 0 ? static_cast<std::size_t>(object.n) : 0;
}

// The WKB of an object and the vertices it covers; false for an object without geometry. With
// z, the lines and polygons are written with heights (ISO WKB "Z" types).
bool appendWkb(std::string& out, const GisObject& object, std::size_t& vertices, bool z) {
    vertices = 0;
    const std::uint32_t zType = z ? kWkbZ : 0;
    switch (object.kind) {
    case GisKind::Point:
        appendHead(out, kWkbPoint);
        appendPoints(out, object, 0, 1);
        vertices = 1;
        return true;
    case GisKind::Pline:
        vertices = vertexCount(object);
        appendHead(out, kWkbLineString + zType);
        append<kLittle>(out, static_cast<std::uint32_t>(vertices));
        appendPoints(out, object, 0, vertices, z);
        return true;
    case GisKind::Region: {
        appendHead(out, kWkbPolygon + zType);
        append<kLittle>(out, static_cast<std::uint32_t>(object.nr));
        for (int i = 1; i <= object.nr; ++i) {
            const auto [first, count] = partOf(object, i);
            append<kLittle>(out, static_cast<std::uint32_t>(count));
            appendPoints(out, object, first, count, z);
        }
        vertices = vertexCount(object);
        return true;
    }
    case GisKind::None:
    case GisKind::Unset:
        return false;
    }
    return false;
}

} // namespace

void SqlStatement::reset(sqlite3_stmt* statement) {
    if (statement_) sqlite3_finalize(statement_);
    statement_ = statement;
}

bool SqlRows::start(GpkgPackage& package, const std::string& head, int columns, bool handOver,
                    GpkgIndex* index) {
    package_ = &package;
    index_ = index;
    handOver_ = handOver;
    columns_ = static_cast<std::size_t>(columns);
    for (Batch& batch : batches_)
        clear(batch);
    filling_ = 0;
    std::string row = "(";
    for (int i = 0; i < columns; ++i)
        row += i == 0 ? "?" : ", ?";
    row += ")";
    // As many rows as a statement may have values for (a table of many profiles' levels).
    const int most = package.valuesPerStatement() / std::max(columns, 1);
    batchRows_ = static_cast<std::size_t>(std::clamp(most, 1, kBatch));
    std::string rows = head + " VALUES " + row;
    for (std::size_t i = 1; i < batchRows_; ++i)
        rows += ", " + row;
    return package.prepare(head + " VALUES " + row, one_) && package.prepare(rows, batch_);
}

void SqlRows::text(std::string_view value) {
    Batch& batch = filling();
    const std::size_t at = batch.bytes.size();
    appendUtf8(batch.bytes, value);
    batch.cells.push_back({Cell::Text, static_cast<std::uint32_t>(batch.bytes.size() - at),
                           static_cast<std::int64_t>(at)});
}

void SqlRows::blob(std::string_view value) {
    Batch& batch = filling();
    batch.cells.push_back({Cell::Blob, static_cast<std::uint32_t>(value.size()),
                           static_cast<std::int64_t>(batch.bytes.size())});
    batch.bytes += value;
}

void SqlRows::entry(std::int64_t id, const double box[4]) {
    filling().entries.push_back({id, {box[0], box[1], box[2], box[3]}});
}

void SqlRows::clear(Batch& batch) {
    batch.cells.clear();
    batch.entries.clear();
    // A line of millions of points is not kept room for until the run ends.
    if (batch.bytes.capacity() > 4 * kHandedBytes)
        std::string().swap(batch.bytes);
    else
        batch.bytes.clear();
}

bool SqlRows::endRow() {
    // Handed over, a batch is many statements' rows (waking the other thread costs as much as a
    // statement), unless they are long lines: two batches of a table are held at a time.
    const Batch& batch = filling();
    if (batch.cells.size() < columns_ * batchRows_ * (handOver_ ? kHandedStatements : 1) &&
        (!handOver_ || batch.bytes.size() < kHandedBytes))
        return true;
    if (handOver_) {
        // The batch after the two that may still wait to be inserted.
        if (!package_->hand(*this, filling_)) return false;
        filling_ = (filling_ + 1) % batches_.size();
        clear(filling());
        return true;
    }
    const bool done = insert(filling());
    clear(filling());
    return done;
}

bool SqlRows::finish() {
    bool done = !package_ || package_->drain();
    if (done) done = insert(filling());
    clear(filling());
    one_.reset(nullptr);
    batch_.reset(nullptr);
    return done;
}

bool SqlRows::insert(const Batch& batch) {
    const std::size_t all = batch.cells.size();
    for (std::size_t first = 0; first < all;) {
        const bool many = all - first >= columns_ * batchRows_;
        sqlite3_stmt* statement = many ? batch_.get() : one_.get();
        const std::size_t count = many ? columns_ * batchRows_ : columns_;
        for (std::size_t k = 0; k < count; ++k) {
            const Cell& cell = batch.cells[first + k];
            const int at = static_cast<int>(k) + 1;
            switch (cell.kind) {
            case Cell::Null:
                sqlite3_bind_null(statement, at);
                break;
            case Cell::Integer:
                sqlite3_bind_int64(statement, at, cell.value);
                break;
            case Cell::Real:
                sqlite3_bind_double(statement, at, std::bit_cast<double>(cell.value));
                break;
            case Cell::Text:
                sqlite3_bind_text(statement, at, batch.bytes.data() + cell.value,
                                  static_cast<int>(cell.size), SQLITE_STATIC);
                break;
            case Cell::Blob:
                sqlite3_bind_blob(statement, at, batch.bytes.data() + cell.value,
                                  static_cast<int>(cell.size), SQLITE_STATIC);
                break;
            }
        }
        first += count;
        const bool done = sqlite3_step(statement) == SQLITE_DONE;
        sqlite3_reset(statement);
        if (!done) return false;
    }
    for (const Entry& entry : batch.entries)
        if (!index_->add(entry.id, entry.box)) return false;
    return true;
}

std::string isoTime(std::int64_t seconds) {
    // Days to a civil date (proleptic Gregorian), in whole 400-year eras.
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t inDay = seconds - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    const auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return std::to_string(year) + "-" + two(month) + "-" + two(day) + "T" + two(inDay / 3600) +
           ":" + two(inDay / 60 % 60) + ":" + two(inDay % 60) + ".000Z";
}

SrsAuthority wktAuthority(std::string_view wkt) {
    // The AUTHORITY["ORG","CODE"] or ID["ORG",CODE] directly inside the outermost brackets; the
    // last such is the one that names the whole.
    SrsAuthority found;
    int depth = 0;
    bool inQuote = false;
    for (std::size_t at = 0; at < wkt.size(); ++at) {
        const char c = wkt[at];
        if (c == '"') inQuote = !inQuote;
        if (inQuote) continue;
        if (c == '[' || c == '(') {
            if (depth == 1) {
                std::size_t start = at;
                while (start > 0 && std::isalpha(static_cast<unsigned char>(wkt[start - 1])))
                    --start;
                const std::string keyword = std::string(wkt.substr(start, at - start));
                if (ASAME(keyword, "AUTHORITY") || ASAME(keyword, "ID")) {
                    const std::size_t end = wkt.find_first_of("])", at);
                    std::string_view inside = wkt.substr(at + 1, end - at - 1);
                    const std::size_t comma = inside.find(',');
                    std::string organisation(inside.substr(0, comma));
                    std::string code(comma == std::string_view::npos ? std::string_view()
                                                                     : inside.substr(comma + 1));
                    std::erase(organisation, '"');
                    std::erase(code, '"');
                    std::erase(code, ' ');
                    std::int64_t value = 0;
                    bool digits = !code.empty();
                    for (const char d : code) {
                        if (d < '0' || d > '9' || value > 999999999) digits = false;
                        if (digits) value = value * 10 + (d - '0');
                    }
                    found = digits ? SrsAuthority{std::string(trimRight(organisation)), value}
                                   : SrsAuthority{};
                }
            }
            ++depth;
        } else if (c == ']' || c == ')') {
            --depth;
        }
    }
    return found;
}

GpkgPackage::GpkgPackage(UnitTable& units, std::string path, std::int64_t lastChange)
    : units_(units), path_(std::move(path)), lastChange_(isoTime(lastChange)) {}

GpkgPackage::~GpkgPackage() {
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    if (db_) sqlite3_close_v2(db_);
    if (!committed_ && !kept_ && !temporary_.empty()) (void)sys::removeFile(temporary_);
    if (hold_ != sys::kNoFile) sys::closeFile(hold_);
}

std::string GpkgPackage::temporaryName(int n) const {
    return path_ + "." + std::to_string(n) + ".tmp";
}

int GpkgPackage::claim() {
    if (!temporary_.empty()) return 0;
    if (const int error = probeOutputName(units_, path_)) return error;
    // A temporary package that another run holds is that run's package in the making; one that
    // no run holds was left by a run that was killed, and goes.
    bool another = false;
    for (int n = 1; n <= kTemporaryNames; ++n) {
        const std::string name = temporaryName(n);
        sys::File left;
        const int error = sys::holdFile(name, false, left);
        another = another || error == EWOULDBLOCK;
        if (error != 0) continue;  // none, another run's, or not a file of ours to remove
        (void)sys::removeFile(name);
        sys::closeFile(left);
    }
    if (another) return EWOULDBLOCK;
    // A name of this run's own beside the package, held from its creation, so that two runs
    // never write into one file and no other run takes it for one left behind.
    for (int n = 1; n <= kTemporaryNames; ++n) {
        std::string name = temporaryName(n);
        sys::File held;
        const int error = sys::holdFile(name, true, held);
        if (error == EEXIST) continue;
        if (error != 0) return error;
        // Removed by another run's look before it was held: the name is tried again later.
        sys::FileInfo named, file;
        if (!sys::pathInfo(name, named) || !sys::fileInfo(held, file) || named.id != file.id) {
            sys::closeFile(held);
            continue;
        }
        temporary_ = std::move(name);
        hold_ = held;
        return 0;
    }
    return EEXIST;
}

bool GpkgPackage::hand(SqlRows& rows, std::size_t batch) {
    if (!thread_.joinable()) thread_ = std::thread([this] { insertHanded(); });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return rows.handed_ < 2 || handFailed_; });
    if (handFailed_) return false;
    handed_.emplace_back(&rows, batch);
    ++rows.handed_;
    lock.unlock();
    changed_.notify_all();
    return true;
}

int GpkgPackage::valuesPerStatement() const {
    return sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
}

bool GpkgPackage::drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return handed_.empty() && !inserting_; });
    return !handFailed_;
}

void GpkgPackage::insertHanded() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !handed_.empty() || stopping_; });
        if (stopping_) return; // the package is not committed: what is left is of no use
        const auto [rows, batch] = handed_.front();
        handed_.pop_front();
        inserting_ = true;
        lock.unlock();
        // After a failure the batches are passed over: the run is ending.
        const bool done = !handFailed_ && rows->insert(rows->batches_[batch]);
        lock.lock();
        inserting_ = false;
        --rows->handed_;
        handFailed_ = handFailed_ || !done;
        changed_.notify_all();
    }
}

bool GpkgPackage::exec(const std::string& sql) {
    if (!drain()) return false;
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool GpkgPackage::prepare(const std::string& sql, SqlStatement& statement) {
    if (!drain()) return false;
    sqlite3_stmt* prepared = nullptr;
    const int result = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()) + 1,
                                          SQLITE_PREPARE_PERSISTENT, &prepared, nullptr);
    statement.reset(prepared);
    return result == SQLITE_OK;
}

GisStatus GpkgPackage::failed() const {
    return {GisError::PackageWrite,
            path_ + ": " + (db_ ? sqlite3_errmsg(db_) : "cannot open the database")};
}

GisStatus GpkgPackage::create(std::string_view projection, int epsg) {
    // The library's allocation counts lock a mutex on every allocation and are never read; this
    // is refused (and harmless) once the library has started.
    static const int unused = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)unused;
    // Claimed here when the run did not claim it before (a test's package).
    if (const int error = claim(); error == EEXIST)
        return {GisError::PackageWrite, path_ + ": no temporary name is free"};
    else if (error != 0)
        return {GisError::PackageWrite, path_ + ": " + sys::errorText(error)};
    if (sqlite3_open_v2(sys::utf8Path(temporary_).c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return failed();
    // The file is renamed into place whole or deleted: no journal is needed to undo anything.
    const std::string setup = "PRAGMA application_id = 1196444487; PRAGMA user_version = 10300;"
                              "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;"
                              "PRAGMA locking_mode = EXCLUSIVE; PRAGMA cache_size = -" +
                              std::to_string(kCacheKiB) + "; BEGIN;";
    if (!exec(setup) || !exec(std::string(kPackageTables))) return failed();
    if (!trimRight(projection).empty() && !defineProjection(trimRight(projection), epsg))
        return failed();
    return {};
}

bool GpkgPackage::defineProjection(std::string_view wkt, int epsgCode) {
    const SrsAuthority authority = wktAuthority(wkt);
    const bool epsg = epsgCode > 0 || (ASAME(authority.organisation, "EPSG") && authority.code > 0);
    srsId_ = epsgCode > 0 ? epsgCode : epsg ? static_cast<int>(authority.code) : kOwnSrsId;
    SqlStatement define;
    if (!prepare("INSERT OR REPLACE INTO gpkg_spatial_ref_sys VALUES (?, ?, ?, ?, ?, NULL)",
                 define))
        return false;
    const std::string name = toUtf8(wktName(wkt));
    const std::string definition = toUtf8(wkt);
    sqlite3_stmt* s = define.get();
    sqlite3_bind_text(s, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 2, srsId_);
    sqlite3_bind_text(s, 3, epsg ? "EPSG" : "NONE", -1, SQLITE_STATIC);
    sqlite3_bind_int(s, 4, srsId_);
    sqlite3_bind_text(s, 5, definition.c_str(), static_cast<int>(definition.size()),
                      SQLITE_TRANSIENT);
    return sqlite3_step(s) == SQLITE_DONE;
}

GisStatus GpkgPackage::finish() {
    if (!exec("COMMIT;")) return failed();
    const int closed = sqlite3_close(db_);
    if (closed != SQLITE_OK) return failed();
    db_ = nullptr;
    return {};
}

int GpkgPackage::moveIntoPlace() {
    if (const int error = probeOutputName(units_, path_)) return error;
    if (const int error = sys::replaceFile(temporary_, path_)) return error;
    committed_ = true;
    // The package's name now holds the file this run holds, until the run's end.
    keepHeldFile(units_, std::exchange(hold_, sys::kNoFile));
    return 0;
}

GisStatus GpkgPackage::commit() {
    if (GisStatus status = finish(); !status.ok()) return status;
    if (const int error = moveIntoPlace())
        return {GisError::PackageWrite, path_ + ": " + sys::errorText(error)};
    return {};
}

namespace {

// The R-tree keeps single-precision boxes, widened to hold the exact one.
float below(double value) {
    float f = static_cast<float>(value);
    if (static_cast<double>(f) > value) f = std::nextafter(f, -HUGE_VALF);
    return f;
}
float above(double value) {
    float f = static_cast<float>(value);
    if (static_cast<double>(f) < value) f = std::nextafter(f, HUGE_VALF);
    return f;
}

// A node's cell: the entry's id or the child's node number, then the box, all big-endian.
constexpr std::size_t kCellBytes = 8 + 4 * 4;
constexpr std::size_t kNodeHeader = 4;

} // namespace

bool GpkgIndex::start(GpkgPackage& package, const std::string& name) {
    // The module made an empty root of the size of every node.
    SqlStatement size;
    if (!package.prepare("SELECT length(data) FROM " + quoted(name + "_node") + " WHERE nodeno = 1",
                         size) ||
        sqlite3_step(size.get()) != SQLITE_ROW)
        return false;
    nodeSize_ = static_cast<std::size_t>(sqlite3_column_int(size.get(), 0));
    capacity_ = nodeSize_ > kNodeHeader ? (nodeSize_ - kNodeHeader) / kCellBytes : 0;
    levels_.clear();
    written_.clear();
    next_ = 2;
    lastRowid_ = 0;
    return capacity_ >= 2 &&
           package.prepare("INSERT OR REPLACE INTO " + quoted(name + "_node") + " VALUES (?, ?)",
                           node_) &&
           rowids_.start(package, "INSERT INTO " + quoted(name + "_rowid") + " (rowid, nodeno)",
                         2, false) &&
           package.prepare("INSERT INTO " + quoted(name + "_parent") + " VALUES (?, ?)", parent_);
}

bool GpkgIndex::add(std::int64_t id, const double box[4]) {
    return add(0, Cell{id, {below(box[0]), above(box[1]), below(box[2]), above(box[3])}});
}

bool GpkgIndex::add(std::size_t level, const Cell& cell) {
    if (levels_.size() <= level) {
        levels_.resize(level + 1);
        written_.resize(level + 1, 0);
    }
    // Another cell follows, so a full node is not the root: it is written and goes up.
    if (levels_[level].size() == capacity_ && !goUp(level)) return false;
    levels_[level].push_back(cell);
    return true;
}

bool GpkgIndex::goUp(std::size_t level) {
    const std::int64_t number = next_++;
    if (!write(level, number, false)) return false;
    Cell up{number, {HUGE_VALF, -HUGE_VALF, HUGE_VALF, -HUGE_VALF}};
    for (const Cell& c : levels_[level]) {
        up.box[0] = std::min(up.box[0], c.box[0]);
        up.box[1] = std::max(up.box[1], c.box[1]);
        up.box[2] = std::min(up.box[2], c.box[2]);
        up.box[3] = std::max(up.box[3], c.box[3]);
    }
    levels_[level].clear();
    written_[level] = 1;
    return add(level + 1, up);
}

bool GpkgIndex::write(std::size_t level, std::int64_t number, bool root) {
    const std::vector<Cell>& cells = levels_[level];
    blob_.clear();
    append<kBig>(blob_, static_cast<std::uint16_t>(root ? level : 0)); // the tree's depth
    append<kBig>(blob_, static_cast<std::uint16_t>(cells.size()));
    for (const Cell& cell : cells) {
        append<kBig>(blob_, cell.id);
        for (const float v : cell.box)
            append<kBig>(blob_, std::bit_cast<std::uint32_t>(v));
    }
    blob_.resize(nodeSize_, '\0');
    sqlite3_stmt* n = node_.get();
    sqlite3_bind_int64(n, 1, number);
    sqlite3_bind_blob(n, 2, blob_.data(), static_cast<int>(blob_.size()), SQLITE_STATIC);
    const bool stored = sqlite3_step(n) == SQLITE_DONE;
    sqlite3_reset(n);
    if (!stored) return false;
    // Where each entry is (a leaf's) or each child hangs (an inner node's).
    if (level == 0) {
        for (const Cell& cell : cells) {
            // An id one above the last is the one SQLite gives a row without one, and costs no
            // search for a row of that id; entries arrive in the order of their ids.
            if (cell.id == lastRowid_ + 1)
                rowids_.null();
            else
                rowids_.integer(cell.id);
            lastRowid_ = cell.id;
            rowids_.integer(number);
            if (!rowids_.endRow()) return false;
        }
        return true;
    }
    sqlite3_stmt* s = parent_.get();
    for (const Cell& cell : cells) {
        sqlite3_bind_int64(s, 1, cell.id);
        sqlite3_bind_int64(s, 2, number);
        const bool done = sqlite3_step(s) == SQLITE_DONE;
        sqlite3_reset(s);
        if (!done) return false;
    }
    return true;
}

bool GpkgIndex::finish() {
    // Bottom up: the first level that never sent a node up holds the root; below it, the last
    // node of each level goes up as the others did.
    for (std::size_t level = 0; level < levels_.size(); ++level) {
        if (!written_[level]) {
            if (!write(level, 1, true)) return false;
            break;
        }
        if (!goUp(level)) return false;
    }
    node_.reset(nullptr);
    parent_.reset(nullptr);
    return rowids_.finish();
}

GisStatus GpkgLayerWriter::open(std::string_view name, std::string_view kinds) {
    table_ = toUtf8(FILENAME(name));
    // Names that SQLite ("sqlite_") and the GeoPackage's own tables ("gpkg_", "rtree_") keep for
    // themselves, in any case, begin with "_" (an input named "sqlite_x.sdf").
    for (const std::string_view reserved : {"sqlite_", "gpkg_", "rtree_"})
        if (UPPERCASE(std::string_view(table_).substr(0, reserved.size())) == UPPERCASE(reserved))
            table_.insert(0, "_");
    geometryType_ = geometryTypeOf(kinds);
    return {};
}

GisStatus GpkgLayerWriter::header(const GisSchema& schema, const GisProjections& projections) {
    if (!package_->created()) {
        const std::string& definition =
            projections.packageWkt.empty() ? projections.shp : projections.packageWkt;
        if (GisStatus status = package_->create(definition, projections.epsg); !status.ok())
            return status;
    }
    GpkgPackage& p = *package_;

    const std::string table = quoted(table_);
    const bool features = !geometryType_.empty();
    std::string create =
        "CREATE TABLE " + table + " (fid INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL";
    std::string insert = "INSERT INTO " + table + " (";
    if (features) {
        create += ", " + std::string(kGeometryColumn) + " " + geometryType_;
        insert += std::string(kGeometryColumn);
    }
    for (int i = 0; i < schema.fieldCount; ++i) {
        const GisAttribute& field = schema.fields[static_cast<std::size_t>(i)];
        const std::string column = quoted(toUtf8(trimRight(field.name)));
        create += ", " + column + " " + columnType(field);
        insert += (!features && i == 0 ? "" : ", ") + column;
    }
    create += ");";
    const std::string literal = quoted(table_, '\'');
    const std::string srs = features ? std::to_string(p.srsId()) : "NULL";
    create += "INSERT INTO gpkg_contents (table_name, data_type, identifier, last_change, srs_id) "
              "VALUES (" +
              literal + ", '" + (features ? "features" : "attributes") + "', " + literal + ", '" +
              p.lastChange() + "', " + srs + ");";
    const std::string rtree = "rtree_" + table_ + "_" + std::string(kGeometryColumn);
    if (features) {
        create += "INSERT INTO gpkg_geometry_columns VALUES (" + literal + ", '" +
                  std::string(kGeometryColumn) + "', '" + geometryType_ + "', " + srs +
                  ", 0, 0);"
                  "CREATE VIRTUAL TABLE " +
                  quoted(rtree) +
                  " USING rtree(id, minx, maxx, miny, maxy);"
                  "INSERT INTO gpkg_extensions VALUES (" +
                  literal + ", '" + std::string(kGeometryColumn) +
                  "', 'gpkg_rtree_index', 'http://www.geopackage.org/spec120/#extension_rtree', "
                  "'write-only');";
    }
    if (!p.exec(create) ||
        !rows_.start(p, insert + ")", (features ? 1 : 0) + schema.fieldCount, true,
                     features ? &index_ : nullptr))
        return p.failed();
    lastId_ = 0;
    if (features && !index_.start(p, rtree)) return p.failed();
    fields_ = static_cast<std::size_t>(schema.fieldCount);
    return {};
}

GisStatus GpkgLayerWriter::object(GisObject& object) {
    if (object.kind == GisKind::Unset) return gisFault("[gpkgWriteObject-Kind]");
    geometry_.clear();
    hasBox_ = false;
    if (geometryType_.empty() || object.kind == GisKind::None) return {};

    // The header: magic, version 0, flags (little-endian, an x/y envelope or empty), srs_id.
    if (!zDecided_) {
        zDecided_ = true;
        hasZ_ = hasParts(object.kind) && object.hasZ();
    }
    std::string wkb;
    std::size_t vertices = 0;
    appendWkb(wkb, object, vertices, hasZ_ && hasParts(object.kind));
    hasBox_ = vertices > 0;
    if (hasBox_) {
        box_[0] = box_[1] = object.X[0];
        box_[2] = box_[3] = object.Y[0];
        for (std::size_t j = 1; j < vertices; ++j) {
            box_[0] = std::min(box_[0], object.X[j]);
            box_[1] = std::max(box_[1], object.X[j]);
            box_[2] = std::min(box_[2], object.Y[j]);
            box_[3] = std::max(box_[3], object.Y[j]);
        }
    }
    geometry_ += "GP";
    geometry_ += '\0';
    geometry_ += static_cast<char>(hasBox_ ? 0x03 : 0x11);
    append<kLittle>(geometry_, static_cast<std::int32_t>(package_->srsId()));
    if (hasBox_)
        for (const double v : box_)
            append<kLittle>(geometry_, v);
    geometry_ += wkb;
    return {};
}

// A real that is a single-precision value (an elevation, a distance along the line) as the
// decimal it stands for: 319.03, not the 319.029998779297 that the float is in double precision.
// Values come back often (elevations, n values): the last decimal of each slot is kept.
double StoredReals::stored(double value) {
    const auto single = static_cast<float>(value);
    if (!std::isfinite(single) || static_cast<double>(single) != value) return value;
    const auto bits = std::bit_cast<std::uint32_t>(single);
    Slot& slot = slots_[(bits ^ (bits >> 13)) % slots_.size()];
    if (slot.used && slot.bits == bits) return slot.stored;
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, single);
    double stored = value;
    std::from_chars(text, written.ptr, stored);
    slot = {true, bits, stored};
    return stored;
}

GisStatus GpkgLayerWriter::record(const GisObject& object) {
    ++lastId_;
    if (!geometryType_.empty()) {
        if (geometry_.empty())
            rows_.null();
        else
            rows_.blob(geometry_);
    }
    const std::size_t count = std::min(object.values.size(), fields_);
    for (std::size_t k = 0; k < fields_; ++k) {
        if (k >= count) {
            rows_.null();
            continue;
        }
        const GisValue& value = object.values[k];
        switch (value.type) {
        case GisValue::Type::Text:
            rows_.text(value.text);
            break;
        case GisValue::Type::Real:
            rows_.real(reals_.stored(value.real));
            break;
        case GisValue::Type::Integer:
            rows_.integer(value.integer);
            break;
        case GisValue::Type::Missing:
            rows_.null();
            break;
        }
    }
    if (hasBox_) rows_.entry(lastId_, box_);
    if (!rows_.endRow()) return package_->failed();
    if (!hasBox_) return {};
    if (!hasExtent_) std::copy(std::begin(box_), std::end(box_), std::begin(extent_));
    extent_[0] = std::min(extent_[0], box_[0]);
    extent_[1] = std::max(extent_[1], box_[1]);
    extent_[2] = std::min(extent_[2], box_[2]);
    extent_[3] = std::max(extent_[3], box_[3]);
    hasExtent_ = true;
    return {};
}

GisStatus GpkgLayerWriter::finish() {
    if (!package_) return {};
    GpkgPackage& p = *package_;
    if (!rows_.finish()) return p.failed();
    if (geometryType_.empty()) return {};
    if (!index_.finish()) return p.failed();
    const std::string literal = quoted(table_, '\'');
    if (hasZ_ && !p.exec("UPDATE gpkg_geometry_columns SET z = 1 WHERE table_name = " + literal))
        return p.failed();
    if (hasExtent_) {
        SqlStatement extent;
        if (!p.prepare("UPDATE gpkg_contents SET min_x = ?, min_y = ?, max_x = ?, max_y = ? "
                       "WHERE table_name = " +
                           literal,
                       extent))
            return p.failed();
        sqlite3_bind_double(extent.get(), 1, extent_[0]);
        sqlite3_bind_double(extent.get(), 2, extent_[2]);
        sqlite3_bind_double(extent.get(), 3, extent_[1]);
        sqlite3_bind_double(extent.get(), 4, extent_[3]);
        if (sqlite3_step(extent.get()) != SQLITE_DONE) return p.failed();
    }
    // Created once the rows are in: they fire only on later edits.
    const std::string prefix = "rtree_" + table_ + "_" + std::string(kGeometryColumn);
    // Only the marks standing alone: every other capital in the text is part of a word.
    const std::string_view triggers = kIndexTriggers;
    const std::string escapedTable = replaced(table_, '"', "\"\"");
    const std::string escapedPrefix = replaced(prefix, '"', "\"\"");
    std::string sql;
    for (std::size_t at = 0; at < triggers.size(); ++at) {
        const char c = triggers[at];
        const bool alone =
            (at == 0 || !std::isalnum(static_cast<unsigned char>(triggers[at - 1]))) &&
            (at + 1 == triggers.size() ||
             !std::isalnum(static_cast<unsigned char>(triggers[at + 1])));
        if (alone && c == 'T')
            sql += escapedTable;
        else if (alone && (c == 'R' || c == 'N'))
            sql += escapedPrefix;
        else if (alone && c == 'G')
            sql += kGeometryColumn;
        else
            sql += c;
    }
    if (!p.exec(sql)) return p.failed();
    return {};
}

GeoPackage::GeoPackage(RunContext& run, const OutputFormat& format, DatasetPlace place)
    : GisDataset(run, format, std::move(place)),
      package_(std::make_unique<GpkgPackage>(run.units,
          this->place().folder + this->place().base + std::string(format.extension),
          this->place().time)) {}

std::unique_ptr<GisDataset> openGeoPackage(RunContext& run, const OutputFormat& format,
                                           DatasetPlace place) {
    auto dataset = std::make_unique<GeoPackage>(run, format, std::move(place));
    GpkgPackage& package = *dataset->package_;
    if (!retryOutput(run, package.path(), [&] { return package.claim(); }))
        unableToOpen(run, package.path());
    return dataset;
}

std::unique_ptr<LayerWriter> GeoPackage::makeWriter() {
    return std::make_unique<GpkgLayerWriter>(*package_);
}

std::unique_ptr<GisLayer> GeoPackage::createTable(std::string_view name, const GisSchema& schema) {
    return createLayer(name, "", schema);
}

void GeoPackage::finish() {
    if (!package_) return;
    GpkgPackage& package = *package_;
    gisEndRunOn(run(), package.finish());
    // Its name taken meanwhile (held by a program that reads it, a folder made there): asked about
    // as an output that cannot be opened; without anyone to ask, the finished package is kept.
    if (!retryOutput(run(), package.path(), [&] { return package.moveIntoPlace(); })) {
        package.keepTemporary();
        gisEndRunOn(run(), {GisError::PackageKept, package.temporary()});
    }
    const std::string path = package.path();
    package_.reset();
    run().console.line("GeoPackage written: " + path);
}

std::string GeoPackage::unfinished() const {
    if (!package_) return {};
    return "No GeoPackage was written: " + package_->path() + " is as it was.";
}

} // namespace vk
