// Datasets and their layers: numbers handed out and reused, each format's dataset, the limits,
// closing, and the error reporter.
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "gis/formats.h"
#include "gis_session.h"
#include "text/encoding.h"

namespace vktest {
namespace {

class Datasets : public GisSession {
  protected:
    void SetUp() override {
        GisSession::SetUp();
        gisSchema.fieldCount = 1;  // a layer is headed as it is created: a .dbf needs a field
        gisSchema.fields[0] = {"Name", "Char", 10};
    }
    std::set<std::string> filesInFolder() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }
};

TEST_F(Datasets, NumbersStartAtOneAndTheLowestFreeIsReused) {
    auto a = openLayer(dir.file("a.mif"), "", gisSchema);
    auto b = openLayer(dir.file("b.mif"), "", gisSchema);
    auto c = openLayer(dir.file("c.mif"), "", gisSchema);
    EXPECT_EQ(a->number(), 1);
    EXPECT_EQ(b->number(), 2);
    EXPECT_EQ(c->number(), 3);

    b->close();
    EXPECT_FALSE(b->isOpen());
    EXPECT_EQ(openLayer(dir.file("d.mif"), "", gisSchema)->number(), 2);
    EXPECT_EQ(openLayer(dir.file("e.mif"), "", gisSchema)->number(), 2);
    const auto f = openLayer(dir.file("f.mif"), "", gisSchema);
    EXPECT_EQ(openLayer(dir.file("g.mif"), "", gisSchema)->number(), 4);
}

TEST_F(Datasets, OpeningAndClosingAMifLayerTranscript) {
    const std::string base = dir.file("out");
    auto id = openLayer(base + ".mif   ", "", gisSchema);
    EXPECT_EQ(transcript, "Opening GIS Layer: " + base + ".mif\n" +
                              "GIS Layer assigned ID of 1\n"
                              "\nTrying to open file " +
                              base + ".mif...OK.  File Unit:1001\n" + "\nTrying to open file " +
                              base + ".mid...OK.  File Unit:1002\n");
    EXPECT_TRUE(id->isOpen());
    EXPECT_EQ(id->name(), base + ".mif");
    EXPECT_EQ(mifPair(id).mif().unit(), 1001);
    EXPECT_EQ(mifPair(id).mid().unit(), 1002);

    transcript.clear();
    id->close();
    EXPECT_FALSE(id->isOpen());
    EXPECT_EQ(transcript, "Closing GIS Layer 1 [" + base +
                              ".mif]...\n"
                              "...Closed File Unit:1001\n"
                              "...Closed File Unit:1002\n");
}

TEST_F(Datasets, TheHundredAndFirstLayerEndsTheRun) {
    // Shapefile layers without sets open no files, so the dataset fills quickly.
    std::vector<Layer> layers;
    for (int i = 1; i <= vk::kMaxGisLayers; ++i) {
        layers.push_back(openLayer(dir.file("l" + std::to_string(i) + ".shp"), "", gisSchema));
        ASSERT_EQ(layers.back()->number(), i);
    }
    const std::string name = dir.file("extra.shp");
    EXPECT_EQ(endsRun([&] { openLayer(name, "P", gisSchema); }),
              "Opening GIS Layer: " + name + "\n" +
                  "\nERROR 0251 - Cannot have more than 100 GIS layers open at once.\n" +
                  std::string(kExitTail));
    EXPECT_FALSE(fileExists(dir.file("extra_P.shp")));
}

// An error naming a long path goes on in the lines after the first, cut at whole characters:
// the reason at its end is kept, in full when the four lines hold it all.
TEST_F(Datasets, LongErrorsGoOnInWholeCharactersAndKeepTheirEnd) {
    for (const int letters : {400, 1500, 2500}) {
        std::string path = "/";
        for (int i = 0; i < letters; ++i) path += "\xC3\xA9";  // é
        const std::string message = "ERROR - Cannot write GeoPackage " + path + ": disk I/O error";
        const std::string out = endsRun([&] {
            vk::gisEndRunOn(run, {vk::GisError::PackageWrite, path + ": disk I/O error"});
        });
        ASSERT_TRUE(out.starts_with("\nERROR - Cannot write GeoPackage /") &&
                    out.ends_with(": disk I/O error\n" + std::string(kExitTail)))
            << letters;
        std::string joined, line;
        std::istringstream lines(out.substr(1, out.size() - 1 - kExitTail.size()));
        while (std::getline(lines, line)) {
            EXPECT_LE(line.size(), 1000u);
            EXPECT_TRUE(vk::isUtf8(line)) << letters;
            joined += line;
        }
        if (message.size() <= 4000) {
            EXPECT_EQ(joined, message);
        }
    }
}

TEST_F(Datasets, MifNamesWithAndWithoutExtensionGiveTheSamePair) {
    for (const std::string& path : {dir.file("out.MIF"), dir.file("out"), dir.file("out.mid"),
                                    "  " + dir.file("out.mif") + "  "}) {
        SCOPED_TRACE(path);
        auto id = openLayer(path, "", gisSchema);
        id->close();
        EXPECT_EQ(filesInFolder(), (std::set<std::string>{"out.mif", "out.mid"}));
    }
}

// Each row of the format table opens its dataset: a layer's files named as the format names them,
// its header carrying the projection kept where the row says, a package put in its place.
TEST_F(Datasets, EachFormatOpensItsDataset) {
    gisSchema.fieldCount = 1;
    gisSchema.fields[0] = {"Name", "Char", 10};
    const std::map<std::string_view, std::set<std::string>> expected = {
        {"shp", {"t_L.shp", "t_P.shp"}}, {"mif", {"t.mif"}}, {"gpkg", {"t.gpkg"}}};
    ASSERT_EQ(expected.size(), vk::outputFormats().size());
    for (const vk::OutputFormat& format : vk::outputFormats()) {
        const std::string main(format.extension), mark = "PROJECTION " + main;
        SCOPED_TRACE(main);
        vk::DatasetPlace place{dir.file(std::string(format.option)) + "/", "t", {}, 0, {}};
        place.projections.*format.projection = mark;
        std::filesystem::create_directory(place.folder);
        const auto dataset = format.openDataset(run, format, place);
        auto id = dataset->createLayer(place.folder + "t" + main, "PL", gisSchema);
        id->close();
        dataset->finish();
        std::set<std::string> named;
        bool projected = false;
        for (const auto& file : std::filesystem::directory_iterator(place.folder)) {
            if (file.path().extension() == main) named.insert(file.path().filename().string());
            projected |= readFile(file.path().string()).find(mark) != std::string::npos;
        }
        EXPECT_EQ(named, expected.at(format.option));
        EXPECT_TRUE(projected);
    }
}

TEST_F(Datasets, ClosingTwiceThroughTheSameVariableOnlyWarns) {
    auto id = openLayer(dir.file("a.mif"), "", gisSchema);
    id->close();
    transcript.clear();
    id->close();
    EXPECT_EQ(transcript, "SOFTWARE CHECK - Trying to close a GIS Layer that's not open.  Please "
                          "contact support@varnokline.example.\n");
    // The run goes on: the dataset still hands out numbers.
    EXPECT_EQ(openLayer(dir.file("b.mif"), "", gisSchema)->number(), 1);
}

TEST_F(Datasets, UnknownShapefileKindLetters) {
    const std::string shp = dir.file("s.shp");
    EXPECT_EQ(endsRun([&] { openLayer(shp, "X", gisSchema); }),
              "Opening GIS Layer: " + shp + "\nGIS Layer assigned ID of 1\n" +
                  "Should not be here [OpenshpFileType] - please contact "
                  "support@varnokline.example.\n" +
                  std::string(kExitTail));
}

TEST_F(Datasets, ShapefileKindsOpenTheirSetsOnly) {
    const auto id = openLayer(dir.file("river.shp"), "lP  ", gisSchema);
    const vk::ShapefileLayerWriter& shapes = shapefile(id);
    EXPECT_TRUE(shapes.sets[0].isOpen());
    EXPECT_TRUE(shapes.sets[1].isOpen());
    EXPECT_FALSE(shapes.sets[2].isOpen());
    EXPECT_EQ(shapes.sets[0].fileShapeType, 1);
    EXPECT_EQ(shapes.sets[1].fileShapeType, 3);
    EXPECT_TRUE(shapes.tables[0].isOpen());
    EXPECT_FALSE(shapes.tables[2].isOpen());
    EXPECT_EQ(filesInFolder(),
              (std::set<std::string>{"river_L.shp", "river_L.shx", "river_L.prj", "river_L.dbf",
                                     "river_P.shp", "river_P.shx", "river_P.prj", "river_P.dbf"}));
}

TEST_F(Datasets, ARepeatedKindLetterOpensItsSetOnce) {
    auto id = openLayer(dir.file("river.shp"), "PpP", gisSchema);
    std::size_t opens = 0;
    for (std::size_t at = 0; (at = transcript.find("Trying to open file", at)) != std::string::npos;
         ++at)
        ++opens;
    EXPECT_EQ(opens, 4u); // .shp, .shx, .prj, .dbf
    id->close();
    // Every unit was released: the next file gets the first unit again.
    int unit = 0;
    vk::OPENER(run, unit, "O ", dir.file("x.txt"));
    EXPECT_EQ(unit, 1001);
}

TEST_F(Datasets, ShapefileCloseReleasesEveryUnitOfEverySet) {
    gisSchema.fieldCount = 1;
    gisSchema.fields[0] = {"Name", "Char", 10};
    auto id = openLayer(dir.file("river.shp"), "P", gisSchema);
    transcript.clear();
    id->close();
    // .shp, .shx, .prj and .dbf on 1001-1004, each held until the layer is closed.
    EXPECT_EQ(transcript, "Closing GIS Layer 1 [" + dir.file("river.shp") + "]...\n" +
                              "...Closed File Unit:1001\n"
                              "...Closed File Unit:1002\n"
                              "...Closed File Unit:1003\n"
                              "...Closed File Unit:1004\n");
    // Every unit was released.
    int unit = 0;
    vk::OPENER(run, unit, "O ", dir.file("x.txt"));
    EXPECT_EQ(unit, 1001);
}

TEST_F(Datasets, ErrorReportPrintsTheNonBlankLines) {
    std::array<std::string, 4> gisErrorText{"ERROR 9999 - First line.   "};
    vk::gisReportError(console(), gisErrorText, 1);
    EXPECT_EQ(transcript, "\nERROR 9999 - First line.\n");

    transcript.clear();
    gisErrorText[2] = "  third line  ";
    gisErrorText[3] = "     ";
    vk::gisReportError(console(), gisErrorText, 2);
    EXPECT_EQ(transcript, "\n\nERROR 9999 - First line.\n  third line\n");
    // The buffer is left as it was.
    EXPECT_EQ(gisErrorText[2], "  third line  ");
}

// Every failure a writer can report has a text of its own, with its detail in place, so that no
// status reaches the console as the fallback for an unknown error.
TEST_F(Datasets, EveryWriterFailureHasItsOwnMessage) {
    const std::string fallback = vk::gisErrorMessage({vk::GisError::Fault, "X"});
    EXPECT_EQ(fallback, "Should not be here X - please contact support@varnokline.example.");
    std::set<std::string> texts{fallback};
    for (int e = static_cast<int>(vk::GisError::TooManyLayers);
         e <= static_cast<int>(vk::GisError::CloseOut); ++e) {
        const std::string text = vk::gisErrorMessage({static_cast<vk::GisError>(e), "#7#"});
        SCOPED_TRACE(text);
        EXPECT_EQ(text.find('{'), std::string::npos);
        EXPECT_TRUE(texts.insert(text).second) << "the same text as another failure";
    }
    // Two failures share a number but not a text; the details stand where they belong.
    EXPECT_EQ(vk::gisErrorMessage({vk::GisError::DbfFieldWidth, "300"}),
              "ERROR 0412 - dbf field length of 300 is outside allowable range of 1 to 255 when "
              "writing dbf file.");
    EXPECT_EQ(vk::gisErrorMessage({vk::GisError::MidRecordWrite, ""}),
              "ERROR 0254 - Failed to write attribute data record for a  object in GIS layer.");
    EXPECT_EQ(transcript, "") << "composing a message writes nothing";
}

} // namespace
} // namespace vktest
