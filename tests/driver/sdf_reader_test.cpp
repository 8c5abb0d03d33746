#include "driver/sdf_reader.h"

#include <array>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/driver_session.h"
#include "support/testfiles.h"

namespace {

using vktest::kExitTail;

struct RecordedCentreline {
    vk::SdfIds ids;
    std::vector<double> x, y;
};

struct RecordedSection {
    vk::SdfIds ids;
    std::string station;
    bool hasCutLine = false, hasNValues = false, hasLevees = false, hasSurfaceLine = false;
    std::vector<std::array<double, 2>> cut;
    std::vector<std::array<float, 2>> nValues;
    std::vector<std::string> leveeIds;
    std::vector<std::array<float, 2>> levees; // position, height
    std::vector<std::array<double, 3>> surface;
    std::string blocks; // per declared block: its flag and its count
};

// Records everything the reader hands over, in order.
class Recorder : public vk::SdfConsumer {
  public:
    std::string events; // one letter per call: C centreline, S stream network done, X section,
                        // D cross-sections done
    std::vector<RecordedCentreline> centrelines;
    std::vector<RecordedSection> sections;

    void centreline(const vk::SdfIds& ids, vk::GisObject& line) override {
        events += 'C';
        RecordedCentreline c{ids, {}, {}};
        for (int i = 0; i < line.n; ++i) {
            c.x.push_back(line.X[static_cast<std::size_t>(i)]);
            c.y.push_back(line.Y[static_cast<std::size_t>(i)]);
        }
        centrelines.push_back(std::move(c));
    }
    void streamNetworkDone() override { events += 'S'; }
    void section(const vk::SdfIds& ids, const vk::SdfSection& s) override {
        events += 'X';
        RecordedSection r;
        r.ids = ids;
        r.station = s.station;
        r.hasCutLine = s.hasCutLine;
        r.hasNValues = s.hasNValues;
        r.hasLevees = s.hasLevees;
        r.hasSurfaceLine = s.hasSurfaceLine;
        for (const vk::SdfBlock& block : vk::kSdfBlocks)
            r.blocks += std::to_string(s.*block.present) + std::to_string(s.*block.count) + " ";
        auto at = [](int i) { return static_cast<std::size_t>(i); };
        // Each block's arrays hold exactly its entries: a plain copy of the section is complete.
        for (const auto& [count, sizes] :
             {std::pair{s.cutCount, std::vector{s.cutX.size(), s.cutY.size()}},
              std::pair{s.nCount, std::vector{s.nPosition.size(), s.nValue.size()}},
              std::pair{s.leveeCount, std::vector{s.leveeId.size(), s.leveePosition.size(),
                                                  s.leveeHeight.size()}},
              std::pair{s.surfaceCount,
                        std::vector{s.surfaceX.size(), s.surfaceY.size(), s.surfaceZ.size()}}})
            for (const std::size_t size : sizes) EXPECT_EQ(size, at(count)) << s.station;
        for (int i = 0; i < s.cutCount; ++i)
            r.cut.push_back({s.cutX[at(i)], s.cutY[at(i)]});
        for (int i = 0; i < s.nCount; ++i)
            r.nValues.push_back({s.nPosition[at(i)], s.nValue[at(i)]});
        for (int i = 0; i < s.leveeCount; ++i) {
            r.leveeIds.push_back(s.leveeId[at(i)]);
            r.levees.push_back({s.leveePosition[at(i)], s.leveeHeight[at(i)]});
        }
        for (int i = 0; i < s.surfaceCount; ++i)
            r.surface.push_back({s.surfaceX[at(i)], s.surfaceY[at(i)], s.surfaceZ[at(i)]});
        sections.push_back(std::move(r));
        if (!s.waterElevation.empty() || s.hasExtents || s.hasBanks || !s.nodeName.empty())
            results.push_back(describeResults(s));
    }
    void crossSectionsDone() override { events += 'D'; }
    void header(const vk::SdfHeader& h) override {
        for (const std::string& name : h.profiles) profiles += name + ";";
    }
    void region(const vk::SdfRegion& r) override {
        events += 'R';
        std::string text = r.kind == vk::SdfRegion::Kind::StorageArea ? "area " : "bound ";
        text += r.name + " " + std::to_string(r.x.size()) + " points";
        if (!r.z.empty()) text += " z " + std::to_string(r.z.front()).substr(0, 4) + " line " +
                                  std::to_string(r.line);
        for (const double v : r.waterElevation) text += " " + std::to_string(v).substr(0, 4);
        results.push_back(text);
    }
    // The results of a section: "elevations 5.00 6.00, extents 1 2 3 4, banks 0.25 0.75, node N".
    static std::string describeResults(const vk::SdfSection& s) {
        auto number = [](double v) { return std::to_string(v).substr(0, 4); };
        std::string text = "elevations";
        for (const double v : s.waterElevation) text += " " + number(v);
        text += ", extents";
        for (int i = 0; s.hasExtents && i < s.extentCount; ++i) {
            const auto at = static_cast<std::size_t>(i);
            for (const double v : {s.extentXL[at], s.extentYL[at], s.extentXR[at], s.extentYR[at]})
                text += " " + number(v);
        }
        if (s.hasBanks) text += ", banks " + number(s.bankLeft) + " " + number(s.bankRight);
        return text + ", node " + s.nodeName;
    }
    std::string profiles;             // the header's, each followed by ";"
    std::vector<std::string> results; // per section with results and per region, in order
};

struct ReadResult {
    std::string out; // console transcript
    int status;      // -1: read to the end; otherwise the status of the run's end
    int lines;       // the reader's line counter at the end
    bool keyword;    // a keyword test succeeded somewhere
    Recorder rec;
};

// results: what the reader does with the model's results (Written: read with their warnings).
ReadResult readSdfFile(const std::string& path, bool trimToLevees = true,
                       vk::ResultsMode results = vk::ResultsMode::Off) {
    ReadResult result{};
    vktest::DriverSession session;
    vk::LineReader in;
    EXPECT_TRUE(in.open(path)) << path;
    vk::GisObject line;
    vk::SdfSection section;
    vk::SdfReader reader(in, trimToLevees, line, section, result.rec);
    reader.readResults(results);
    result.status = vktest::endStatus([&] { reader.read(session.run); });
    result.lines = reader.lineNumber();
    result.keyword = reader.foundKeyword();
    result.out = session.out;
    return result;
}

ReadResult readSdf(const std::string& text, bool trimToLevees = true,
                   vk::ResultsMode results = vk::ResultsMode::Off) {
    vktest::TempDir dir;
    vktest::writeFile(dir.file("test.sdf"), text);
    return readSdfFile(dir.file("test.sdf"), trimToLevees, results);
}

std::string msg(const std::string& text) {
    return "\n" + text + "\n";
}
const std::string kStart = "\nProcessing Stream Centrelines\n\n";
// The warning of an export whose cross-section part is not ended, on its last line.
std::string cutShort(int lastLine) {
    return msg("WARNING - The export ends on line " + std::to_string(lastLine) +
               " without END CROSS-SECTIONS:; it may be cut short.");
}

// A small export with every kind of block; line numbers are given on the right.
const std::string kSmallExport = R"(# export
BEGINSTREAMNETWORK:
REACH:
 STREAM ID: Creek
 REACH ID: Upper
 CENTERLINE:
   10.0, 20.0
   11.5, 21.5
 END:
ENDSTREAMNETWORK:
BEGIN CROSS-SECTIONS:
CROSS-SECTION:
 STREAM ID: Creek
 REACH ID: Upper
 STATION: 100.5
 CUT LINE:
   1.0, 2.0
   3.0, 4.0
 NVALUES:
   0.0, 0.05
   0.5, 0.035
 LEVEE POSITIONS:
   L1, 0.2, 12.5
   L2, 0.8, 13.0
 SURFACE LINE:
   1.0, 2.0, 15.0
   2.0, 3.0, 10.0
   3.0, 4.0, 15.5
END:
END CROSS-SECTIONS:
)";
//  lines: 1 # export, 2 BEGINSTREAMNETWORK, 3 REACH, 6 CENTERLINE, 9 END, 10 ENDSTREAMNETWORK,
//  11 BEGIN CROSS-SECTIONS, 12 CROSS-SECTION, 16 CUT LINE, 19 NVALUES, 22 LEVEE POSITIONS,
//  25 SURFACE LINE, 29 END, 30 END CROSS-SECTIONS

const std::string kSmallTranscript =
    kStart + msg("Found BEGINSTREAMNETWORK on line 2") +
    msg("Found start of reach block on line 3") + msg("Found CENTERLINE on line 6") +
    msg("Found ENDSTREAMNETWORK on line 10") + msg("Found BEGIN CROSS-SECTIONS: on line 11") +
    msg("Found new cross-section on line 12") + msg("Found LEVEE POSITIONS on line 22") +
    msg("Found SURFACE LINE on line 25") + msg("End of section processing... ") +
    msg("Found END CROSS-SECTIONS on line 30");

TEST(SdfReader, SmallExportEveryBlock) {
    const ReadResult r = readSdf(kSmallExport);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, kSmallTranscript);
    EXPECT_EQ(r.rec.events, "CSXD");
    ASSERT_EQ(r.rec.centrelines.size(), 1u);
    EXPECT_EQ(r.rec.centrelines[0].ids.streamId, " Creek");
    EXPECT_EQ(r.rec.centrelines[0].ids.reachId, " Upper");
    EXPECT_EQ(r.rec.centrelines[0].x, (std::vector<double>{10.0, 11.5}));
    EXPECT_EQ(r.rec.centrelines[0].y, (std::vector<double>{20.0, 21.5}));

    ASSERT_EQ(r.rec.sections.size(), 1u);
    const RecordedSection& s = r.rec.sections[0];
    EXPECT_EQ(s.station, " 100.5");
    EXPECT_TRUE(s.hasCutLine && s.hasNValues && s.hasLevees && s.hasSurfaceLine);
    EXPECT_EQ(s.cut, (std::vector<std::array<double, 2>>{{1.0, 2.0}, {3.0, 4.0}}));
    EXPECT_EQ(s.nValues, (std::vector<std::array<float, 2>>{{0.0f, 0.05f}, {0.5f, 0.035f}}));
    EXPECT_EQ(s.leveeIds, (std::vector<std::string>{"L1", "L2"}));
    EXPECT_EQ(s.levees, (std::vector<std::array<float, 2>>{{0.2f, 12.5f}, {0.8f, 13.0f}}));
    EXPECT_EQ(s.surface, (std::vector<std::array<double, 3>>{
                             {1.0, 2.0, 15.0}, {2.0, 3.0, 10.0}, {3.0, 4.0, 15.5}}));
    EXPECT_EQ(r.lines, 30);
}

TEST(SdfReader, EmptyFileAndFileWithoutEndOfStreamNetwork) {
    ReadResult r = readSdf("");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, kStart);
    EXPECT_EQ(r.rec.events, "SD");
    EXPECT_EQ(r.lines, 0);

    // Without ENDSTREAMNETWORK the first loop reads everything; the sections are never seen.
    r = readSdf("x\nREACH:\nSTREAM ID:a\nREACH ID:b\nCENTERLINE:\n1 2\nEND:\nCROSS-SECTION:\n"
                "STREAM ID:a\nREACH ID:b\nSTATION:1\nEND:\n");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.rec.events, "CSD");
    EXPECT_EQ(r.lines, 12);
}

TEST(SdfReader, FirstLineIsNeverTested) {
    const ReadResult r = readSdf("BEGINSTREAMNETWORK:\nBEGINSTREAMNETWORK:\nENDSTREAMNETWORK:\n");
    EXPECT_EQ(r.out, kStart + msg("Found BEGINSTREAMNETWORK on line 2") +
                         msg("Found ENDSTREAMNETWORK on line 3"));
    const ReadResult end = readSdf("END STREAM NETWORK:\nREACH:\nSTREAM ID: s\nREACH ID: r\n");
    EXPECT_EQ(end.out, kStart + msg("Found start of reach block on line 2") +
                           msg("WARNING - The export ends on line 4 inside the stream network; "
                               "it may be cut short."));
}

TEST(SdfReader, HeaderLinesAreNotKeywords) {
    const std::string network = "REACH:\n STREAM ID: s\n REACH ID: r\n CENTERLINE:\n 1, 2\n END:\n";
    const struct {
        const char* what;
        std::string text;
        std::string transcript;
        std::string events;
    } cases[] = {
        {"a header with its end line",
         "#generated\nBEGIN HEADER:\n   STREAM LAYER: d:\\gis\\River_Centerline.shp\n"
         "   NUMBER OF REACHES: 1\n   REACH: in the header\nEND HEADER:\nBEGIN STREAM NETWORK:\n" +
             network + "END STREAM NETWORK:\n",
         msg("Found start of reach block on line 8") + msg("Found CENTERLINE on line 11") +
             msg("Found ENDSTREAMNETWORK on line 14"),
         "CSD"},
        {"a header on the first line, ended by BEGINSTREAMNETWORK",
         "BEGIN HEADER:\n  STREAM LAYER: c:\\centerline\nBEGINSTREAMNETWORK:\nENDSTREAMNETWORK:\n",
         msg("Found BEGINSTREAMNETWORK on line 3") + msg("Found ENDSTREAMNETWORK on line 4"), "SD"},
        {"a header ended by BEGIN STREAM NETWORK",
         "# title\nBEGIN HEADER:\n  CENTERLINE LAYER: x\nBEGIN STREAM NETWORK:\n" + network +
             "END STREAM NETWORK:\n",
         msg("Found start of reach block on line 5") + msg("Found CENTERLINE on line 8") +
             msg("Found ENDSTREAMNETWORK on line 11"),
         "CSD"},
        {"a header that never ends", "x\nBEGIN HEADER:\n" + network + "END STREAM NETWORK:\n", "",
         "SD"},
        {"a header ended by the cross-sections",
         "x\nBEGIN HEADER:\n REACH: in the header\nBEGIN CROSS-SECTIONS:\nCROSS-SECTION:\n"
         "STREAM ID: s\nREACH ID: r\nSTATION: 3\nEND:\nEND CROSS-SECTIONS:\n",
         msg("WARNING - Cross-sections begin on line 4 before the end of the stream network.") +
             msg("Found BEGIN CROSS-SECTIONS: on line 4") +
             msg("Found new cross-section on line 5") + msg("End of section processing... ") +
             msg("Found END CROSS-SECTIONS on line 10"),
         "SXD"},
    };
    for (const auto& c : cases) {
        const ReadResult r = readSdf(c.text);
        EXPECT_EQ(r.status, -1) << c.what;
        EXPECT_EQ(r.out, kStart + c.transcript) << c.what;
        EXPECT_EQ(r.rec.events, c.events) << c.what;
    }
}

TEST(SdfReader, BlankLinesBeforeIdAndStationLinesAreSkipped) {
    // As a CAD program writes it: CR LF, a blank line between the lines of a block.
    const std::string text = "TITLE\n\nBEGIN STREAM NETWORK:\nREACH:\n\n \t \nSTREAM ID: EJE\n\n"
                             "REACH ID: R1\nCENTERLINE:\n1, 2, 3, 0\n4, 5, 6, 1\nEND:\n"
                             "END STREAM NETWORK:\nCROSS-SECTION:\n\nSTREAM ID: EJE\nREACH ID: R1\n"
                             "\nSTATION: 2.8\n\nCUT LINE:\n1, 2\n3, 4\n\nEND:\n";
    const ReadResult r = readSdf(vktest::toCrLf(text));
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out,
              kStart + msg("Found start of reach block on line 4") +
                  msg("Found CENTERLINE on line 10") + msg("Found ENDSTREAMNETWORK on line 14") +
                  msg("Found new cross-section on line 15") + msg("End of section processing... ") +
                  cutShort(26));
    EXPECT_EQ(r.rec.events, "CSXD");
    ASSERT_EQ(r.rec.centrelines.size(), 1u);
    EXPECT_EQ(r.rec.centrelines[0].ids.streamId, " EJE");
    EXPECT_EQ(r.rec.centrelines[0].ids.reachId, " R1");
    ASSERT_EQ(r.rec.sections.size(), 1u);
    EXPECT_EQ(r.rec.sections[0].station, " 2.8");
    EXPECT_EQ(r.rec.sections[0].cut, (std::vector<std::array<double, 2>>{{1, 2}, {3, 4}}));
    EXPECT_EQ(r.lines, 26);
}

TEST(SdfReader, CrossSectionsBeforeTheEndOfTheNetworkEndIt) {
    const ReadResult r = readSdf("x\nREACH:\nSTREAM ID: a\nREACH ID: b\nCENTERLINE:\n1 2\nEND:\n"
                                 "  BEGIN CROSS-SECTIONS:\nCROSS-SECTION:\nSTREAM ID: a\n"
                                 "REACH ID: b\nSTATION: 1\nCUT LINE:\n1, 2\n3, 4\nEND:\n"
                                 "END CROSS-SECTIONS:\n");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out,
              kStart + msg("Found start of reach block on line 2") +
                  msg("Found CENTERLINE on line 5") +
                  msg("WARNING - Cross-sections begin on line 8 before the end of the stream "
                      "network.") +
                  msg("Found BEGIN CROSS-SECTIONS: on line 8") +
                  msg("Found new cross-section on line 9") + msg("End of section processing... ") +
                  msg("Found END CROSS-SECTIONS on line 17"));
    EXPECT_EQ(r.rec.events, "CSXD");
    ASSERT_EQ(r.rec.sections.size(), 1u);
    EXPECT_EQ(r.rec.sections[0].cut.size(), 2u);
    EXPECT_EQ(r.lines, 17);

    // After the end of the network the line is an ordinary beginning of the cross-sections.
    const ReadResult ended = readSdf("x\nEND STREAM NETWORK:\nBEGIN CROSS-SECTIONS:\n");
    EXPECT_EQ(ended.out, kStart + msg("Found ENDSTREAMNETWORK on line 2") +
                             msg("Found BEGIN CROSS-SECTIONS: on line 3") + cutShort(3));
}

TEST(SdfReader, AFileWithoutAnyKeywordIsNoExport) {
    const struct {
        std::string text;
        bool keyword;
    } cases[] = {
        {"", false},
        {"REACH:\n", false}, // the first line is never tested
        {"just\ntext\n\nwith no keywords\n", false},
        {"x,y\n1,2\n3,4\n", false},
        {"BEGIN HEADER:\nREACH:\nEND HEADER:\n", false},
        {"#\nEND STREAM NETWORK:\nEND CROSS-SECTIONS:\n", true}, // both parts empty
        {"#\nbegin cross-sections:\n", true},
        {"#\nrandom\nEND:\n", false}, // no keyword of the stream-network loop
        {"#\nrandom\nREACH:\nSTREAM ID: a\nREACH ID: b\n", true},
    };
    for (const auto& c : cases) {
        const ReadResult r = readSdf(c.text);
        EXPECT_EQ(r.status, -1) << c.text;
        EXPECT_EQ(r.keyword, c.keyword) << c.text;
    }
}

TEST(SdfReader, KeywordsInLowerCaseAndNValuesWithABlankIsNoKeyword) {
    const ReadResult r = readSdf("head\nendstreamnetwork:\nbegin cross-sections:\n"
                                 "  cross-section:\n  stream id: s\n  reach id: r\n"
                                 "  station: 7\n  n values:\n  0.0, 0.03\n  cut line:\n  1,2\n"
                                 "  end:\n  cross-section:\n  stream id: s\n  reach id: r\n"
                                 "  station: 8\n  nvalues:\n  0.0, 0.03\n  0.5 0.04\n  end:\n");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out,
              kStart + msg("Found ENDSTREAMNETWORK on line 2") +
                  msg("Found BEGIN CROSS-SECTIONS: on line 3") +
                  msg("Found new cross-section on line 4") + msg("End of section processing... ") +
                  msg("Found new cross-section on line 13") + msg("End of section processing... ") +
                  cutShort(20));
    ASSERT_EQ(r.rec.sections.size(), 2u);
    EXPECT_FALSE(r.rec.sections[0].hasNValues);
    EXPECT_TRUE(r.rec.sections[0].hasCutLine);
    EXPECT_EQ(r.rec.sections[0].station, " 7");
    EXPECT_TRUE(r.rec.sections[1].hasNValues);
    EXPECT_FALSE(r.rec.sections[1].hasCutLine); // flags are cleared after each section
    EXPECT_EQ(r.rec.sections[1].nValues,
              (std::vector<std::array<float, 2>>{{0.0f, 0.03f}, {0.5f, 0.04f}}));
}

TEST(SdfReader, StationAndIdLines) {
    const ReadResult r = readSdf(
        "x\nENDSTREAMNETWORK:\n"
        "CROSS-SECTION:\nSTREAM ID:Bald Eagle   \nREACH ID:Loc Hav  \nSTATION: 1234.5* x:y\nEND:\n"
        "CROSS-SECTION:\nSTREAM ID:  Two  \nREACH ID:R\nSTATION:.3*\nEND:\n"
        "CROSS-SECTION:\nSTREAM ID:Three\nREACH ID:R\n  tag*STATION: 5\nEND:\n"
        "CROSS-SECTION:\nno stream\nno reach\nno station\nEND:\n");
    EXPECT_EQ(r.status, -1);
    ASSERT_EQ(r.rec.sections.size(), 4u);
    EXPECT_EQ(r.rec.sections[0].ids.streamId, "Bald Eagle");
    EXPECT_EQ(r.rec.sections[0].ids.reachId, "Loc Hav");
    EXPECT_EQ(r.rec.sections[0].station, " 1234.5");
    EXPECT_EQ(r.rec.sections[1].ids.streamId, "  Two");
    EXPECT_EQ(r.rec.sections[1].station, ".3");
    EXPECT_EQ(r.rec.sections[2].station, "  tag"); // the cut took the only ":"
    // Missing ID and station lines are reported; the previous values stay.
    EXPECT_EQ(r.rec.sections[3].ids.streamId, "Three");
    EXPECT_EQ(r.rec.sections[3].ids.reachId, "R");
    EXPECT_EQ(r.rec.sections[3].station, "  tag");
    EXPECT_NE(r.out.find(
                  msg("Found new cross-section on line 18") +
                  msg("Error Expecting Stream ID: on 19") + msg("Error Expecting REACH ID: on 20") +
                  msg("Error Expecting STATION: on 21") + msg("End of section processing... ")),
              std::string::npos)
        << r.out;
}

TEST(SdfReader, ReachIdErrorsAndTwoCentrelinesInOneReach) {
    const ReadResult r = readSdf("x\nREACH:\nSTREAM ID: A\nREACH ID: B\nCENTERLINE:\n1,2\n3,4\n"
                                 "END:\nCENTERLINE:\n5 6 7 8\nEND:\nREACH:\nnothing\nCENTERLINE:\n"
                                 "9,10\nEND:\nENDSTREAMNETWORK:\n");
    EXPECT_EQ(r.status, -1);
    ASSERT_EQ(r.rec.centrelines.size(), 3u);
    EXPECT_EQ(r.rec.centrelines[1].ids.streamId, " A");
    EXPECT_EQ(r.rec.centrelines[1].ids.reachId, " B");
    EXPECT_EQ(r.rec.centrelines[1].x, (std::vector<double>{5}));
    EXPECT_EQ(r.rec.centrelines[1].y, (std::vector<double>{6}));
    // The REACH ID: line is missing: its error names the CENTERLINE: line, which the same pass
    // then still recognises.
    EXPECT_EQ(r.out,
              kStart + msg("Found start of reach block on line 2") +
                  msg("Found CENTERLINE on line 5") + msg("Found CENTERLINE on line 9") +
                  msg("Found start of reach block on line 12") +
                  msg("Error Expecting Stream ID: on 13") + msg("Error Expecting REACH ID: on 14") +
                  msg("Found CENTERLINE on line 14") + msg("Found ENDSTREAMNETWORK on line 17"));
    EXPECT_EQ(r.rec.centrelines[2].ids.streamId, " A");
    EXPECT_EQ(r.rec.centrelines[2].x, (std::vector<double>{9}));
}

TEST(SdfReader, CentrelineReadErrors) {
    ReadResult r = readSdf("x\nREACH:\nSTREAM ID:a\nREACH ID:b\nCENTERLINE:\n1,2\n1, north  \n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with(msg("Found CENTERLINE on line 5") +
                                "\nERROR - Reading following line in file:\n1, north\n\n" +
                                std::string(kExitTail)))
        << r.out;
    r = readSdf("x\nREACH:\nSTREAM ID:a\nREACH ID:b\nCENTERLINE:\n1\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with(msg("ERROR reading data") + std::string(kExitTail))) << r.out;
    EXPECT_EQ(r.rec.events, "");
}

TEST(SdfReader, BlockEndsAndTheLineThatEndedThem) {
    // A cut line, n values and a surface line each ended by END: complete the section; a cut
    // line ended by SURFACE LINE: is followed by the surface line, and a surface line ended by
    // CUT LINE: by the cut line.
    const ReadResult r = readSdf("x\nENDSTREAMNETWORK:\n"
                                 "CROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\nSTATION:1\n"
                                 "CUT LINE:\n1,2\n3,4\nEND:\n"
                                 "NVALUES:\n0,0.03\nEND:\n"
                                 "CUT LINE:\n5,6\nSURFACE LINE:\n5,6,7\nEND:\n"
                                 "SURFACE LINE:\n1,1,1\n2,2,2\nCUT LINE:\n9,9\nEND:\n");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.rec.events, "SXXXXD");
    ASSERT_EQ(r.rec.sections.size(), 4u);
    EXPECT_TRUE(r.rec.sections[0].hasCutLine);
    EXPECT_EQ(r.rec.sections[0].cut.size(), 2u);
    EXPECT_TRUE(r.rec.sections[1].hasNValues);
    EXPECT_FALSE(r.rec.sections[1].hasCutLine);
    EXPECT_EQ(r.rec.sections[1].nValues.size(), 1u);
    EXPECT_TRUE(r.rec.sections[2].hasCutLine && r.rec.sections[2].hasSurfaceLine);
    EXPECT_EQ(r.rec.sections[2].surface, (std::vector<std::array<double, 3>>{{5, 6, 7}}));
    EXPECT_EQ(r.rec.sections[3].cut, (std::vector<std::array<double, 2>>{{9, 9}}));
    EXPECT_EQ(r.rec.sections[3].surface.size(), 2u);
}

TEST(SdfReader, SecondCutLineReplacesTheFirst) {
    const ReadResult r = readSdf("x\nENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n"
                                 "STATION:1\nCUT LINE:\n1,2\n3,4\n5,6\n\nCUT LINE:\n7 8\n\nEND:\n");
    ASSERT_EQ(r.rec.sections.size(), 1u);
    EXPECT_EQ(r.rec.sections[0].cut, (std::vector<std::array<double, 2>>{{7, 8}}));
}

TEST(SdfReader, BlockReadErrorsEchoTheLine) {
    const std::string head = "x\nENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n"
                             "STATION:1\n";
    struct Case {
        std::string block, message, echo;
    };
    const Case cases[] = {
        {"CUT LINE:\n1,2\n3 x\n", "ERROR - Reading following line in file in sub GetSdfCutline",
         "3 x"},
        {"CUT LINE:\n1\n", "ERROR - Reading following line in file in sub GetSdfCutline", "1"},
        // Cut at 1000 characters through "2345": the number is not read.
        {"CUT LINE:\n1," + std::string(996, ' ') + "2345\n",
         "ERROR - Reading following line in file in sub GetSdfCutline", "1,"},
        {"NVALUES:\n0.5,,0.04\n", "ERROR - Reading following line in file in sub GetSdfnVals",
         "0.5,,0.04"},
        {"SURFACE LINE:\n1,2\n", "ERROR - Reading following line in file in sub GetSdfSurfaceLine",
         "1,2"},
        {"LEVEE POSITIONS:\nL1 0.5 12\n",
         "ERROR - Reading following line in file in sub GetSdfLevees", "L1 0.5 12"},
        {"LEVEE POSITIONS:\nL1, left, 12   \n",
         "ERROR - Reading following line in file in sub GetSdfLevees", "L1, left, 12"},
        {"LEVEE POSITIONS:\n,0.5,12\n",
         "ERROR - Reading following line in file in sub GetSdfLevees", ",0.5,12"},
    };
    for (const Case& c : cases) {
        const ReadResult r = readSdf(head + c.block + "END:\n");
        EXPECT_EQ(r.status, 1) << c.block;
        EXPECT_TRUE(
            r.out.ends_with("\n" + c.message + "\n" + c.echo + "\n\n" + std::string(kExitTail)))
            << c.block << r.out;
        EXPECT_EQ(r.rec.events, "S") << c.block;
    }
}

// The model's results, read only when asked for; bad values are reported with their line and the
// reading goes on. Lines: 1-6 the header (two profiles), 9 the section, 13 its first result line.
TEST(SdfReader, ResultsAndTheirFaults) {
    const std::string head = "BEGIN HEADER:\nNUMBER OF PROFILES: 2\nPROFILE NAMES:\n P1 \n P2\n"
                             "END HEADER:\nBEGINSTREAMNETWORK:\nENDSTREAMNETWORK:\nCROSS-SECTION:\n"
                             "STREAM ID:s\nREACH ID:r\nSTATION:1\n";
    const std::string bounds = "END:\nEND CROSS-SECTIONS:\nBEGIN BOUNDS:\nPROFILE LIMITS:\n";
    const std::string square = "POLYGON:\n0,0\n0,1\n1,1\n";
    const struct {
        std::string text; // after the station line
        std::string warning;
        std::vector<std::string> results;
    } cases[] = {
        {"BANK POSITIONS:0.25, 0.75\nNODE NAME: Weir \nWATER ELEVATION:5, 6\n"
         "WATER SURFACE EXTENTS:\n1,2,3,4\n5,6,7,8\nEND:\n",
         "", {"elevations 5.00 6.00, extents 1.00 2.00 3.00 4.00 5.00 6.00 7.00 8.00, "
              "banks 0.25 0.75, node Weir"}},
        {"WATER ELEVATION: 5, 6, 7\nEND:\n", "WARNING - Water elevations: 3 values for 2 "
         "profiles. Line number: 13", {"elevations 5.00 6.00 7.00, extents, node "}},
        {"WATER ELEVATION: 5, x\nEND:\n", "WARNING - Water elevation not a number, the rest not "
         "read. Line number: 13", {"elevations 5.00, extents, node "}},
        {"WATER SURFACE EXTENTS:\n1,2,3,4\nEND:\n", "WARNING - Water surface extents: 1 rows for "
         "2 profiles. Line number: 13", {"elevations, extents 1.00 2.00 3.00 4.00, node "}},
        // A row not read keeps its place: the next row stays the second profile's.
        {"WATER SURFACE EXTENTS:\n1,2,3\n5,6,7,8\nEND:\n", "WARNING - Water surface extents "
         "row not read; its profile has none given. Line number: 14",
         {"elevations, extents nan nan nan nan 5.00 6.00 7.00 8.00, node "}},
        // Lines of the results are read whole, however long.
        {"WATER ELEVATION: 5," + std::string(1000, ' ') + "6.125\nWATER SURFACE EXTENTS:\n1,2,3," +
             std::string(1000, ' ') + "4\n5,6,7,8\nEND:\n",
         "", {"elevations 5.00 6.12, extents 1.00 2.00 3.00 4.00 5.00 6.00 7.00 8.00, node "}},
        {"BANK POSITIONS: 0.2, 1.5\nEND:\n", "WARNING - Bank positions not two fractions from 0 "
         "to 1. Line number: 13", {}},
        {"BANK POSITIONS: left, 0.5\nEND:\n", "WARNING - Bank positions not two fractions", {}},
        {bounds + "PROFILE ID:P2\n" + square + "POLYGON:\n5,5\n6,6\nEND:\nEND BOUNDS:\n",
         "WARNING - Polygon of fewer than 3 points left out. Line number: 22", {"bound P2 3 points"}},
        {bounds + "PROFILE ID:P1\nPOLYGON:\n0,0\n1,1\n0,0\nEND:\nEND BOUNDS:\n",
         "WARNING - Polygon of fewer than 3 points left out. Line number: 18", {}},
        {bounds + "PROFILE ID:P1\nPOLYGON:\n2,2\n2,2\n2,2\n2,2\n2,2\nEND:\nEND BOUNDS:\n",
         "WARNING - Polygon of fewer than 3 points left out. Line number: 18", {}},
        {bounds + "PROFILE ID:P1\nPOLYGON:\n0,0,5.5\n0,1,5.25\n1,1,5\nEND:\nEND BOUNDS:\n", "",
         {"bound P1 3 points z 5.50 line 18"}},
        {bounds + "PROFILE ID:P1\nPOLYGON:\n0,0,5.5\n0,1\n1,1,5\nEND:\nEND BOUNDS:\n",
         "WARNING - Polygon with a third value on only some rows: its Z left out. Line number: 18",
         {"bound P1 3 points"}},
        {bounds + "PROFILE ID:P3\n" + square + "END:\nEND BOUNDS:\n",
         "WARNING - Profile ID not among the profile names. Line number: 17", {"bound P3 3 points"}},
        {bounds + "PROFILE ID:P1\n" + square, "WARNING - Block from line 15 cut off by the end of "
         "the file.", {"bound P1 3 points"}},
        {"END:\nEND CROSS-SECTIONS:\nBEGIN STORAGE AREAS:\nSA ID: Pond\nWATER ELEVATION: 7,8\n" +
             square + "ELEVATION-VOLUME:\n1, 2\n3, 4\nTERRAIN:\n9, 9\nEND:\nSA ID: Cut\n" + square,
         "WARNING - Block from line 15 cut off", {"area Pond 3 points 7.00 8.00", "area Cut 3 points"}},
        {"END:\nEND CROSS-SECTIONS:\nBEGIN STORAGE AREAS:\nSA ID: Pond\nWATER ELEVATION: 7," +
             std::string(1000, ' ') + "8.5\n" + square + "END:\nEND STORAGE AREAS:\n",
         "", {"area Pond 3 points 7.00 8.50"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        // Ended as an export is, unless the case is about what follows the cross-sections.
        const std::string text =
            c.text.find("CROSS-SECTIONS") == std::string::npos ? c.text + "END CROSS-SECTIONS:\n" : c.text;
        const ReadResult r = readSdf(head + text, true, vk::ResultsMode::Written);
        EXPECT_EQ(r.status, -1) << r.out;
        EXPECT_EQ(r.rec.profiles, "P1;P2;");
        EXPECT_EQ(r.rec.results, c.results);
        EXPECT_EQ(r.out.find("WARNING") != std::string::npos, !c.warning.empty()) << r.out;
        if (!c.warning.empty()) {
            EXPECT_NE(r.out.find("\n" + c.warning), std::string::npos) << r.out;
        }
        // Read for the report alone: the same results, not a word of their faults.
        const ReadResult silent = readSdf(head + text, true, vk::ResultsMode::ForReport);
        EXPECT_EQ(silent.rec.results, c.results);
        EXPECT_EQ(silent.out.find("WARNING"), std::string::npos) << silent.out;
        // Without -results not one of their keywords is looked for: the console is the same.
        const ReadResult without = readSdf(head + text);
        EXPECT_TRUE(without.rec.results.empty());
        EXPECT_EQ(without.out.find("WARNING"), std::string::npos) << without.out;
    }
}

TEST(SdfReader, LeveeMarkers) {
    const std::string head = "x\nENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n"
                             "STATION:1\n";
    // Line 8 has no height after its second comma, line 9 has a quoted ID and blanks.
    ReadResult r = readSdf(head + "LEVEE POSITIONS:\nleft bank, 0.25,\n 'R 2' , 0.75 , 14.5\n"
                                  "WATER ELEVATION: 1\nEND:\n");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.out, kStart + msg("Found ENDSTREAMNETWORK on line 2") +
                         msg("Found new cross-section on line 3") +
                         msg("Found LEVEE POSITIONS on line 7") +
                         msg("WARNING - No levee height specified.  Line number: 8") +
                         msg("End of section processing... ") + cutShort(11));
    ASSERT_EQ(r.rec.sections.size(), 1u);
    EXPECT_TRUE(r.rec.sections[0].hasLevees);
    EXPECT_EQ(r.rec.sections[0].leveeIds, (std::vector<std::string>{"left", "R 2"}));
    EXPECT_EQ(r.rec.sections[0].levees,
              (std::vector<std::array<float, 2>>{{0.25f, 9999.0f}, {0.75f, 14.5f}}));

    // A block that ends at once, one marker, three markers.
    r = readSdf(head + "LEVEE POSITIONS:\nEND:\n");
    EXPECT_TRUE(r.out.ends_with(msg("Found LEVEE POSITIONS on line 7") +
                                msg("WARNING - No levee points detected. Line number: 8") +
                                msg("End of section processing... ") + cutShort(8)))
        << r.out;
    EXPECT_TRUE(r.rec.sections.at(0).hasLevees);
    EXPECT_TRUE(r.rec.sections.at(0).levees.empty());
    r = readSdf(head + "LEVEE POSITIONS:\na,0.5,1\nEND:\n");
    EXPECT_NE(
        r.out.find(msg("WARNING - Only one levee points detected for section. Line number: 9")),
        std::string::npos);
    r = readSdf(head + "LEVEE POSITIONS:\na,0.1,1\nb,0.5,2\nc,0.9,3\nEND:\n");
    EXPECT_NE(r.out.find(msg(
                  "WARNING - More than two levee points detected for section. Line number: 11")),
              std::string::npos);
    EXPECT_EQ(r.rec.sections.at(0).levees.size(), 3u);

    // An ID is cut at 50 characters.
    r = readSdf(head + "LEVEE POSITIONS:\n" + std::string(60, 'k') + ",0.1,1\nb,0.5,2\nEND:\n");
    EXPECT_EQ(r.rec.sections.at(0).leveeIds.at(0), std::string(50, 'k'));
}

TEST(SdfReader, NoTrimReadsLeveesButDoesNotUseThem) {
    const ReadResult r = readSdf(kSmallExport, false);
    EXPECT_EQ(r.out, kSmallTranscript);
    ASSERT_EQ(r.rec.sections.size(), 1u);
    EXPECT_FALSE(r.rec.sections[0].hasLevees);
    EXPECT_TRUE(r.rec.sections[0].hasSurfaceLine);
}

TEST(SdfReader, UnexpectedEndOfFileInsideEveryKindOfBlock) {
    const std::string reach = "x\nREACH:\nSTREAM ID: s\nREACH ID: r\nCENTERLINE:\n1,2\nEND:\n";
    const std::string section = "ENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n"
                                "STATION:1\n";
    struct Case {
        std::string text;
        int line;
    };
    const Case cases[] = {
        {"x\nREACH:\n", 2},
        {"x\nREACH:\n\n \t\n", 4},
        {reach + "ENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n\n", 12},
        {"x\nREACH:\nSTREAM ID: s", 3},
        {"x\nREACH:\nSTREAM ID: s\nREACH ID: r\nCENTERLINE:\n1,2\n3,4\n", 7},
        {reach + "ENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\n", 10},
        {reach + "ENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n", 11},
        {reach + section + "CUT LINE:\n1,2\n", 14},
        {reach + section + "NVALUES:\n", 13},
        {reach + section + "LEVEE POSITIONS:\na,0.5,1\n", 14},
        {reach + section + "SURFACE LINE:\n1,2,3\n4,5,6", 15},
    };
    for (const Case& c : cases) {
        const ReadResult r = readSdf(c.text);
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_EQ(r.lines, c.line) << c.text;
        EXPECT_TRUE(r.out.ends_with(
            msg("ERROR - Unexpected end of file on line " + std::to_string(c.line)) +
            std::string(kExitTail)))
            << c.text << r.out;
        EXPECT_EQ(r.rec.events.find('X'), std::string::npos) << c.text;
    }
}

TEST(SdfReader, LinesAreCutAtOneThousandCharacters) {
    // Past the cut the line holds text that would end the surface line block.
    const std::string longPoint = "3,4,5" + std::string(995, ' ') + "end of the long line";
    const std::string longStation = "STATION:" + std::string(1200, '9');
    const ReadResult r =
        readSdf("x\nENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n" + longStation +
                "\nSURFACE LINE:\n1,2,3\n" + longPoint + "\n6,7,8\nEND:\n");
    EXPECT_EQ(r.status, -1) << r.out;
    ASSERT_EQ(r.rec.sections.size(), 1u);
    EXPECT_EQ(r.rec.sections[0].station, std::string(1000 - 8, '9'));
    EXPECT_EQ(r.rec.sections[0].surface.size(), 3u);
    EXPECT_NE(r.out.find(msg("WARNING - Line longer than 1000 characters: the rest is not read. "
                             "Line number: 9")),
              std::string::npos);
    EXPECT_EQ(r.lines, 11);
}

std::string manyPoints(int count, bool three) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 24);
    for (int i = 0; i < count; ++i) {
        text += std::to_string(i) + ".5, " + std::to_string(2 * i);
        text += three ? ", 7.25\n" : "\n";
    }
    return text;
}

TEST(SdfReader, LargeBlocksAreReadWhole) {
    const int big = 150000;
    std::string text = "x\nREACH:\nSTREAM ID:s\nREACH ID:r\nCENTERLINE:\n" +
                       manyPoints(big, false) +
                       "END:\nENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n"
                       "STATION:1\nNVALUES:\n" +
                       manyPoints(big, false) + "LEVEE POSITIONS:\n";
    for (int i = 0; i < 150; ++i)
        text += "L" + std::to_string(i) + ", 0.5, 3\n";
    text += "SURFACE LINE:\n" + manyPoints(big, true) + "END:\n";
    const ReadResult r = readSdf(text);
    EXPECT_EQ(r.status, -1);
    ASSERT_EQ(r.rec.centrelines.size(), 1u);
    ASSERT_EQ(r.rec.centrelines[0].x.size(), static_cast<std::size_t>(big));
    EXPECT_EQ(r.rec.centrelines[0].x.back(), big - 1 + 0.5);
    EXPECT_EQ(r.rec.centrelines[0].y.back(), 2.0 * (big - 1));
    ASSERT_EQ(r.rec.sections.size(), 1u);
    const RecordedSection& s = r.rec.sections[0];
    ASSERT_EQ(s.surface.size(), static_cast<std::size_t>(big));
    EXPECT_EQ(s.surface.back()[0], big - 1 + 0.5);
    EXPECT_EQ(s.surface.back()[2], 7.25);
    ASSERT_EQ(s.nValues.size(), static_cast<std::size_t>(big));
    EXPECT_EQ(s.nValues[100000][0], 100000.5f);
    ASSERT_EQ(s.levees.size(), 150u);
    EXPECT_EQ(s.leveeIds.back(), "L149");
}

// Lines of plain numbers mixed with lines read the general way (an exponent, a value past those
// the block takes), across the arrays' growth: every row keeps its values, in order.
TEST(SdfReader, RowsOfEitherFormAreKeptInOrderAsTheArraysGrow) {
    std::string cut, surface;
    std::vector<std::array<double, 2>> cutRows;
    std::vector<std::array<double, 3>> surfaceRows;
    for (int i = 0; i < 70; ++i) {
        const std::string x = std::to_string(i), y = std::to_string(2 * i);
        cut += i % 3 == 0   ? x + "E0 " + y + "\n"
               : i % 3 == 1 ? x + ", " + y + ", 9\n"
                            : x + " " + y + "\n";
        surface += i % 4 == 0 ? x + ".0e0, " + y + ", 0.5\n" : x + ", " + y + ", 0.5\n";
        cutRows.push_back({1.0 * i, 2.0 * i});
        surfaceRows.push_back({1.0 * i, 2.0 * i, 0.5});
    }
    const ReadResult r = readSdf("x\nENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n"
                                 "STATION:1\nCUT LINE:\n" +
                                 cut + "SURFACE LINE:\n" + surface + "END:\n");
    ASSERT_EQ(r.rec.sections.size(), 1u) << r.out;
    EXPECT_EQ(r.rec.sections[0].cut, cutRows);
    EXPECT_EQ(r.rec.sections[0].surface, surfaceRows);
}

// An export that stops after a whole line (an interrupted copy) is converted as far as it goes,
// with a warning that it may be cut short, and one for a section it leaves without its end.
TEST(SdfReader, ExportEndingWithoutItsEndLineIsSaidToBeCutShort) {
    const std::string head = "x\nENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n"
                             "STATION:1\nSURFACE LINE:\n1,2,3\n4,5,6\n\n";
    ReadResult r = readSdf(head);
    EXPECT_TRUE(r.out.ends_with(msg("WARNING - The cross-section beginning on line 3 has no END: "
                                    "line; it is not converted.") +
                                cutShort(r.lines)))
        << r.out;
    EXPECT_EQ(r.rec.sections.size(), 0u);
    r = readSdf(head + "END:\n");
    EXPECT_TRUE(r.out.ends_with(msg("End of section processing... ") + cutShort(r.lines))) << r.out;
    EXPECT_EQ(r.rec.sections.size(), 1u);
    // Written to its end with more blanks in the end line: nothing to say.
    r = readSdf(head + "END:\nEND   CROSS-SECTIONS:\n");
    EXPECT_TRUE(r.out.ends_with(msg("End of section processing... "))) << r.out;
}

TEST(SdfReader, CutLineStopsAtOneHundredThousandPoints) {
    const ReadResult r = readSdf("x\nENDSTREAMNETWORK:\nCROSS-SECTION:\nSTREAM ID:s\nREACH ID:r\n"
                                 "STATION:1\nCUT LINE:\n" +
                                 manyPoints(100002, false) + "END:\n");
    EXPECT_EQ(r.status, -1);
    const std::string limit = msg("ERROR - Exceeeded limit of 100,000 cut lines. Contact "
                                  "support@varnokline.example.");
    EXPECT_TRUE(r.out.ends_with(msg("Found new cross-section on line 3") + limit + limit +
                                msg("End of section processing... ") + cutShort(r.lines)))
        << r.out.substr(0, 400);
    ASSERT_EQ(r.rec.sections.size(), 1u);
    ASSERT_EQ(r.rec.sections[0].cut.size(), 100000u);
    EXPECT_EQ(r.rec.sections[0].cut.back()[0], 99999.5);
}

// Two rows of every declared block.
const std::map<std::string_view, std::string> kBlockSamples = {
    {"CUT LINE", " CUT LINE:\n  1, 2\n  3, 4\n"},
    {"NVALUES", " NVALUES:\n  0, 0.05\n  0.5, 0.03\n"},
    {"LEVEE POSITIONS", " LEVEE POSITIONS:\n  L, 0.2, 10\n  R, 0.8, 11\n"},
    {"SURFACE LINE", " SURFACE LINE:\n  0, 0, 5\n  10, 0, 1\n"},
    {"WATER SURFACE EXTENTS", " WATER SURFACE EXTENTS:\n  0, 0, 5, 5\n  1, 1, 6, 6\n"},
};

// Every declared block, from a sample of two rows: each of its arrays takes them, its flag is
// set and the rows count among what a section holds (the read-ahead's measure); the next
// section, without the block, has its flag clear and keeps the rows. A block declared without a
// sample here fails.
TEST(SdfReader, EveryDeclaredBlockIsReadCountedAndCleared) {
    const auto& samples = kBlockSamples;
    const std::string section = "CROSS-SECTION:\n STREAM ID: A\n REACH ID: B\n STATION: 1\n";
    for (const vk::SdfBlock& block : vk::kSdfBlocks) {
        SCOPED_TRACE(block.keyword);
        ASSERT_EQ(samples.count(block.keyword), 1u);
        struct Seen : vk::SdfConsumer {
            const vk::SdfBlock* block;
            std::vector<std::string> sections; // flag, count, each array's size, stored rows
            void centreline(const vk::SdfIds&, vk::GisObject&) override {}
            void streamNetworkDone() override {}
            void crossSectionsDone() override {}
            void section(const vk::SdfIds&, const vk::SdfSection& s) override {
                std::string seen = std::to_string(s.*block->present) + " " +
                                   std::to_string(s.*block->count) + " [";
                for (const vk::SdfColumn& column : block->used())
                    std::visit([&](auto v) { seen += std::to_string((s.*v).size()) + ","; },
                               column);
                sections.push_back(seen + "] " + std::to_string(s.storedRows()));
            }
        } seen;
        seen.block = &block;
        vktest::DriverSession session;
        vktest::TempDir dir;
        vktest::writeFile(dir.file("b.sdf"), "x\nBEGIN STREAM NETWORK:\nEND STREAM NETWORK:\n" +
                                                 section + samples.at(block.keyword) + "END:\n" +
                                                 section + "END:\nEND CROSS-SECTIONS:\n");
        vk::LineReader in;
        ASSERT_TRUE(in.open(dir.file("b.sdf")));
        vk::GisObject line;
        vk::SdfSection store;
        vk::SdfReader reader(in, true, line, store, seen);
        reader.readResults(block.onlyWithResults ? vk::ResultsMode::Written : vk::ResultsMode::Off);
        EXPECT_EQ(vktest::endStatus([&] { reader.read(session.run); }), -1) << session.out;
        std::string columns = "[";
        for (std::size_t c = 0; c < block.width; ++c)
            columns += "2,";
        columns += "]";
        EXPECT_EQ(seen.sections,
                  (std::vector<std::string>{"1 2 " + columns + " 2", "0 2 " + columns + " 2"}));
    }
}

// Blocks come in any order: each declared block written right after each other one (the line
// that ends the first begins the second) is read, as is the first.
TEST(SdfReader, EveryBlockIsFoundAfterEveryOtherOne) {
    for (const vk::SdfBlock& first : vk::kSdfBlocks)
        for (const vk::SdfBlock& second : vk::kSdfBlocks) {
            if (&first == &second) continue;
            const ReadResult r = readSdf("x\nEND STREAM NETWORK:\nCROSS-SECTION:\n STREAM ID: A\n"
                                         " REACH ID: B\n STATION: 1\n" +
                                             kBlockSamples.at(first.keyword) +
                                             kBlockSamples.at(second.keyword) + "END:\n",
                                         true, vk::ResultsMode::Written);
            std::string expected;
            for (const vk::SdfBlock& b : vk::kSdfBlocks)
                expected += &b == &first || &b == &second ? "12 " : "00 ";
            ASSERT_EQ(r.rec.sections.size(), 1u) << r.out;
            EXPECT_EQ(r.rec.sections[0].blocks, expected) << first.keyword << ", " << second.keyword;
        }
}

// An export in the layout HEC-RAS writes, with the parts this reader skips.
const std::string kRealisticExport = R"(#This file is generated by HEC-RAS

BEGIN HEADER:
  DTM TYPE: TIN
  STREAM LAYER: c:\gis\streams
  NUMBER OF REACHES: 2
  CROSS-SECTION LAYER: c:\gis\xs
  NUMBER OF CROSS-SECTIONS: 3
  MAP PROJECTION: UTM
  UNITS: METRIC
END HEADER:

BEGIN STREAM NETWORK:
  ENDPOINT: 500000.00, 6000000.00, 25.10, 1
  ENDPOINT: 500300.00, 5999600.00, 20.00, 2
  ENDPOINT: 500700.00, 5999300.00, 18.25, 3

  REACH:
    STREAM ID: Mill Creek
    REACH ID: Upper
    FROM POINT: 1
    TO POINT: 2
    CENTERLINE:
      500000.00, 6000000.00, 25.10, 500.00
      500150.00, 5999800.00, 22.40, 250.00
      500300.00, 5999600.00, 20.00, 0.00
  END:

  REACH:
    STREAM ID: Mill Creek
    REACH ID: Lower
    FROM POINT: 2
    TO POINT: 3
    CENTERLINE:
      500300.00, 5999600.00, 20.00, 500.00
      500700.00, 5999300.00, 18.25, 0.00
  END:

END STREAM NETWORK:

BEGIN CROSS-SECTIONS:

  CROSS-SECTION:
    STREAM ID: Mill Creek
    REACH ID: Upper
    STATION: 410.5
    NODE NAME: XS-410
    BANK POSITIONS: 0.35, 0.65
    REACH LENGTHS: 160.0, 160.0, 160.0
    NVALUES:
      0.00, 0.060
      0.35, 0.035
      0.65, 0.060
    LEVEE POSITIONS:
      1, 0.20, 27.50
      2, 0.80, 27.80
    WATER ELEVATION: 24.12
    CUT LINE:
      500040.00, 5999900.00
      500160.00, 5999980.00
    SURFACE LINE:
      500040.00, 5999900.00, 28.10
      500100.00, 5999940.00, 21.30
      500160.00, 5999980.00, 28.40
  END:

  CROSS-SECTION:
    STREAM ID: Mill Creek
    REACH ID: Upper
    STATION: 250*
    NODE NAME:
    BANK POSITIONS: 0.30, 0.70
    REACH LENGTHS: 250.0, 250.0, 250.0
    WATER ELEVATION: 22.90
    CUT LINE:
      500110.00, 5999770.00
      500190.00, 5999830.00
    SURFACE LINE:
      500110.00, 5999770.00, 25.00
      500150.00, 5999800.00, 19.80
      500190.00, 5999830.00, 25.60
  END:

  CROSS-SECTION:
    STREAM ID: Mill Creek
    REACH ID: Lower
    STATION: 120
    BANK POSITIONS: 0.4, 0.6
    REACH LENGTHS: 0, 0, 0
    NVALUES:
      0.0, 0.05
    LEVEE POSITIONS:
      L, 0.1,
    CUT LINE:
      500560.00, 5999330.00
      500640.00, 5999470.00
  END:

END CROSS-SECTIONS:
)";

TEST(SdfReader, RealisticExportEndToEnd) {
    const ReadResult r = readSdf(kRealisticExport);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(
        r.out,
        kStart + msg("Found start of reach block on line 18") + msg("Found CENTERLINE on line 23") +
            msg("Found start of reach block on line 29") + msg("Found CENTERLINE on line 34") +
            msg("Found ENDSTREAMNETWORK on line 39") +
            msg("Found BEGIN CROSS-SECTIONS: on line 41") +
            msg("Found new cross-section on line 43") + msg("Found LEVEE POSITIONS on line 54") +
            msg("Found SURFACE LINE on line 61") + msg("End of section processing... ") +
            msg("Found new cross-section on line 67") + msg("Found SURFACE LINE on line 78") +
            msg("End of section processing... ") + msg("Found new cross-section on line 84") +
            msg("Found LEVEE POSITIONS on line 92") +
            msg("WARNING - No levee height specified.  Line number: 93") +
            msg("WARNING - Only one levee points detected for section. Line number: 94") +
            msg("End of section processing... ") + msg("Found END CROSS-SECTIONS on line 99"));
    EXPECT_EQ(r.rec.events, "CCSXXXD");
    EXPECT_EQ(r.rec.centrelines[0].ids.reachId, " Upper");
    EXPECT_EQ(r.rec.centrelines[0].x, (std::vector<double>{500000.0, 500150.0, 500300.0}));
    EXPECT_EQ(r.rec.centrelines[1].ids.reachId, " Lower");
    EXPECT_EQ(r.rec.centrelines[1].y, (std::vector<double>{5999600.0, 5999300.0}));

    ASSERT_EQ(r.rec.sections.size(), 3u);
    const RecordedSection& a = r.rec.sections[0];
    EXPECT_EQ(a.station, " 410.5");
    EXPECT_EQ(a.nValues.size(), 3u);
    EXPECT_EQ(a.leveeIds, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(a.cut.size(), 2u);
    EXPECT_EQ(a.surface[1], (std::array<double, 3>{500100.0, 5999940.0, 21.3f}));
    const RecordedSection& b = r.rec.sections[1];
    EXPECT_EQ(b.station, " 250");
    EXPECT_FALSE(b.hasNValues || b.hasLevees);
    EXPECT_TRUE(b.hasCutLine && b.hasSurfaceLine);
    const RecordedSection& c = r.rec.sections[2];
    EXPECT_EQ(c.ids.reachId, " Lower");
    EXPECT_TRUE(c.hasNValues && c.hasLevees);
    EXPECT_EQ(c.levees, (std::vector<std::array<float, 2>>{{0.1f, 9999.0f}}));
    // The levee block ended on the CUT LINE: line, which begins the cut line.
    EXPECT_EQ(c.cut.size(), 2u);
    EXPECT_FALSE(c.hasSurfaceLine);

    const ReadResult crlf = readSdf(vktest::toCrLf(kRealisticExport));
    EXPECT_EQ(crlf.out, r.out);
    EXPECT_EQ(crlf.rec.events, r.rec.events);
    EXPECT_EQ(crlf.rec.sections[0].surface, a.surface);
}

// The real exports beside the project are read whole, without an error.
TEST(SdfReaderRealData, WailupeImport) {
    const std::string dir = vktest::realDataDir();
    if (dir.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata); skipped";
    const ReadResult r = readSdfFile(dir + "/wailupe-import.sdf");
    EXPECT_EQ(r.status, -1) << vktest::tailOf(r.out, 2000);
    EXPECT_EQ(r.rec.centrelines.size(), 3u);
    EXPECT_EQ(r.rec.sections.size(), 47u);
    EXPECT_EQ(r.rec.events, "CCCS" + std::string(47, 'X') + "D");
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos);
    EXPECT_EQ(r.rec.centrelines[0].ids.streamId, " Kulai Gorge");
    EXPECT_EQ(r.rec.centrelines[0].ids.reachId, " headwaters");
    EXPECT_EQ(r.rec.centrelines[0].x.size(), 13u);
    EXPECT_EQ(r.rec.sections[0].station, " 0.31");
    EXPECT_EQ(r.rec.sections[0].surface.size(), 31u);
    for (const RecordedSection& s : r.rec.sections) {
        EXPECT_TRUE(s.hasCutLine && s.hasSurfaceLine) << s.station;
        EXPECT_GE(s.surface.size(), 16u) << s.station;
        EXPECT_LE(s.surface.size(), 162u) << s.station;
    }
}

TEST(SdfReaderRealData, BaldEagleExportWithCrLf) {
    const std::string dir = vktest::realDataDir();
    if (dir.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata); skipped";
    const ReadResult r = readSdfFile(dir + "/baldeagle-export-crlf.sdf");
    EXPECT_EQ(r.status, -1) << vktest::tailOf(r.out, 2000);
    ASSERT_EQ(r.rec.centrelines.size(), 1u);
    EXPECT_EQ(r.rec.centrelines[0].x.size(), 591u);
    EXPECT_EQ(r.rec.centrelines[0].ids.streamId, " Bald Eagle");
    EXPECT_EQ(r.rec.sections.size(), 178u);
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos);
    EXPECT_NE(r.out.find(msg("Found BEGINSTREAMNETWORK on line 19")), std::string::npos);
    ASSERT_FALSE(r.rec.sections.empty());
    EXPECT_EQ(r.rec.sections[0].ids.streamId, "Bald Eagle");
    EXPECT_EQ(r.rec.sections[0].station, "138154.4");
    EXPECT_EQ(r.rec.sections[0].cut, (std::vector<std::array<double, 2>>{{1968668.17, 290166.79},
                                                                         {1969067.87, 289778.85}}));
    for (const RecordedSection& s : r.rec.sections) {
        EXPECT_TRUE(s.hasCutLine) << s.station;
        EXPECT_FALSE(s.hasSurfaceLine) << s.station;
        EXPECT_GE(s.cut.size(), 2u) << s.station;
        EXPECT_EQ(s.station.find('*'), std::string::npos);
        EXPECT_EQ(s.station.find('\r'), std::string::npos);
    }
}

TEST(SdfReaderRealData, GisPluginImportWithHeaderAndStructures) {
    const std::string dir = vktest::realDataDir();
    if (dir.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata); skipped";
    const ReadResult r = readSdfFile(dir + "/gisplugin-structures-import.sdf");
    EXPECT_EQ(r.status, -1) << vktest::tailOf(r.out, 2000);
    EXPECT_TRUE(r.keyword);
    // The header's "STREAM LAYER: ...StreamCenterlines" (line 5) is no CENTERLINE block.
    EXPECT_NE(r.out.find(kStart + msg("Found start of reach block on line 30") +
                         msg("Found CENTERLINE on line 35")),
              std::string::npos)
        << r.out.substr(0, 400);
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos);
    EXPECT_EQ(r.out.find("Error"), std::string::npos);
    EXPECT_NE(r.out.find(msg("Found END CROSS-SECTIONS on line 2808")), std::string::npos);
    EXPECT_EQ(r.lines, 2808); // the structures after the cross-sections are not read
    EXPECT_EQ(r.rec.events, "CCCCCS" + std::string(19, 'X') + "D");
    ASSERT_EQ(r.rec.centrelines.size(), 5u);
    // "x, y, None": the third value is not read.
    EXPECT_EQ(r.rec.centrelines[0].x, (std::vector<double>{324539, 324022.359277679}));
    EXPECT_EQ(r.rec.centrelines[0].y, (std::vector<double>{392790, 392742.46155053}));
    std::vector<std::size_t> vertices;
    for (const RecordedCentreline& c : r.rec.centrelines)
        vertices.push_back(c.x.size());
    EXPECT_EQ(vertices, (std::vector<std::size_t>{2, 7, 5, 4, 4}));
    ASSERT_EQ(r.rec.sections.size(), 19u);
    const RecordedSection& first = r.rec.sections[0];
    EXPECT_EQ(first.ids.streamId, "Doplyw A");
    EXPECT_EQ(first.ids.reachId, "dolna czesc");
    EXPECT_EQ(first.station, "401.021241522");
    EXPECT_EQ(first.nValues, (std::vector<std::array<float, 2>>{{0.0f, 0.03f}}));
    EXPECT_EQ(first.cut.size(), 2u);
    EXPECT_EQ(first.surface.size(), 21u);
    for (const RecordedSection& s : r.rec.sections) {
        EXPECT_TRUE(s.hasCutLine && s.hasSurfaceLine && s.hasLevees) << s.station;
        EXPECT_TRUE(s.levees.empty()) << s.station; // every levee block is empty
    }
}

TEST(SdfReaderRealData, CadExportWithBlankLinesAndCrLf) {
    const std::string dir = vktest::realDataDir();
    if (dir.empty()) GTEST_SKIP() << "real HEC-RAS exports not found (../shared/realdata); skipped";
    const ReadResult r = readSdfFile(dir + "/cad-acequia-crlf.sdf");
    EXPECT_EQ(r.status, -1) << vktest::tailOf(r.out, 2000);
    EXPECT_TRUE(r.keyword);
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos);
    EXPECT_EQ(r.out.find("Error"), std::string::npos);
    EXPECT_EQ(r.out.find("WARNING"), std::string::npos);
    EXPECT_EQ(r.lines, 2910);
    ASSERT_EQ(r.rec.centrelines.size(), 1u);
    EXPECT_EQ(r.rec.centrelines[0].ids.streamId, " EJE ACEQUIA EL SECO");
    EXPECT_EQ(r.rec.centrelines[0].x.size(), 48u);
    ASSERT_EQ(r.rec.sections.size(), 97u);
    EXPECT_EQ(r.rec.sections[0].ids.reachId, " EJE ACEQUIA EL SECO");
    EXPECT_EQ(r.rec.sections[0].station, " 2.8");
    EXPECT_EQ(r.rec.sections[0].cut.size(), 3u);
    ASSERT_EQ(r.rec.sections[0].surface.size(), 19u);
    EXPECT_EQ(r.rec.sections[0].surface[0][0], 315973.312134215);
    EXPECT_EQ(r.rec.sections[1].station, " 3");
    for (const RecordedSection& s : r.rec.sections)
        EXPECT_TRUE(s.hasCutLine && s.hasSurfaceLine && !s.hasLevees) << s.station;
}

} // namespace
