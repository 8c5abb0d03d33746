#include "driver/templates.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "driver/driver_session.h"
#include "driver/layers.h"
#include "files/platform.h"
#include "support/testfiles.h"

namespace {

using vktest::DriverSession;
using vktest::endStatus;
using vktest::kExitTail;
using vktest::writeFile;

const std::string kPrj =
    "PROJCS[\"GDA_1994_MGA_Zone_56\",GEOGCS[\"GCS_GDA_1994\",DATUM[\"D_GDA_1994\",SPHEROID["
    "\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\","
    "0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\","
    "500000.0],PARAMETER[\"False_Northing\",10000000.0],PARAMETER[\"Central_Meridian\",153.0],"
    "PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";
const std::string kCoordSys = "CoordSys Earth Projection 8, 116, \"m\", 153, 0, 0.9996, 500000, "
                              "10000000 Bounds (-7745844.29, 2035.05) (8745844.29, 19997964.94)";

std::string opened(const std::string& name) {
    return "\nTrying to open file " + name + "...OK.\nOpened File Unit:1001\n";
}

class ProjectionTemplates : public ::testing::Test {
  protected:
    vktest::TempDir dir;
    vktest::ScopedCwd cwd{dir.path()};
    vk::RunSettings settings;

    ProjectionTemplates() { vk::setInputName(settings, "river.sdf"); }
    static int readTemplate(vk::RunContext& run, vk::RunSettings& settings) {
        return endStatus([&] { vk::readProjectionTemplate(run, settings); });
    }
};

TEST_F(ProjectionTemplates, PrjHeaderIsPreferredToProjection) {
    writeFile("Header.prj", kPrj + "\n");
    writeFile("Projection.prj", "PROJCS[\"other\"]\n");
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.shp, kPrj);
    EXPECT_EQ(settings.projections.mif, "");
    EXPECT_EQ(session.out, "GIS Projection being extracted from Header.prj\n" +
                               opened("Header.prj") + "\nshp Projection: " + kPrj +
                               "\n\nCoordinate system: GDA94 / MGA zone 56, EPSG:28356, from "
                               "Header.prj\n");
    EXPECT_EQ(settings.projections.epsg, 28356);
}

TEST_F(ProjectionTemplates, PrjProjectionIsTheSecondChoice) {
    writeFile("Projection.prj", kPrj + "\n");
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.shp, kPrj);
    EXPECT_NE(session.out.find("extracted from Projection.prj\n"), std::string::npos);
}

TEST_F(ProjectionTemplates, PrjOnlyTheFirstLineCountsAndCrLfIsALineEnd) {
    writeFile("Header.prj", "PROJCS[\"split\",\r\nGEOGCS[\"GCS_GDA_1994\"]]\r\n");
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.shp, "PROJCS[\"split\",");
    // Neither the first line nor the whole is a coordinate system: written as read, said so.
    EXPECT_NE(session.out.find("\nWARNING - Header.prj could not be identified as a coordinate "
                               "system, and is written as it is: "),
              std::string::npos) << session.out;
    EXPECT_EQ(settings.projections.epsg, 0);
}

TEST_F(ProjectionTemplates, PrjWithoutLineEndAndWithTrailingBlanks) {
    writeFile("Header.prj", kPrj + "   ");
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.shp, kPrj + "   "); // kept as read; writers trim it
    EXPECT_NE(session.out.find("\nshp Projection: " + kPrj + "\n"), std::string::npos);
}

TEST_F(ProjectionTemplates, PrjHoldingOnlyALineBreakGivesABlankProjection) {
    writeFile("Header.prj", "\r\n");
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.shp, "");
    EXPECT_TRUE(session.out.ends_with("\nshp Projection: \n")) << session.out;
}

TEST_F(ProjectionTemplates, EmptyPrjEndsTheRun) {
    writeFile("Header.prj", "");
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), 1);
    EXPECT_EQ(session.out, "GIS Projection being extracted from Header.prj\n" +
                               opened("Header.prj") +
                               "\nERROR - Projection line could not be found in \"GIS Projection\" "
                               ".prj file.Header.prj\n" +
                               std::string(kExitTail));
}

TEST_F(ProjectionTemplates, NoPrjTemplateEndsTheRun) {
    writeFile("Header.mif", kCoordSys + "\n"); // the other format's template does not count
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), 1);
    EXPECT_EQ(session.out,
              "\nERROR - A Header.prj or Projection.prj file does not exist in folder " +
                  vk::sys::resolvedPath(".") + ": put one there, name one with -prj FILE, or " +
                  "give the coordinate system with -crs EPSG:n.\n" + std::string(kExitTail));
}

TEST_F(ProjectionTemplates, MifHeaderIsPreferredAndTheFirstCoordSysLineWins) {
    writeFile("Header.mif", "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n" +
                                kCoordSys + "   \nCoordSys NonEarth Units \"m\"\nColumns 1\n");
    writeFile("Projection.mif", "CoordSys Earth Projection 1, 104\n");
    settings.chosenFormat = &vktest::outputFormat("mif");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.mif, kCoordSys);
    EXPECT_EQ(settings.projections.shp, "");
    EXPECT_EQ(session.out, opened("Header.mif") + "\nUsing Header.mif for setting projection.\n" +
                               "\nmif Projection: " + kCoordSys + "\n");
}

TEST_F(ProjectionTemplates, MifCoordSysInAnyCaseAndInsideOtherText) {
    writeFile("Projection.mif",
              "Version 300\r\n  ! coordsys copied from the survey\r\n" + kCoordSys + "\r\n");
    settings.chosenFormat = &vktest::outputFormat("mif");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    // Leading blanks stay; the CR of the line end does not.
    EXPECT_EQ(settings.projections.mif, "  ! coordsys copied from the survey");
    EXPECT_NE(session.out.find("\nUsing Projection.mif for setting projection.\n"),
              std::string::npos);
}

TEST_F(ProjectionTemplates, MifWithoutCoordSysEndsTheRun) {
    writeFile("Header.mif", "Version 300\nColumns 1\n  ID Integer\nData\n");
    settings.chosenFormat = &vktest::outputFormat("mif");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), 1);
    EXPECT_EQ(session.out, opened("Header.mif") + "\nUsing Header.mif for setting projection.\n" +
                               "\nERROR - Unable to find CoordSys line in Header.mif\n" +
                               std::string(kExitTail));
}

TEST_F(ProjectionTemplates, NoMifTemplateEndsTheRun) {
    writeFile("Header.prj", kPrj + "\n");
    settings.chosenFormat = &vktest::outputFormat("mif");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), 1);
    EXPECT_EQ(session.out,
              "\nERROR - A Header.mif or Projection.mif file does not exist in folder " +
                  vk::sys::resolvedPath(".") + ": put one there, name one with -prj FILE, or " +
                  "give the coordinate system with -crs EPSG:n.\n" + std::string(kExitTail));
}

TEST_F(ProjectionTemplates, NoFormatOptionReadsNoTemplate) {
    writeFile("Header.prj", kPrj + "\n");
    writeFile("Header.mif", kCoordSys + "\n");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(session.out, "");
    EXPECT_EQ(settings.projections.shp, "");
    EXPECT_EQ(settings.projections.mif, "");
}

TEST_F(ProjectionTemplates, TemplatesAreLookedForInTheInputsFolder) {
    std::filesystem::create_directory("sub");
    writeFile("Header.prj", "PROJCS[\"current folder\"]\n");
    writeFile("sub/Projection.prj", kPrj + "\n");
    vk::setInputName(settings, "sub/river.sdf");
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.shp, kPrj);
    EXPECT_NE(session.out.find("extracted from sub/Projection.prj\n"), std::string::npos);
}

TEST_F(ProjectionTemplates, InputWithoutFolderUsesTheCurrentFolder) {
    std::filesystem::create_directory("sub");
    writeFile("sub/Header.prj", "PROJCS[\"sub folder\"]\n");
    writeFile("Projection.prj", kPrj + "\n");
    settings.chosenFormat = &vktest::outputFormat("shp");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.shp, kPrj);
}

TEST_F(ProjectionTemplates, AbsoluteInputFolder) {
    std::filesystem::create_directory("abs");
    writeFile("abs/Header.mif", kCoordSys + "\n");
    vk::setInputName(settings, dir.path() + "/abs/river.sdf");
    settings.chosenFormat = &vktest::outputFormat("mif");
    DriverSession session;
    EXPECT_EQ(readTemplate(session.run, settings), -1);
    EXPECT_EQ(settings.projections.mif, kCoordSys);
    EXPECT_EQ(vk::findProjectionTemplate(settings.inputName, "Header.mif", "Projection.mif"),
              dir.path() + "/abs/Header.mif");
    EXPECT_EQ(vk::findProjectionTemplate(settings.inputName, "Header.prj", "Projection.prj"), "");
}

} // namespace
