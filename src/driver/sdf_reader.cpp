#include "driver/sdf_reader.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "text/listdirected.h"
#include "text/strings.h"

namespace vk {

SdfSection::SdfSection() {
    for (const SdfBlock& block : kSdfBlocks)
        for (const SdfColumn& column : block.used())
            std::visit([&](auto values) { (this->*values).reserve(block.reserve); }, column);
}

SdfSection::SdfSection(Unsized) {}

void SdfSection::clearFlags() {
    for (const SdfBlock& block : kSdfBlocks)
        this->*block.present = false;
    hasBanks = false;
    waterElevation.clear();
    nodeName.clear();
}

std::size_t SdfSection::storedRows() const {
    std::size_t rows = 0;
    for (const SdfBlock& block : kSdfBlocks)
        rows += std::visit([&](auto values) { return (this->*values).size(); }, block.columns[0]);
    return rows;
}

namespace {

// A row of a block longer than the reader's lines is read as far as the cut.
constexpr std::string_view kRowCut =
    "WARNING - Line longer than 1000 characters: the rest is not read. Line number: ";
constexpr std::string_view kNumberCut = "WARNING - Line longer than 1000 characters: the rest, and "
                                        "the number cut through, are not read. Line number: ";

// The distinct points among a polygon's vertices, counted up to 3.
std::size_t distinctPoints(const std::vector<double>& x, const std::vector<double>& y) {
    std::size_t found[2] = {0, 0}, count = 0;
    for (std::size_t i = 0; i < x.size() && count < 3; ++i) {
        bool seen = false;
        for (std::size_t k = 0; k < count; ++k)
            seen = seen || (x[found[k]] == x[i] && y[found[k]] == y[i]);
        if (seen) continue;
        if (count < 2) found[count] = i;
        ++count;
    }
    return count;
}

// Reads `count` numbers from a line in list-directed form; the first failure decides.
template <class... T> ReadStatus readNumbers(std::string_view text, T&... values) {
    ListReader reader(text);
    ReadStatus status = ReadStatus::Ok;
    ((status = status == ReadStatus::Ok ? reader.read(values) : status), ...);
    return status;
}

// Column C of block B as a constant: the reading routine is instantiated per block from its
// declaration, so that a row goes straight into the section's arrays, each of its own type,
// without a dispatch on the declaration per row or per value (a surface line is read as cheaply
// as by a loop written for it).
template <std::size_t B, std::size_t C>
inline constexpr auto
    kColumn = std::get<kSdfBlocks[B].columns[C].index()>(kSdfBlocks[B].columns[C]);

template <std::size_t B, std::size_t C>
inline constexpr bool kTextColumn = std::is_same_v<std::remove_cv_t<decltype(kColumn<B, C>)>,
                                                   std::vector<std::string> SdfSection::*>;

// The arrays of block B in a section.
template <std::size_t B, class = std::make_index_sequence<kSdfBlocks[B].width>> struct Arrays;
template <std::size_t B, std::size_t... C> struct Arrays<B, std::index_sequence<C...>> {
    static constexpr bool kNumeric = (!kTextColumn<B, C> && ...);

    // Calls f with each array.
    template <class F> static void forEach(SdfSection& s, F&& f) { (f(s.*kColumn<B, C>), ...); }

    // Calls f with the array of column c.
    template <class F> static decltype(auto) with(SdfSection& s, std::size_t c, F&& f) {
        return withFrom<0>(s, c, f);
    }

    // Reads row `i` of a line of plain numbers (PlainNumbers) into a block of numbers: false when
    // the line is not one (the row may then hold some of its values).
    static bool readPlain(std::string_view line, SdfSection& s, std::size_t i) {
        PlainNumbers plain(line);
        return (plain.take((s.*kColumn<B, C>)[i]) && ...) && plain.atEnd();
    }

  private:
    template <std::size_t First, class F>
    static decltype(auto) withFrom(SdfSection& s, std::size_t c, F& f) {
        if constexpr (First + 1 < sizeof...(C))
            if (c != First) return withFrom<First + 1>(s, c, f);
        return f(s.*kColumn<B, First>);
    }
};

} // namespace

void appendPlace(std::string& out, const SdfIds* ids, const std::string* station, int line) {
    if (ids != nullptr) {
        out.append("stream ").append(TRIMF(ids->streamId));
        out.append(", reach ").append(TRIMF(ids->reachId)).append(", ");
    }
    if (station != nullptr) out.append("station ").append(TRIMF(*station)).append(", ");
    out.append("line ").append(AINTEGER(line));
}

void reportLineError(RunContext& run, std::string_view message, std::string_view line) {
    Console& con = run.console;
    con.breakLine(message);
    con.line(trimRight(line));
    con.line();
    EXITS(run);
}

SdfReader::SdfReader(LineReader& in, bool trimToLevees, GisObject& centreline, SdfSection& section,
                     SdfConsumer& out)
    : in_(in), trimToLevees_(trimToLevees), centreline_(centreline), section_(section), out_(out) {
    lineStore_.reserve(kLineLength + 1);
    text_.reserve(200);
}

void SdfReader::read(RunContext& run) {
    readStreamNetworkPart(run);
    readCrossSectionPart(run);
}

void SdfReader::readStreamNetworkPart(RunContext& run) {
    run_ = &run;
    readStreamNetwork();
    out_.streamNetworkDone();
}

void SdfReader::readCrossSectionPart(RunContext& run) {
    run_ = &run;
    readCrossSections();
    if (!foundKeyword_) out_.notAnExport();
    out_.crossSectionsDone();
}

void SdfReader::describe(std::string& out) const {
    switch (block_) {
    case Block::None:
        appendPlace(out, nullptr, nullptr, lineNumber_);
        break;
    case Block::Reach:
        appendPlace(out, &ids_, nullptr, lineNumber_);
        break;
    case Block::Section:
        appendPlace(out, &ids_, &section_.station, lineNumber_);
        break;
    }
}

bool SdfReader::nextLine() {
    if (pastSection_) {
        pastSection_ = false;
        out_.readingPast(lineNumber_, *this);
    }
    // One character more than kept: whether the cut went through a number.
    switch (in_.readLine(line_, lineStore_, kLineLength + 1)) {
    case LineReader::Status::Line:
        ++lineNumber_;
        lineCut_ = line_.size() > kLineLength;
        if (lineCut_) {
            afterCut_ = line_[kLineLength];
            line_ = line_.substr(0, kLineLength);
        }
        return true;
    case LineReader::Status::End:
        return false;
    case LineReader::Status::Error:
        break;
    }
    failRead("ERROR - Unable to read the line after line ", lineNumber_);
}

void SdfReader::failRead(std::string_view text, int line) {
    text_.assign(text).append(AINTEGER(line));
    text_.append(": ").append(std::generic_category().message(in_.error()));
    run_->console.breakLine(text_);
    EXITS(*run_);
}

// The line being read, whole however long it is (the results' lines are read so).
void SdfReader::takeWholeLine() {
    if (!lineCut_) return;
    switch (in_.wholeLine(line_, lineStore_)) {
    case LineReader::Status::Line:
    case LineReader::Status::End:
        return;
    case LineReader::Status::Error:
        break;
    }
    failRead("ERROR - Unable to read the rest of line ", lineNumber_);
}

// A row cut at kLineLength is said, and read as far as the cut without the number the cut went
// through, if any.
void SdfReader::cutRow() {
    static constexpr std::string_view kSeparators = " \t,";
    const bool split = kSeparators.find(afterCut_) == std::string_view::npos && !line_.empty() &&
                       kSeparators.find(line_.back()) == std::string_view::npos;
    message(split ? kNumberCut : kRowCut);
    if (split) line_ = line_.substr(0, line_.find_last_of(kSeparators) + 1);
}

void SdfReader::failReadingAfter(RunContext& run, int lineNumber, std::string_view place) {
    run_ = &run;
    struct Given final : ConsolePlace {
        std::string_view text;
        void describe(std::string& out) const override { out.append(text); }
    } given;
    given.text = place;
    const ConsoleAt at(run.console, &given);
    lineNumber_ = lineNumber;
    pastSection_ = false;
    // The closed input fails here; should it not, the run still ends at this line.
    nextLine();
    EXITS(*run_);
}

void SdfReader::requireLine() {
    if (nextLine()) return;
    message("ERROR - Unexpected end of file on line ");
    EXITS(*run_);
}

bool SdfReader::has(std::string_view keyword) const {
    return FLAGEXISTS(line_, keyword);
}

bool SdfReader::found(std::string_view keyword) {
    if (!has(keyword)) return false;
    foundKeyword_ = true;
    return true;
}

// Header lines name the layers the export came from ("STREAM LAYER: ...\River_Centerline.shp")
// and must not be taken for keywords. A header without its end line ends where the stream
// network or the cross-sections begin; that line is then tested as usual.
bool SdfReader::skipHeaderLine() {
    if (!inHeader_) {
        inHeader_ = has("BEGIN HEADER:");
        return inHeader_;
    }
    if (has("END HEADER:")) {
        inHeader_ = false;
        return true;
    }
    if (has("BEGINSTREAMNETWORK") || has("BEGIN STREAM NETWORK") || has("BEGIN CROSS-SECTIONS:")) {
        inHeader_ = false;
        return false;
    }
    readHeaderLine();
    return true;
}

std::string_view SdfReader::afterColon() const {
    const std::size_t colon = line_.find(':');
    return colon == std::string_view::npos ? std::string_view() : line_.substr(colon + 1);
}

// The profiles' names follow "PROFILE NAMES:", one a line, as many as "NUMBER OF PROFILES" says.
void SdfReader::readHeaderLine() {
    if (namesToRead_ > 0) {
        --namesToRead_;
        header_.profiles.push_back(TRIMF(line_));
    } else if (has("NUMBER OF PROFILES:")) {
        ListReader reader(afterColon());
        double count = 0;
        const bool read = reader.read(count) == ReadStatus::Ok && count >= 0 && count <= 100000;
        if (!read) resultWarning("WARNING - Number of profiles not read. Line number: ", lineNumber_);
        profilesDeclared_ = read ? static_cast<int>(count) : 0;
    } else if (has("PROFILE NAMES:")) {
        header_.profiles.clear();
        namesToRead_ = profilesDeclared_;
    } else if (has("UNITS:")) {
        header_.units = TRIMF(afterColon());
    }
}

// "<what>: 3 values for 2 profiles. Line number: N" when a list does not hold one per profile.
void SdfReader::warnPerProfile(std::string_view what, std::size_t count, std::string_view unit,
                               int line) {
    if (results_ != ResultsMode::Written || count == header_.profiles.size()) return;
    text_.assign(what).append(AINTEGER(static_cast<std::int64_t>(count))).append(" ").append(unit);
    text_.append(" for ").append(AINTEGER(static_cast<std::int64_t>(header_.profiles.size())));
    text_.append(" profiles. Line number: ").append(AINTEGER(line));
    run_->console.breakLine(text_);
}

// A fault of the model's results, said only in a run that writes them.
void SdfReader::resultWarning(std::string_view text, int line, std::string_view after) {
    if (results_ != ResultsMode::Written) return;
    text_.assign(text).append(AINTEGER(line)).append(after);
    run_->console.breakLine(text_);
}

void SdfReader::message(std::string_view text) {
    text_.assign(text).append(AINTEGER(lineNumber_));
    run_->console.breakLine(text_);
}

// Some writers leave blank lines between a block's keyword and its ID lines.
void SdfReader::requireContentLine() {
    do {
        requireLine();
    } while (isBlankLine(line_));
}

// The ID is the text after the line's first ":", trailing blanks removed, leading blanks kept.
// A missing ID line is reported and the previous ID stays.
void SdfReader::readIdLine(std::string_view keyword, std::string& id, std::string_view error) {
    requireContentLine();
    if (!has(keyword)) {
        message(error);
        return;
    }
    id.assign(trimRight(line_.substr(line_.find(':') + 1)));
}

// A station marked with an asterisk loses the mark and everything after it.
void SdfReader::readStation() {
    requireContentLine();
    if (!has("STATION:")) {
        message("Error Expecting STATION: on ");
        return;
    }
    std::string_view text = line_;
    text = text.substr(0, text.find('*'));
    if (const std::size_t colon = text.find(':'); colon != std::string_view::npos)
        text.remove_prefix(colon + 1);
    section_.station.assign(trimRight(text));
}

void SdfReader::readStreamNetwork() {
    const ConsoleAt place(run_->console, this);
    run_->console.breakLine("Processing Stream Centrelines");
    run_->console.line();
    if (!nextLine()) return; // the first line is never tested, but it may begin the header
    inHeader_ = has("BEGIN HEADER:");

    bool ended = false;
    while (!ended && nextLine()) {
        if (skipHeaderLine()) continue;
        if (found("BEGINSTREAMNETWORK")) message("Found BEGINSTREAMNETWORK on line ");
        if (found("REACH:")) {
            block_ = Block::Reach;
            message("Found start of reach block on line ");
            readIdLine("STREAM ID:", ids_.streamId, "Error Expecting Stream ID: on ");
            readIdLine("REACH ID:", ids_.reachId, "Error Expecting REACH ID: on ");
        }
        if (found("CENTERLINE")) {
            message("Found CENTERLINE on line ");
            readCentreline();
        }
        if (found("END STREAM NETWORK") || found("ENDSTREAMNETWORK")) {
            message("Found ENDSTREAMNETWORK on line ");
            ended = true;
        }
        // Without its end line the network would take in every cross-section of the file.
        if (!ended && found("BEGIN CROSS-SECTIONS:")) {
            text_.assign("WARNING - Cross-sections begin on line ").append(AINTEGER(lineNumber_));
            text_.append(" before the end of the stream network.");
            block_ = Block::None; // the place is the line, not the reach before it
            run_->console.breakLine(text_);
            run_->console.endMessage();  // the layers closed and opened next are not part of it
            ended = true;
            retestLine_ = true;
            retained_.assign(line_);
        }
    }
    // Cut short inside the network, as inside the cross-sections: a run that finishes says so.
    if (!ended && foundKeyword_) {
        text_.assign("WARNING - The export ends on line ").append(AINTEGER(lineNumber_));
        text_.append(" inside the stream network; it may be cut short.");
        block_ = Block::None;
        run_->console.breakLine(text_);
        run_->console.endMessage();  // the layers closed and opened next are not part of it
    }
    out_.header(header_);
}

void SdfReader::readCentreline() {
    int count = 0;
    for (;;) {
        requireLine();
        if (has("END:")) break;
        if (lineCut_) cutRow();
        double x = 0, y = 0;
        switch (readNumbers(line_, x, y)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::Bad:
            reportLineError(*run_, "ERROR - Reading following line in file:", line_);
        case ReadStatus::End:
            run_->console.breakLine("ERROR reading data");
            EXITS(*run_);
        }
        const auto index = static_cast<std::size_t>(count);
        centreline_.reserveVertices(index + 1);
        centreline_.X[index] = x;
        centreline_.Y[index] = y;
        ++count;
    }
    centreline_.n = count;
    out_.centreline(ids_, centreline_);
    centreline_.n = 0;
}

void SdfReader::readCrossSections() {
    const ConsoleAt place(run_->console, this);
    block_ = Block::None;
    bool ended = false;
    bool begun = false;        // the cross-section part: its first line was found
    bool sectionOpen = false;  // a section was begun and has not ended yet
    bool endWritten = false;   // its end line, however blanked
    while (!ended) {
        if (retestLine_) {
            retestLine_ = false;
            line_ = retained_;
        } else if (!nextLine()) {
            atEnd_ = true;
            break;
        }
        if (found("BEGIN CROSS-SECTIONS:")) {
            message("Found BEGIN CROSS-SECTIONS: on line ");
            begun = true;
        }
        if (found("CROSS-SECTION:")) {
            begun = sectionOpen = true;
            block_ = Block::Section;
            message("Found new cross-section on line ");
            section_.firstLine = lineNumber_;
            readIdLine("STREAM ID:", ids_.streamId, "Error Expecting Stream ID: on ");
            readIdLine("REACH ID:", ids_.reachId, "Error Expecting REACH ID: on ");
            readStation();
        }
        // The line that ends a block may begin any other.
        while (readBlockBegunHere(std::make_index_sequence<std::size(kSdfBlocks)>{})) {
        }
        if (results_ != ResultsMode::Off) readSectionResults();
        if (found("END:")) {
            run_->console.breakLine("End of section processing... ");
            out_.section(ids_, section_);
            pastSection_ = true;
            section_.clearFlags();
            sectionOpen = false;
        }
        if (found("END CROSS-SECTIONS")) {
            message("Found END CROSS-SECTIONS on line ");
            ended = true;
        }
        if (found("ENDSTREAMNETWORK")) {
            message("Found ENDSTREAMNETWORK on line ");
            ended = true;
        }
        // The end line written with more blanks ("END   CROSS-SECTIONS:") does not end the part,
        // but the export was written to its end.
        if (!endWritten && FLAGEXISTS(line_, "CROSS-SECTIONS") &&
            FLAGEXISTS(REMOVESPACES(line_), "ENDCROSS-SECTIONS"))
            endWritten = true;
    }
    // An export copied or downloaded only in part ends where it was cut: a run that finishes must
    // say that it may be incomplete, and that a section left without its end was not converted.
    if (!ended && !endWritten && begun) {
        if (sectionOpen) {
            text_.assign("WARNING - The cross-section beginning on line ")
                .append(AINTEGER(section_.firstLine))
                .append(" has no END: line; it is not converted.");
            run_->console.breakLine(text_);
        }
        text_.assign("WARNING - The export ends on line ")
            .append(AINTEGER(lineNumber_))
            .append(" without END CROSS-SECTIONS:; it may be cut short.");
        run_->console.breakLine(text_);
    }
    if (results_ == ResultsMode::Off) return;
    block_ = Block::None;
    while (!atEnd_ && nextLine()) {
        if (found("BEGIN BOUNDS:"))
            readRegions(SdfRegion::Kind::ProfileLimits, "END BOUNDS:");
        else if (found("BEGIN STORAGE AREAS:"))
            readRegions(SdfRegion::Kind::StorageArea, "END STORAGE AREAS:");
    }
}

// The results written on one line of a section: "WATER ELEVATION:v1,v2,...", "BANK
// POSITIONS:f1,f2" and "NODE NAME:text".
void SdfReader::readSectionResults() {
    const bool levelsHere = found("WATER ELEVATION"), banksHere = found("BANK POSITIONS"),
               nodeHere = found("NODE NAME");
    // Read whole; the tests after these see the line as cut, as every other line.
    const std::size_t kept = line_.size();
    if (levelsHere || banksHere || nodeHere) takeWholeLine();
    if (levelsHere) {
        std::vector<double>& levels = section_.waterElevation;
        levels.clear();
        ListReader reader(afterColon());
        double value = 0;
        ReadStatus status = ReadStatus::Ok;
        while ((status = reader.read(value)) == ReadStatus::Ok)
            levels.push_back(value);
        if (status == ReadStatus::Bad)
            resultWarning("WARNING - Water elevation not a number, the rest not read. Line number: ",
                          lineNumber_);
        warnPerProfile("WARNING - Water elevations: ", levels.size(), "values", lineNumber_);
    }
    if (banksHere) {
        ListReader reader(afterColon());
        double left = -1, right = -1;
        const bool read = reader.read(left) == ReadStatus::Ok &&
                          reader.read(right) == ReadStatus::Ok;
        section_.hasBanks = read && left >= 0 && left <= 1 && right >= 0 && right <= 1;
        if (section_.hasBanks) {
            section_.bankLeft = left;
            section_.bankRight = right;
        } else {
            resultWarning("WARNING - Bank positions not two fractions from 0 to 1. Line number: ",
                          lineNumber_);
        }
    }
    if (nodeHere) section_.nodeName = TRIMF(afterColon());
    line_ = line_.substr(0, kept);
}

// A BOUNDS block (per profile: "PROFILE LIMITS:", "PROFILE ID:name", one or more "POLYGON:"
// blocks of "x , y" rows, "END:") or a STORAGE AREAS block (per area: "SA ID:name", "WATER
// ELEVATION:" values, "POLYGON:" rows, other rows read past, "END:"). Each polygon goes out as a
// region with the name and elevations in force.
void SdfReader::readRegions(SdfRegion::Kind kind, std::string_view endKeyword) {
    const int blockLine = lineNumber_;
    SdfRegion& region = region_;
    region.kind = kind;
    region.name.clear();
    region.waterElevation.clear();
    bool collecting = false;
    int polygonLine = 0;
    auto emit = [&] {
        if (polygonLine > 0) {
            if (region.z.size() != region.x.size() && !region.z.empty()) {
                resultWarning("WARNING - Polygon with a third value on only some rows: its Z "
                              "left out. Line number: ", polygonLine);
                region.z.clear();
            }
            region.line = polygonLine;
            if (distinctPoints(region.x, region.y) >= 3) {
                out_.region(region);
            } else {
                resultWarning("WARNING - Polygon of fewer than 3 points left out. Line number: ",
                              polygonLine);
            }
        }
        polygonLine = 0;
        collecting = false;
        region.x.clear();
        region.y.clear();
        region.z.clear();
    };
    for (;;) {
        if (!nextLine()) {
            atEnd_ = true;
            emit();
            resultWarning("WARNING - Block from line ", blockLine, " cut off by the end of the file.");
            return;
        }
        takeWholeLine();
        if (has(endKeyword)) {
            emit();
            return;
        }
        if (has("PROFILE LIMITS:") || has("SA ID:")) {
            emit();
            region.name.clear();
            region.waterElevation.clear();
            if (has("SA ID:")) region.name = TRIMF(afterColon());
        } else if (has("PROFILE ID:")) {
            region.name = TRIMF(afterColon());
            const auto& names = header_.profiles;
            if (std::find(names.begin(), names.end(), region.name) == names.end())
                resultWarning("WARNING - Profile ID not among the profile names. Line number: ",
                              lineNumber_);
        } else if (has("WATER ELEVATION")) {
            region.waterElevation.clear();
            ListReader reader(afterColon());
            double value = 0;
            while (reader.read(value) == ReadStatus::Ok)
                region.waterElevation.push_back(value);
            warnPerProfile("WARNING - Water elevations: ", region.waterElevation.size(),
                           "values", lineNumber_);
        } else if (has("POLYGON:")) {
            emit();
            collecting = true;
            polygonLine = lineNumber_;
        } else if (has("END:")) {
            emit();
        } else if (line_.find(':') != std::string_view::npos) {
            collecting = false; // ELEVATION-VOLUME:, TERRAIN: and the like are read past
        } else if (collecting && !isBlankLine(line_)) {
            double x = 0, y = 0, z = 0;
            ListReader row(line_);
            if (row.read(x) == ReadStatus::Ok && row.read(y) == ReadStatus::Ok) {
                region.x.push_back(x);
                region.y.push_back(y);
                if (row.read(z) == ReadStatus::Ok) region.z.push_back(z);
            } else {
                resultWarning("WARNING - Polygon row not read. Line number: ", lineNumber_);
            }
        }
    }
}

// Reads the block of kSdfBlocks whose keyword the line holds (the first declared, should it
// hold two); false when it holds none.
template <std::size_t... B> bool SdfReader::readBlockBegunHere(std::index_sequence<B...>) {
    return ((((!kSdfBlocks[B].onlyWithResults || results_ != ResultsMode::Off) && found(kSdfBlocks[B].keyword))
                 ? (readBlock<B>(), true)
                 : false) ||
            ...);
}

// One routine for every block of kSdfBlocks (instantiated per block). Rows past the limit are
// reported and skipped; the line that ends the block is left for the keyword tests, its own
// block's included.
template <std::size_t B> void SdfReader::readBlock() {
    static constexpr const SdfBlock& block = kSdfBlocks[B];
    constexpr bool plainRows = block.form == SdfRowForm::Values && Arrays<B>::kNumeric;
    SdfSection& s = section_;
    const int blockLine = lineNumber_;
    if (!block.foundMessage.empty()) message(block.foundMessage);
    s.*block.present = true;
    int& count = s.*block.count;
    count = 0;
    // The arrays grow geometrically while the block is read and are cut to its rows at its end;
    // their storage stays from section to section.
    std::size_t rows = 0;
    Arrays<B>::forEach(s, [](auto& array) { array.clear(); });
    auto makeRoom = [&](std::size_t i) {
        if (i < rows) return;
        rows = std::max({i + 1, 2 * rows, std::size_t{16}});
        Arrays<B>::forEach(s, [&](auto& array) { array.resize(rows); });
    };
    for (;;) {
        requireLine();
        if (lineCut_ && !endsBlock(block.end)) {
            if constexpr (block.onlyWithResults)
                takeWholeLine();
            else
                cutRow();
        }
        const auto i = static_cast<std::size_t>(count);
        if constexpr (plainRows) {
            if (count < block.limit) {
                makeRoom(i);
                if (Arrays<B>::readPlain(line_, s, i)) {
                    ++count;
                    continue;
                }
            }
        }
        if (endsBlock(block.end)) break;
        if (count >= block.limit) {
            text_.assign(block.limitMessage).append(kSupportAddress).append(".");
            run_->console.breakLine(text_);
            continue;
        }
        makeRoom(i);
        if (!readRow<B>(i)) {
            if (block.rowWarning.empty()) reportLineError(*run_, block.readError, line_);
            if (!block.onlyWithResults || results_ == ResultsMode::Written) message(block.rowWarning);
            // The row keeps its place without values, so that the rows after it keep theirs.
            Arrays<B>::forEach(s, [&](auto& array) {
                if constexpr (std::is_floating_point_v<std::decay_t<decltype(array[i])>>)
                    array[i] = std::numeric_limits<std::decay_t<decltype(array[i])>>::quiet_NaN();
            });
        }
        ++count;
    }
    // Rows made room for past the count (and a plain reading tried on the line that ended the
    // block) are dropped.
    Arrays<B>::forEach(s, [&](auto& array) { array.resize(static_cast<std::size_t>(count)); });

    if (!block.pairWarnings[0].empty() && count != 2)
        message(block.pairWarnings[static_cast<std::size_t>(std::min(count, 2))]);
    if (block.onlyWhenTrimming && !trimToLevees_) s.*block.present = false;
    if (!block.perProfileWarning.empty())
        warnPerProfile(block.perProfileWarning, static_cast<std::size_t>(count), "rows",
                       blockLine);
}

bool SdfReader::endsBlock(SdfBlockEnd end) const {
    switch (end) {
    case SdfBlockEnd::NoNumbersOrEnd:
        return NUMBEROFNUMBERS(line_) == 0 || has("END:");
    case SdfBlockEnd::NotAllNumbers:
        return NUMBEROFNUMBERS(line_) <= 0;
    case SdfBlockEnd::Colon:
        return line_.find(':') != std::string_view::npos;
    }
    return true;
}

// Reads row `i` of block B from the line the general way; false when the line cannot be read.
template <std::size_t B> bool SdfReader::readRow(std::size_t i) {
    static constexpr const SdfBlock& block = kSdfBlocks[B];
    SdfSection& s = section_;
    // One value of column c; a text value is cut to the block's length.
    auto readValue = [&](ListReader& reader, std::size_t c) {
        return Arrays<B>::with(s, c, [&](auto& array) {
            auto& value = array[i];
            const ReadStatus status = reader.read(value);
            if constexpr (std::is_same_v<decltype(value), std::string&>)
                if (block.textLength > 0 && value.size() > block.textLength)
                    value.resize(block.textLength);
            return status;
        });
    };
    if constexpr (block.form == SdfRowForm::Values) {
        ListReader reader(line_);
        for (std::size_t c = 0; c < block.width; ++c)
            if (readValue(reader, c) != ReadStatus::Ok) return false;
        return true;
    }
    // Fields (the rest of this routine): every column but the last ends at a comma; the last one
    // is the rest of the line.
    std::string_view rest = line_;
    for (std::size_t c = 0; c < block.width; ++c) {
        std::string_view field = rest;
        if (c + 1 < block.width) {
            const std::size_t comma = rest.find(',');
            if (comma == std::string_view::npos) return false;
            field = rest.substr(0, comma);
            rest.remove_prefix(comma + 1);
        } else if (!block.missingWarning.empty() && NUMBEROFNUMBERS(field) <= 0) {
            Arrays<B>::with(s, c, [&](auto& array) {
                using Value = std::remove_cvref_t<decltype(array[i])>;
                if constexpr (std::is_arithmetic_v<Value>)
                    array[i] = static_cast<Value>(block.missingValue);
            });
            message(block.missingWarning);
            return true;
        }
        ListReader reader(field);
        if (readValue(reader, c) != ReadStatus::Ok) return false;
    }
    return true;
}

} // namespace vk
