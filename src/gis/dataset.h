// Datasets and their layers. A format's row opens a dataset for a run's outputs (gis/formats.h):
// files per layer, or one package that holds every layer. The dataset creates the layers, each an
// object that its producer holds and writes to, and finish() commits what the dataset holds. A
// layer is numbered on the console as the lowest number no open layer of its dataset has.
//
//   std::unique_ptr<GisDataset> dataset = format.openDataset(run, format, place);
//   std::unique_ptr<GisLayer> layer = dataset->createLayer("out/river.shp", "L", schema);
//   layer->writeObject(line);                 // the geometry, checked first
//   layer->writeRecord(line);                 // its values
//   layer->close();                           // totals patched in, files closed
//   dataset->finish();                        // a package put in its place
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "files/context.h"
#include "gis/crs.h"
#include "gis/object.h"
#include "gis/schema.h"
#include "gis/status.h"
#include "gis/writer.h"

namespace vk {

struct OutputFormat;  // gis/formats.h

// Where a run's dataset goes and what it is made with.
struct DatasetPlace {
    std::string folder;  // the output folder with its separator, or empty
    std::string base;    // the run's base name
    GisProjections projections;
    std::int64_t time = 0;  // the input's modification time, which a package dates its tables by
    // -t_srs: every object's coordinates are written transformed (the producer's stay as they are).
    std::optional<CrsTransform> transform;
};

inline constexpr int kMaxGisLayers = 100;

class GisDataset;

// One layer of a dataset. A failure of its writer is reported and ends the run (gisEndRunOn).
class GisLayer {
  public:
    GisLayer(GisDataset& dataset, int number, std::string name, std::unique_ptr<LayerWriter> writer,
             const GisSchema& schema);
    GisLayer(const GisLayer&) = delete;
    GisLayer& operator=(const GisLayer&) = delete;
    ~GisLayer();

    // The object's geometry: its parts and vertices checked first (a fault ends the run).
    void writeObject(GisObject& object);
    void writeRecord(GisObject& object);
    // Completes and closes the layer's files.
    void close();

    bool isOpen() const { return open_; }
    int number() const { return number_; }
    const std::string& name() const { return name_; }
    LayerWriter& writer() { return *writer_; }

  private:
    friend class GisDataset;
    void writeHeader();
    // The close-out of a layer left open when the run ends early: see GisDataset::settle.
    void settle();
    RunContext& run_;      // its dataset's run
    GisDataset* dataset_;  // none once closed, or once the dataset is gone
    int number_;
    std::string name_;
    std::unique_ptr<LayerWriter> writer_;
    GisSchema schema_;
    bool open_ = true;
};

// A dataset writes for one run: its console shows the layers' messages, its unit table holds their
// files, and a failure ends it.
class GisDataset {
  public:
    GisDataset(RunContext& run, const OutputFormat& format, DatasetPlace place);
    GisDataset(const GisDataset&) = delete;
    GisDataset& operator=(const GisDataset&) = delete;
    virtual ~GisDataset();

    // Creates a layer named `name` (its folder and the format's extension included, trailing
    // blanks removed) and writes its header. kinds: the geometry families ("P" points, "L" lines,
    // "R" regions), for formats that keep them apart; none for a table without geometry.
    std::unique_ptr<GisLayer> createLayer(std::string_view name, std::string_view kinds,
                                          const GisSchema& schema);
    // A table of rows without geometry, for a dataset that holds the tables too; nullptr for one
    // whose tables are files of their own (the .csv tables).
    virtual std::unique_ptr<GisLayer> createTable(std::string_view name, const GisSchema& schema);
    // Commits what the dataset holds at the end of a finished run.
    virtual void finish() {}
    // The line that says what an unfinished run left in place of the dataset; empty for none.
    virtual std::string unfinished() const { return {}; }
    // Whether the run writes its tables (each section's, the water surface's) as .csv files too;
    // a dataset held in memory takes them as its tables alone.
    virtual bool tablesAsFiles() const { return true; }

    const OutputFormat& format() const { return format_; }
    const DatasetPlace& place() const { return place_; }
    RunContext& run() const { return run_; }

  protected:
    virtual std::unique_ptr<LayerWriter> makeWriter() = 0;

  private:
    friend class GisLayer;
    // The layers with totals in their headers that are still open when the run ends early (a
    // write that failed, an error): each is closed out with the features written so far or, where
    // that fails too, its files are removed with a warning naming it.
    void settle();
    RunContext& run_;
    // Writes the object with its coordinates transformed (place_.transform), then puts them back.
    GisStatus writeTransformed(LayerWriter& writer, const std::string& layer, GisObject& object);
    const OutputFormat& format_;
    DatasetPlace place_;
    std::vector<double> keptX_, keptY_;  // the producer's coordinates while they are transformed
    std::vector<GisLayer*> open_;  // in order of creation
    bool settling_ = false;         // registered with the run's end
};

// A dataset of files per layer, each layer's writer made by Writer.
template <class Writer> class LayerFiles final : public GisDataset {
  public:
    using GisDataset::GisDataset;

  protected:
    // A writer that makes files beyond those it names (a Shapefile's .cpg) is given the run's
    // unit table for them.
    std::unique_ptr<LayerWriter> makeWriter() override {
        if constexpr (std::is_constructible_v<Writer, UnitTable&>)
            return std::make_unique<Writer>(run().units);
        else
            return std::make_unique<Writer>();
    }
};

} // namespace vk
