// The reader of a HEC-RAS spatial data export (.sdf): one sequential pass in two loops, the
// stream network and then the cross-sections. Every completed centreline and cross-section is
// handed to an SdfConsumer; everything else in the file is skipped.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "driver/sdf.h"
#include "driver/settings.h"
#include "files/console.h"
#include "files/context.h"
#include "files/linereader.h"
#include "gis/object.h"

namespace vk {

// Writes a read-error message (after a line break), echoes the offending line with trailing
// blanks removed on the next line, leaves one empty line and ends the run through EXITS.
[[noreturn]] void reportLineError(RunContext& run, std::string_view message, std::string_view line);

class SdfReader : private ConsolePlace {
  public:
    // Longer lines are cut (a row of a block with a warning), those of the results read whole.
    static constexpr std::size_t kLineLength = 1000;

    // centreline collects the vertices of each centreline (the run passes a feature of its own); section is the
    // store reused for every cross-section. trimToLevees false: levee markers are read but the
    // section is handed over without them.
    SdfReader(LineReader& in, bool trimToLevees, GisObject& centreline, SdfSection& section,
              SdfConsumer& out);

    // Reads the whole file: the stream-network loop, streamNetworkDone(), the cross-section loop
    // and crossSectionsDone(). Its messages go to run's console, which names the reader's place
    // in them; errors end the run through EXITS.
    void read(RunContext& run);
    // Reads the model's results too: the header's profiles, each section's water elevations,
    // extents, bank positions and node name, and the profile limits and storage areas after the
    // cross-sections. Off, the reader looks for none of their keywords.
    // Written: the results' faults are reported; ForReport: they are read silently, a row that
    // cannot be read skipped.
    void readResults(ResultsMode mode) { results_ = mode; }
    // The same in two parts, one after the other: the stream network with streamNetworkDone(),
    // then the cross-sections with crossSectionsDone(), each for the run (or the thread reading
    // beside it) that it is handed.
    void readStreamNetworkPart(RunContext& run);
    void readCrossSectionPart(RunContext& run);

    // The number of the line in the buffer (0 before the first line).
    int lineNumber() const { return lineNumber_; }
    LineReader& input() const { return in_; }

    // The reading goes on after line `lineNumber`, on this thread, when a reading of the same input
    // was given up there because the input was closed under it: the read fails as it would have
    // (the input being closed) and the run ends with the reader's message for that, naming
    // `place` (what readingPast was given there).
    [[noreturn]] void failReadingAfter(RunContext& run, int lineNumber, std::string_view place);
    // True once a keyword test of either loop has succeeded: the file is an export. (Header lines
    // and the lines read by the ID lines and blocks do not count.)
    bool foundKeyword() const { return foundKeyword_; }

  private:
    // The block being read, which the warnings of a quiet run name.
    enum class Block { None, Reach, Section };
    void describe(std::string& out) const override;

    void readStreamNetwork();
    void readCrossSections();
    bool nextLine();    // false at the end of the file
    void requireLine(); // the end of the file here ends the run
    bool has(std::string_view keyword) const;
    bool found(std::string_view keyword); // a keyword test of a loop
    bool skipHeaderLine();                // true for the lines of the header, which are not tested
    void message(std::string_view text); // text + the line number, after a line break
    [[noreturn]] void failRead(std::string_view text, int line); // text, line, the error; ends
    void takeWholeLine();
    void cutRow();
    void resultWarning(std::string_view text, int line, std::string_view after = {});
    void requireContentLine();           // the next line that is not blank
    void readIdLine(std::string_view keyword, std::string& id, std::string_view error);
    void readStation();
    void readCentreline();

    template <std::size_t... B> bool readBlockBegunHere(std::index_sequence<B...>);
    template <std::size_t B> void readBlock(); // block B of kSdfBlocks
    bool endsBlock(SdfBlockEnd end) const;
    void readHeaderLine();
    void readSectionResults();
    void readRegions(SdfRegion::Kind kind, std::string_view endKeyword);
    void warnPerProfile(std::string_view what, std::size_t count, std::string_view unit,
                        int line);
    std::string_view afterColon() const;
    template <std::size_t B> bool readRow(std::size_t i);

    RunContext* run_ = nullptr;  // what the part being read was handed
    LineReader& in_;
    bool trimToLevees_;
    GisObject& centreline_;
    SdfSection& section_;
    SdfConsumer& out_;
    SdfIds ids_;
    std::string_view line_;  // the line being read, good until the next read
    bool lineCut_ = false;   // it was longer than kLineLength, and cut there
    char afterCut_ = 0;      // the first character cut off
    std::string lineStore_;  // holds a line that the reader's buffer does not hold whole
    std::string text_; // message work field
    int lineNumber_ = 0;
    Block block_ = Block::None;
    bool pastSection_ = false; // a section was handed over and no line read since
    bool inHeader_ = false;
    bool foundKeyword_ = false;
    // The stream-network loop ended at the beginning of the cross-sections: the cross-section
    // loop tests that line first (held in retained_) before it reads another one.
    bool retestLine_ = false;
    std::string retained_;
    ResultsMode results_ = ResultsMode::Off;
    bool atEnd_ = false;     // the end of the file was reached
    SdfHeader header_;
    int profilesDeclared_ = 0; // by the header's NUMBER OF PROFILES
    int namesToRead_ = 0;      // the header's profile-name lines still to come
    SdfRegion region_;
};

} // namespace vk
