// The layer table: numbers handed out and reused, the format chosen from the name, the limits,
// closing, and the error reporter.
#include <filesystem>
#include <set>
#include <sstream>

#include "gis/formats.h"
#include "gis_session.h"
#include "text/encoding.h"

namespace vktest {
namespace {

using vk::gisCloseLayer;
using vk::gisOpenLayer;

class Registry : public GisSession {
  protected:
    std::set<std::string> filesInFolder() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }
};

TEST_F(Registry, NumbersStartAtOneAndTheLowestFreeIsReused) {
    int a = gisOpenLayer(dir.file("a.mif"), "", "O ", gisSchema);
    int b = gisOpenLayer(dir.file("b.mif"), "", "O ", gisSchema);
    int c = gisOpenLayer(dir.file("c.mif"), "", "O ", gisSchema);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(c, 3);

    gisCloseLayer(b);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(gisOpenLayer(dir.file("d.mif"), "", "O ", gisSchema), 2);
    EXPECT_EQ(gisOpenLayer(dir.file("e.mif"), "", "O ", gisSchema), 4);
}

TEST_F(Registry, OpeningAndClosingAMifLayerTranscript) {
    const std::string base = dir.file("out");
    int id = gisOpenLayer(base + ".mif   ", "", "O ", gisSchema);
    EXPECT_EQ(transcript, "Opening GIS Layer: " + base + ".mif\n" +
                              "GIS Layer assigned ID of 1\n"
                              "\nTrying to open file " +
                              base + ".mif...OK.  File Unit:1001\n" + "\nTrying to open file " +
                              base + ".mid...OK.  File Unit:1002\n");
    const vk::GisLayer& layer = vk::gisLayer(id);
    EXPECT_TRUE(layer.open);
    EXPECT_TRUE(layer.writeMode);
    EXPECT_NE(dynamic_cast<vk::MifLayerWriter*>(layer.writer.get()), nullptr);
    EXPECT_EQ(layer.name, base + ".mif");
    EXPECT_EQ(mifPair(id).mif().unit(), 1001);
    EXPECT_EQ(mifPair(id).mid().unit(), 1002);

    transcript.clear();
    gisCloseLayer(id);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(transcript, "Closing GIS Layer 1 [" + base +
                              ".mif]...\n"
                              "...Closed File Unit:1001\n"
                              "...Closed File Unit:1002\n");
    EXPECT_FALSE(vk::gisLayer(1).open);
    EXPECT_EQ(vk::gisLayer(1).writer, nullptr);
}

TEST_F(Registry, TheHundredAndFirstLayerEndsTheRun) {
    // Shapefile layers without sets open no files, so the table fills quickly.
    for (int i = 1; i <= vk::kMaxGisLayers; ++i)
        ASSERT_EQ(gisOpenLayer(dir.file("l" + std::to_string(i) + ".shp"), "", "O ", gisSchema), i);
    const std::string name = dir.file("extra.mif");
    EXPECT_EQ(endsRun([&] { gisOpenLayer(name, "", "O ", gisSchema); }),
              "Opening GIS Layer: " + name + "\n" +
                  "\nERROR 0251 - Cannot have more than 100 GIS layers open at once.\n" +
                  std::string(kExitTail));
    EXPECT_FALSE(fileExists(name));
}

TEST_F(Registry, UnsupportedExtensionsAreNamedLowerCased) {
    for (const auto& [file, extension] :
         {std::pair{"a.dbf", ".dbf"}, std::pair{"a.csv", ".csv"}, std::pair{"b.CSV", ".csv"}}) {
        SCOPED_TRACE(file);
        vk::gisResetAll();
        const std::string name = dir.file(file);
        EXPECT_EQ(endsRun([&] { gisOpenLayer(name, "", "O ", gisSchema); }),
                  "Opening GIS Layer: " + name + "\nGIS Layer assigned ID of 1\n" +
                      "\nERROR 0252 - " + extension + " is not a supported GIS file format.\n" +
                      std::string(kExitTail));
    }
    EXPECT_TRUE(filesInFolder().empty());
}

// An error naming a long path goes on in the lines after the first, cut at whole characters:
// the reason at its end is kept, in full when the four lines hold it all.
TEST_F(Registry, LongErrorsGoOnInWholeCharactersAndKeepTheirEnd) {
    for (const int letters : {400, 1500, 2500}) {
        std::string path = "/";
        for (int i = 0; i < letters; ++i) path += "\xC3\xA9";  // é
        const std::string message = "ERROR - Cannot write GeoPackage " + path + ": disk I/O error";
        const std::string out = endsRun([&] {
            vk::gisEndRunOn({vk::GisError::PackageWrite, path + ": disk I/O error"});
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

TEST_F(Registry, MifNamesWithAndWithoutExtensionGiveTheSamePair) {
    for (const std::string& path : {dir.file("out.MIF"), dir.file("out"), dir.file("out.mid"),
                                    "  " + dir.file("out.mif") + "  "}) {
        SCOPED_TRACE(path);
        int id = gisOpenLayer(path, "", "O ", gisSchema);
        EXPECT_NE(dynamic_cast<vk::MifLayerWriter*>(vk::gisLayer(id).writer.get()), nullptr);
        gisCloseLayer(id);
        EXPECT_EQ(filesInFolder(), (std::set<std::string>{"out.mif", "out.mid"}));
    }
}

// Each row of the format table: a layer named with any of its extensions is written in that
// format, its files named as the row says, its header carrying the projection kept where the row
// says.
TEST_F(Registry, EachFormatWritesTheLayersNamedWithItsExtensions) {
    gisSchema.fieldCount = 1;
    gisSchema.fields[0] = {"Name", "Char", 10};
    int folders = 0;
    for (const vk::OutputFormat& format : vk::outputFormats()) {
        const std::string main(format.extensions.front()), mark = "PROJECTION " + main;
        for (std::string_view extension : format.extensions) {
            SCOPED_TRACE(main + " as '" + std::string(extension) + "'");
            gis.projections = {};
            gis.projections.*format.projection = mark;
            const std::string folder = dir.file(std::to_string(++folders));
            std::filesystem::create_directory(folder);
            // A package is the run's one file, named by the run.
            gis.packagePath = format.packageExtension.empty() ? "" : folder + "/t" + main;
            int id = gisOpenLayer(folder + "/t" + std::string(extension), "PL", "O ", gisSchema);
            vk::gisWriteHeader(id);
            gisCloseLayer(id);
            EXPECT_EQ(vk::gisCommitPackage(), !format.packageExtension.empty());
            std::set<std::string> named;
            bool projected = false;
            for (const auto& file : std::filesystem::directory_iterator(folder)) {
                if (file.path().extension() == main) named.insert(file.path().filename().string());
                projected |= readFile(file.path().string()).find(mark) != std::string::npos;
            }
            const std::set<std::string> sets = {"t_L" + main, "t_P" + main}, one = {"t" + main};
            EXPECT_EQ(named, format.setPerFamily ? sets : one);
            EXPECT_TRUE(projected);
        }
    }
}

TEST_F(Registry, ClosingTwiceThroughTheSameVariableOnlyWarns) {
    int id = gisOpenLayer(dir.file("a.mif"), "", "O ", gisSchema);
    gisCloseLayer(id);
    ASSERT_EQ(id, 0);
    transcript.clear();
    gisCloseLayer(id);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(transcript, "SOFTWARE CHECK - Trying to close a GIS Layer that's not open.  Please "
                          "contact support@varnokline.example.\n");
    // The run goes on: the table still hands out numbers.
    EXPECT_EQ(gisOpenLayer(dir.file("b.mif"), "", "O ", gisSchema), 1);
}

TEST_F(Registry, ClosingANumberThatIsNotOpenEndsTheRun) {
    int id = 5;
    EXPECT_EQ(endsRun([&] { gisCloseLayer(id); }),
              "Closing GIS Layer 5 []...\n"
              "Should not be here [gisCloseLayer] - please contact support@varnokline.example.\n" +
                  std::string(kExitTail));
}

TEST_F(Registry, NumbersOutsideTheTableAreRefused) {
    int id = vk::kMaxGisLayers + 1;
    gisCloseLayer(id);
    EXPECT_EQ(id, vk::kMaxGisLayers + 1);
    EXPECT_EQ(transcript, "SOFTWARE CHECK - Trying to close a GIS Layer that's not open.  Please "
                          "contact support@varnokline.example.\n");
    EXPECT_EQ(endsRun([] { vk::gisInitialiseLayer(0); }),
              "Should not be here gisInitialiseLayer[gisID=0] - please contact "
              "support@varnokline.example.\n" +
                  std::string(kExitTail));
    EXPECT_EQ(endsRun([] { vk::gisWriteEoF(-3); }),
              "Should not be here gisWriteEoF[gisID=0] - please contact "
              "support@varnokline.example.\n" +
                  std::string(kExitTail));
}

TEST_F(Registry, ModesAndShapefileKindLetters) {
    const std::string name = dir.file("a.mif");
    EXPECT_EQ(endsRun([&] { gisOpenLayer(name, "", "I ", gisSchema); }),
              "Opening GIS Layer: " + name + "\nGIS Layer assigned ID of 1\n" +
                  "Should not be here [OpenGIS] - please contact support@varnokline.example.\n" +
                  std::string(kExitTail));
    EXPECT_FALSE(fileExists(name));

    vk::gisResetAll();
    const std::string shp = dir.file("s.shp");
    EXPECT_EQ(endsRun([&] { gisOpenLayer(shp, "X", "O ", gisSchema); }),
              "Opening GIS Layer: " + shp + "\nGIS Layer assigned ID of 1\n" +
                  "Should not be here [OpenshpFileType] - please contact "
                  "support@varnokline.example.\n" +
                  std::string(kExitTail));
}

TEST_F(Registry, ShapefileKindsOpenTheirSetsOnly) {
    const int id = gisOpenLayer(dir.file("river.shp"), "lP  ", "O ", gisSchema);
    const vk::GisLayer& layer = vk::gisLayer(id);
    EXPECT_NE(dynamic_cast<vk::ShapefileLayerWriter*>(layer.writer.get()), nullptr);
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

TEST_F(Registry, ARepeatedKindLetterOpensItsSetOnce) {
    int id = gisOpenLayer(dir.file("river.shp"), "PpP", "O ", gisSchema);
    std::size_t opens = 0;
    for (std::size_t at = 0; (at = transcript.find("Trying to open file", at)) != std::string::npos;
         ++at)
        ++opens;
    EXPECT_EQ(opens, 4u); // .shp, .shx, .prj, .dbf
    gisCloseLayer(id);
    // Every unit was released: the next file gets the first unit again.
    int unit = 0;
    vk::OPENER(unit, "O ", dir.file("x.txt"), 80);
    EXPECT_EQ(unit, 1001);
}

TEST_F(Registry, ShapefileCloseReleasesEveryUnitOfEverySet) {
    gisSchema.fieldCount = 1;
    gisSchema.fields[0] = {"Name", "Char", 10};
    int id = gisOpenLayer(dir.file("river.shp"), "P", "O ", gisSchema);
    vk::gisWriteHeader(id);
    transcript.clear();
    gisCloseLayer(id);
    // .shp, .shx, .prj and .dbf on 1001-1004, each held until the layer is closed.
    EXPECT_EQ(transcript, "Closing GIS Layer 1 [" + dir.file("river.shp") + "]...\n" +
                              "...Closed File Unit:1001\n"
                              "...Closed File Unit:1002\n"
                              "...Closed File Unit:1003\n"
                              "...Closed File Unit:1004\n");
    // Every unit was released, and the writer with them.
    EXPECT_EQ(vk::gisLayer(1).writer, nullptr);
    int unit = 0;
    vk::OPENER(unit, "O ", dir.file("x.txt"), 80);
    EXPECT_EQ(unit, 1001);
}

TEST_F(Registry, ErrorReportPrintsTheNonBlankLines) {
    gisErrorText[0] = "ERROR 9999 - First line.   ";
    vk::gisReportError(1);
    EXPECT_EQ(transcript, "\nERROR 9999 - First line.\n");

    transcript.clear();
    gisErrorText[2] = "  third line  ";
    gisErrorText[3] = "     ";
    vk::gisReportError(2);
    EXPECT_EQ(transcript, "\n\nERROR 9999 - First line.\n  third line\n");
    // The buffer is left as it was.
    EXPECT_EQ(gisErrorText[2], "  third line  ");
}

// Every failure a writer can report has a text of its own, with its detail in place, so that no
// status reaches the console as the fallback for an unknown error.
TEST_F(Registry, EveryWriterFailureHasItsOwnMessage) {
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

TEST_F(Registry, ResetForgetsLayersLeftOpenByAnEndedRun) {
    gisOpenLayer(dir.file("a.mif"), "", "O ", gisSchema);
    gisOpenLayer(dir.file("b.shp"), "", "O ", gisSchema);
    gisErrorText[1] = "left over";
    mifProjection = "CoordSys Earth Projection 1, 104";
    vk::INITFILEUNITS(1000);
    vk::gisResetAll();
    EXPECT_FALSE(vk::gisLayer(1).open);
    EXPECT_EQ(vk::gisLayer(1).writer, nullptr);
    EXPECT_TRUE(gisErrorText[1].empty());
    EXPECT_TRUE(mifProjection.empty());
    EXPECT_EQ(gisOpenLayer(dir.file("c.mif"), "", "O ", gisSchema), 1);
}

} // namespace
} // namespace vktest
