// The GeoPackage writer: every layer of a run as a table of one SQLite database, <base>.gpkg.
// The database is the run's dataset (GeoPackage): its name claimed when it is opened, before the
// run writes anything (refused as any output is when something other than an ordinary file has
// it, another run holds it or the run reads it), written under a temporary name in the same
// folder, <base>.gpkg.N.tmp, that the run holds from its creation to its end, and renamed over
// <base>.gpkg only when the run has finished (GeoPackage::finish), so that a run that fails
// leaves an earlier file as it was; a package that is never committed deletes its temporary file. A temporary
// package that no run holds was left by a run that was killed: the next claim removes it. A layer
// opened with geometry kinds is a feature table with an R-tree index; one opened without is an
// attribute table.
#pragma once

#include <array>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "files/platform.h"
#include "gis/dataset.h"
#include "gis/writer.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vk {

// A prepared statement, finalised when it goes.
class SqlStatement {
  public:
    SqlStatement() = default;
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;
    ~SqlStatement() { reset(nullptr); }
    void reset(sqlite3_stmt* statement);
    sqlite3_stmt* get() const { return statement_; }

  private:
    sqlite3_stmt* statement_ = nullptr;
};

class GpkgIndex;
class SqlRows;

// The package's database, and the thread that inserts the tables' rows into it while the run goes
// on with the next sections (SQLite's work is most of a GeoPackage run's). Only one of the two
// uses the database at any time: the run's thread hands batches over, a few ahead so that the
// package's thread never waits for it to wake up, and waits for the package's thread to be done
// before any use of its own (exec, prepare).
class GpkgPackage {
  public:
    // units: the run's unit table, which holds the package once committed; path: the name the
    // package gets when committed; lastChange: the time that gpkg_contents gives every table, in
    // seconds since 1970-01-01 00:00 UTC.
    GpkgPackage(UnitTable& units, std::string path, std::int64_t lastChange);
    GpkgPackage(const GpkgPackage&) = delete;
    GpkgPackage& operator=(const GpkgPackage&) = delete;
    ~GpkgPackage(); // not committed: closed and its temporary file deleted

    // Claims the package's name: removes the temporary packages that no run holds, and creates
    // and holds one of this run's own; 0, or why not (EWOULDBLOCK: another run writes this
    // package; EEXIST: no temporary name is free; see probeOutputName).
    int claim();
    // Creates the package's own tables in the temporary file (claimed first when it was not), the
    // coordinate system of the run from a projection's WKT (none: the undefined Cartesian
    // system), under its EPSG code when one is given (else the WKT's own EPSG authority, else a
    // code of its own), and begins the run's one transaction.
    GisStatus create(std::string_view projection, int epsg = 0);
    bool created() const { return db_ != nullptr; }
    // Ends the transaction and closes the database.
    GisStatus finish();
    // Renames the finished package over its name, unless something other than an ordinary file
    // has that name or another run holds it: 0, or the errno.
    int moveIntoPlace();
    // finish() and moveIntoPlace().
    GisStatus commit();
    // The finished package stays under its temporary name when the package goes.
    void keepTemporary() { kept_ = true; }
    const std::string& temporary() const { return temporary_; }

    int srsId() const { return srsId_; }
    const std::string& lastChange() const { return lastChange_; }
    const std::string& path() const { return path_; }
    // Runs statements that return no rows; false on a failure (failed() tells it).
    bool exec(const std::string& sql);
    bool prepare(const std::string& sql, SqlStatement& statement);
    // Hands the rows' batch to the package's thread, once fewer than two of their batches wait
    // there; false when inserting any batch failed.
    bool hand(SqlRows& rows, std::size_t batch);
    // Waits until the package's thread has inserted what it was given; false when that failed.
    bool drain();
    // The most values one statement may be given.
    int valuesPerStatement() const;
    // The status of the last failure, with the database's words for it.
    GisStatus failed() const;

  private:
    bool defineProjection(std::string_view wkt, int epsg);
    std::string temporaryName(int n) const;
    void insertHanded();
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Batches handed over, in order: a table's rows by index into its batches.
    std::deque<std::pair<SqlRows*, std::size_t>> handed_;
    bool inserting_ = false;
    bool handFailed_ = false;
    bool stopping_ = false;
    UnitTable& units_;
    std::string path_;
    std::string temporary_;
    std::string lastChange_;
    sqlite3* db_ = nullptr;
    int srsId_ = -1;
    bool committed_ = false;
    bool kept_ = false;
    sys::File hold_ = sys::kNoFile;  // the temporary file, held until it is committed or removed
};

// Rows inserted into one table, sent to SQLite a batch at a time: a statement of kBatch rows (fewer
// when the table has too many columns for that) is prepared once and its values bound from the rows kept here, the last rows of the table one by
// one. Running a statement costs several times as much as adding a row to it (cursors opened and
// closed, AUTOINCREMENT's counter read and written), so a row at a time would be most of the work.
// The values of a row are given in the column order of `head` ("INSERT INTO t (a, b)"), then the
// row's entry in the table's index if it has one, each row ended by endRow().
// With `handOver`, full batches are inserted by the package's thread while the next fills (rows
// whose table gets its ids from AUTOINCREMENT have them in the order given); a failure shows at a
// later endRow() or at finish().
class SqlRows {
  public:
    static constexpr int kBatch = 256;
    // A batch handed over holds this many statements' rows, or fewer rows of this many bytes.
    static constexpr int kHandedStatements = 4;
    static constexpr std::size_t kHandedBytes = 128 * 1024;
    bool start(GpkgPackage& package, const std::string& head, int columns, bool handOver,
               GpkgIndex* index = nullptr);
    void null() { filling().cells.push_back({Cell::Null, 0, 0}); }
    void integer(std::int64_t value) { filling().cells.push_back({Cell::Integer, 0, value}); }
    void real(double value) {
        filling().cells.push_back({Cell::Real, 0, std::bit_cast<std::int64_t>(value)});
    }
    // A text stored as UTF-8 (text that is not is read as Windows-1252).
    void text(std::string_view value);
    void blob(std::string_view value);
    // The row's id and envelope (min x, max x, min y, max y) for the index.
    void entry(std::int64_t id, const double box[4]);
    bool endRow();
    // Inserts the rows kept and lets the statements go.
    bool finish();

  private:
    friend class GpkgPackage;
    // A value: an integer, a double's bits, or where a text or blob begins in the batch's bytes.
    struct Cell {
        enum Kind : std::uint8_t { Null, Integer, Real, Text, Blob } kind;
        std::uint32_t size; // a text's or blob's length
        std::int64_t value;
    };
    struct Entry {
        std::int64_t id;
        double box[4];
    };
    struct Batch {
        std::vector<Cell> cells;
        std::string bytes;
        std::vector<Entry> entries;
    };
    // Inserts the batch's rows, a statement's rows at a time and then one by one, and adds their
    // entries to the index.
    bool insert(const Batch& batch);
    static void clear(Batch& batch);
    Batch& filling() { return batches_[filling_]; }
    GpkgPackage* package_ = nullptr;
    GpkgIndex* index_ = nullptr;
    bool handOver_ = false;
    std::size_t columns_ = 0;
    std::size_t batchRows_ = 1;
    // The batch being filled and the two before it, which may still be waiting to be inserted.
    std::array<Batch, 3> batches_;
    std::size_t filling_ = 0;
    int handed_ = 0; // batches handed over and not yet inserted
    SqlStatement one_;
    SqlStatement batch_;
};

// The coordinate system a projection's WKT names by its outermost AUTHORITY (or ID): the
// organisation and its code; empty when it names none.
struct SrsAuthority {
    std::string organisation;
    std::int64_t code = 0;
};
SrsAuthority wktAuthority(std::string_view wkt);

// A table's R-tree, packed as its entries arrive: each node is filled in turn and written to the
// R-tree module's own tables once full, its box going up into the node above, so that only one
// node per level is held. Entries arriving along the sections and the reaches, as a run's do, lie
// close together, which is what packs them well; any order gives a valid tree. Inserting into
// the module row by row rewrites a node for every entry, several times the cost of the table.
class GpkgIndex {
  public:
    // The R-tree `name`, just created (empty).
    bool start(GpkgPackage& package, const std::string& name);
    // An entry: min x, max x, min y, max y.
    bool add(std::int64_t id, const double box[4]);
    // Writes the nodes still held, the last at the top as the root.
    bool finish();

  private:
    struct Cell {
        std::int64_t id;
        float box[4];
    };
    bool add(std::size_t level, const Cell& cell);
    // Writes the level's node and adds its box to the level above.
    bool goUp(std::size_t level);
    bool write(std::size_t level, std::int64_t number, bool root);
    std::vector<std::vector<Cell>> levels_;
    std::vector<char> written_; // whether a node of the level has gone up
    std::size_t nodeSize_ = 0;
    std::size_t capacity_ = 0;
    std::int64_t next_ = 2; // node 1 is the root
    std::int64_t lastRowid_ = 0; // the last entry's id in the leaves written
    SqlStatement node_;
    SqlRows rowids_;
    SqlStatement parent_;
    std::string blob_;
};

// ISO 8601 in UTC with milliseconds, as gpkg_contents keeps its times.
std::string isoTime(std::int64_t seconds);

// Reals as a package stores them: a single-precision value as the decimal it stands for.
class StoredReals {
  public:
    double stored(double value);

  private:
    struct Slot {
        bool used = false;
        std::uint32_t bits = 0;
        double stored = 0;
    };
    std::array<Slot, 4096> slots_{};
};

class GpkgLayerWriter final : public LayerWriter {
  public:
    explicit GpkgLayerWriter(GpkgPackage& package) : package_(&package) {}
    // The table is named as the layer without its folder and extension; kinds: the first letter
    // gives the geometry type (P points, L lines, R regions); none, an attribute table.
    GisStatus open(std::string_view name, std::string_view kinds) override;
    // The package keeps its one file: a layer has none of its own.
    std::span<OutputFile> files() override { return {}; }
    // Creates the package's tables at the run's first layer, then the table, its entries in the
    // package's own tables and its R-tree index.
    GisStatus header(const GisSchema& schema, const GisProjections& projections) override;
    // The geometry in GeoPackage binary with its envelope, kept for the record.
    GisStatus object(GisObject& object) override;
    // One row: the geometry and the values, texts as UTF-8; its envelope into the index.
    GisStatus record(const GisObject& object) override;
    // The table's extent in gpkg_contents (and its Z in gpkg_geometry_columns) and the
    // triggers that keep the index.
    GisStatus finish() override;

  private:
    GpkgPackage* package_;
    std::string table_;
    std::string geometryType_; // empty for an attribute table
    std::size_t fields_ = 0;
    SqlRows rows_;
    // The last row's id, counted here for the index: AUTOINCREMENT gives a new table's rows 1, 2, 3
    // in the order they are inserted.
    std::int64_t lastId_ = 0;
    GpkgIndex index_;
    std::string geometry_;         // the last object's, empty for none
    StoredReals reals_;
    double box_[4] = {0, 0, 0, 0}; // the last object's envelope: min x, max x, min y, max y
    double extent_[4] = {0, 0, 0, 0};
    bool hasBox_ = false;
    bool hasExtent_ = false;
    // Decided by the first object with geometry: lines and polygons with a height per vertex
    // make the layer one with Z (0 for an object without heights).
    bool zDecided_ = false;
    bool hasZ_ = false;
};

// The run's package: every layer a table of it, and the tables of the sections and of the water
// surface too.
class GeoPackage final : public GisDataset {
  public:
    GeoPackage(RunContext& run, const OutputFormat& format, DatasetPlace place);
    std::unique_ptr<GisLayer> createTable(std::string_view name, const GisSchema& schema) override;
    // Puts the package in its place with every table in it, with a line naming it; a failure is
    // reported and ends the run. A name held by another program at that moment is asked about as
    // an output that cannot be opened; without console input the finished package is kept under
    // its temporary name, named in the error.
    void finish() override;
    std::string unfinished() const override;

  protected:
    std::unique_ptr<LayerWriter> makeWriter() override;

  private:
    friend std::unique_ptr<GisDataset> openGeoPackage(RunContext&, const OutputFormat&,
                                                      DatasetPlace);
    std::unique_ptr<GpkgPackage> package_;  // none once committed
};

// Opens the run's package, its name claimed before anything is written: while something other
// than an ordinary file has it or another run holds it (or is writing it), the opener's "Can't
// Open" dialogue, and without console input the end of the run. A temporary package left by a run
// that was killed is removed.
std::unique_ptr<GisDataset> openGeoPackage(RunContext& run, const OutputFormat& format,
                                           DatasetPlace place);

} // namespace vk
