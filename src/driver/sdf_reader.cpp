#include "driver/sdf_reader.h"

#include <algorithm>
#include <system_error>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "text/listdirected.h"
#include "text/strings.h"

namespace vk {

SdfSection::SdfSection() {
    for (auto* points : {&cutX, &cutY, &surfaceX, &surfaceY}) points->reserve(kInitialPoints);
    for (auto* points : {&nPosition, &nValue, &leveePosition, &leveeHeight, &surfaceZ})
        points->reserve(kInitialPoints);
    leveeId.reserve(kInitialLevees);
}

SdfSection::SdfSection(Unsized) {}

namespace {

constexpr float kNoLeveeHeight = 9999.0f;

// Makes `index` the last entry of a block's array, which holds exactly the entries its count
// covers. The storage stays from section to section and grows geometrically, so a section larger
// than the initial size is read whole.
template <class T> void makeRoom(std::vector<T>& store, std::size_t index) {
    store.resize(index + 1);
}

// Reads `count` numbers from a line in list-directed form; the first failure decides.
template <class... T> ReadStatus readNumbers(std::string_view text, T&... values) {
    ListReader reader(text);
    ReadStatus status = ReadStatus::Ok;
    ((status = status == ReadStatus::Ok ? reader.read(values) : status), ...);
    return status;
}

} // namespace

void appendPlace(std::string& out, const SdfIds* ids, const std::string* station, int line) {
    if (ids != nullptr) {
        out.append("stream ").append(TRIMF(ids->streamId));
        out.append(", reach ").append(TRIMF(ids->reachId)).append(", ");
    }
    if (station != nullptr) out.append("station ").append(TRIMF(*station)).append(", ");
    out.append("line ").append(AINTEGER(line));
}

void reportLineError(std::string_view message, std::string_view line) {
    Console& con = console();
    con.breakLine(message);
    con.line(trimRight(line));
    con.line();
    EXITS();
}

SdfReader::SdfReader(LineReader& in, bool trimToLevees, GisObject& centreline, SdfSection& section,
                     SdfConsumer& out)
    : in_(in), trimToLevees_(trimToLevees), centreline_(centreline), section_(section), out_(out) {
    lineStore_.reserve(kLineLength);
    text_.reserve(200);
}

void SdfReader::read() {
    readStreamNetworkPart();
    readCrossSectionPart();
}

void SdfReader::readStreamNetworkPart() {
    readStreamNetwork();
    out_.streamNetworkDone();
}

void SdfReader::readCrossSectionPart() {
    readCrossSections();
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
    switch (in_.readLine(line_, lineStore_, kLineLength)) {
    case LineReader::Status::Line:
        ++lineNumber_;
        return true;
    case LineReader::Status::End:
        return false;
    case LineReader::Status::Error:
        break;
    }
    text_.assign("ERROR - Unable to read the line after line ").append(AINTEGER(lineNumber_));
    text_.append(": ").append(std::generic_category().message(in_.error()));
    console().breakLine(text_);
    EXITS();
}

void SdfReader::failReadingAfter(int lineNumber, std::string_view place) {
    struct Given final : ConsolePlace {
        std::string_view text;
        void describe(std::string& out) const override { out.append(text); }
    } given;
    given.text = place;
    const ConsolePlaceScope scope(&given);
    lineNumber_ = lineNumber;
    pastSection_ = false;
    // The closed input fails here; should it not, the run still ends at this line.
    nextLine();
    EXITS();
}

void SdfReader::requireLine() {
    if (nextLine()) return;
    message("ERROR - Unexpected end of file on line ");
    EXITS();
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
    return true;
}

void SdfReader::message(std::string_view text) {
    text_.assign(text).append(AINTEGER(lineNumber_));
    console().breakLine(text_);
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
    const ConsolePlaceScope place(this);
    console().breakLine("Processing Stream Centrelines");
    console().line();
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
            console().breakLine(text_);
            ended = true;
            retestLine_ = true;
            retained_.assign(line_);
        }
    }
}

void SdfReader::readCentreline() {
    int count = 0;
    for (;;) {
        requireLine();
        if (has("END:")) break;
        double x = 0, y = 0;
        switch (readNumbers(line_, x, y)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::Bad:
            reportLineError("ERROR - Reading following line in file:", line_);
        case ReadStatus::End:
            console().breakLine("ERROR reading data");
            EXITS();
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
    const ConsolePlaceScope place(this);
    block_ = Block::None;
    bool ended = false;
    while (!ended) {
        if (retestLine_) {
            retestLine_ = false;
            line_ = retained_;
        } else if (!nextLine()) {
            break;
        }
        if (found("BEGIN CROSS-SECTIONS:")) message("Found BEGIN CROSS-SECTIONS: on line ");
        if (found("CROSS-SECTION:")) {
            block_ = Block::Section;
            message("Found new cross-section on line ");
            section_.firstLine = lineNumber_;
            readIdLine("STREAM ID:", ids_.streamId, "Error Expecting Stream ID: on ");
            readIdLine("REACH ID:", ids_.reachId, "Error Expecting REACH ID: on ");
            readStation();
        }
        if (found("CUT LINE")) {
            section_.hasCutLine = true;
            GetSdfCutline();
        }
        if (found("NVALUES")) {
            section_.hasNValues = true;
            GetSdfnVals();
        }
        if (found("LEVEE POSITIONS")) {
            message("Found LEVEE POSITIONS on line ");
            section_.hasLevees = true;
            GetSdfLevees();
            if (!trimToLevees_) section_.hasLevees = false;
        }
        if (found("SURFACE LINE")) {
            message("Found SURFACE LINE on line ");
            section_.hasSurfaceLine = true;
            GetSdfSurfaceLine();
        }
        if (found("END:")) {
            console().breakLine("End of section processing... ");
            out_.section(ids_, section_);
            pastSection_ = true;
            section_.clearFlags();
        }
        if (found("END CROSS-SECTIONS")) {
            message("Found END CROSS-SECTIONS on line ");
            ended = true;
        }
        if (found("ENDSTREAMNETWORK")) {
            message("Found ENDSTREAMNETWORK on line ");
            ended = true;
        }
    }
}

// Cut-line and n-value blocks end at a line without numbers or at a line holding "END:" (which
// then completes the section); the surface line ends at any line that is not all numbers.
void SdfReader::GetSdfCutline() {
    SdfSection& s = section_;
    s.cutCount = 0;
    s.cutX.clear();
    s.cutY.clear();
    for (;;) {
        requireLine();
        if (NUMBEROFNUMBERS(line_) == 0 || has("END:")) return;
        if (s.cutCount >= SdfSection::kCutLineLimit) {
            text_.assign("ERROR - Exceeeded limit of 100,000 cut lines. Contact ");
            text_.append(kSupportAddress).append(".");
            console().breakLine(text_);
            continue;
        }
        const auto i = static_cast<std::size_t>(s.cutCount);
        makeRoom(s.cutX, i);
        makeRoom(s.cutY, i);
        if (readNumbers(line_, s.cutX[i], s.cutY[i]) != ReadStatus::Ok)
            reportLineError("ERROR - Reading following line in file in sub GetSdfCutline", line_);
        ++s.cutCount;
    }
}

void SdfReader::GetSdfnVals() {
    SdfSection& s = section_;
    s.nCount = 0;
    s.nPosition.clear();
    s.nValue.clear();
    for (;;) {
        requireLine();
        if (NUMBEROFNUMBERS(line_) == 0 || has("END:")) return;
        const auto i = static_cast<std::size_t>(s.nCount);
        makeRoom(s.nPosition, i);
        makeRoom(s.nValue, i);
        if (readNumbers(line_, s.nPosition[i], s.nValue[i]) != ReadStatus::Ok)
            reportLineError("ERROR - Reading following line in file in sub GetSdfnVals", line_);
        ++s.nCount;
    }
}

void SdfReader::GetSdfSurfaceLine() {
    SdfSection& s = section_;
    s.surfaceCount = 0;
    s.surfaceX.clear();
    s.surfaceY.clear();
    s.surfaceZ.clear();
    for (;;) {
        requireLine();
        const auto i = static_cast<std::size_t>(s.surfaceCount);
        // Nearly every line of an export is three plain numbers: those are read in one pass.
        double x = 0, y = 0;
        float z = 0;
        PlainNumbers plain(line_);
        const bool quick = plain.take(x) && plain.take(y) && plain.take(z) && plain.atEnd();
        if (quick) {
            // Appended: the arrays grow with the count, at the cost of a store each.
            s.surfaceX.push_back(x);
            s.surfaceY.push_back(y);
            s.surfaceZ.push_back(z);
            ++s.surfaceCount;
            continue;
        }
        if (NUMBEROFNUMBERS(line_) <= 0) return;
        makeRoom(s.surfaceX, i);
        makeRoom(s.surfaceY, i);
        makeRoom(s.surfaceZ, i);
        if (readNumbers(line_, s.surfaceX[i], s.surfaceY[i], s.surfaceZ[i]) != ReadStatus::Ok)
            reportLineError("ERROR - Reading following line in file in sub GetSdfSurfaceLine",
                            line_);
        ++s.surfaceCount;
    }
}

// Levee lines are "ID, position, height": split at the first two commas. A missing height is
// reported and stored as 9999.0. The block ends at the first line holding a ":".
void SdfReader::GetSdfLevees() {
    static constexpr std::string_view kError =
        "ERROR - Reading following line in file in sub GetSdfLevees";
    static constexpr std::size_t kIdLength = 50;
    SdfSection& s = section_;
    s.leveeCount = 0;
    s.leveeId.clear();
    s.leveePosition.clear();
    s.leveeHeight.clear();
    for (;;) {
        requireLine();
        const std::string_view text = line_;
        if (text.find(':') != std::string_view::npos) break;

        const std::size_t first = text.find(',');
        const std::size_t second =
            first == std::string_view::npos ? first : text.find(',', first + 1);
        if (second == std::string_view::npos) reportLineError(kError, line_);

        const auto i = static_cast<std::size_t>(s.leveeCount);
        makeRoom(s.leveeId, i);
        makeRoom(s.leveePosition, i);
        makeRoom(s.leveeHeight, i);
        std::string& id = s.leveeId[i];
        if (ListReader(text.substr(0, first)).read(id) != ReadStatus::Ok ||
            readNumbers(text.substr(first + 1, second - first - 1), s.leveePosition[i]) !=
                ReadStatus::Ok)
            reportLineError(kError, line_);
        if (id.size() > kIdLength) id.resize(kIdLength);

        const std::string_view height = text.substr(second + 1);
        if (NUMBEROFNUMBERS(height) <= 0) {
            ++s.leveeCount;
            message("WARNING - No levee height specified.  Line number: ");
            s.leveeHeight[i] = kNoLeveeHeight;
            continue;
        }
        if (readNumbers(height, s.leveeHeight[i]) != ReadStatus::Ok) reportLineError(kError, line_);
        ++s.leveeCount;
    }

    switch (s.leveeCount) {
    case 0:
        message("WARNING - No levee points detected. Line number: ");
        break;
    case 1:
        message("WARNING - Only one levee points detected for section. Line number: ");
        break;
    case 2:
        break;
    default:
        message("WARNING - More than two levee points detected for section. Line number: ");
    }
}

} // namespace vk
