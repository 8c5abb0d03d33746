// Writes a realistic river export in the HEC-RAS spatial data layout, for benchmarks and large
// tests: N reaches, S cross-sections of P surface points, n values on most sections, two levee
// markers on most (a few with one or four), CR LF line endings and 7-digit map coordinates.
// The same arguments always give the same bytes.
//
//   gen_sdf OUTPUT [--reaches N] [--sections S] [--points P] [--seed X] [--extents]
// --extents: each section also says where its water surface meets the ground, as the smooth
// ground (without its small random roughness) gives it.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }  // [0, 1)

private:
    std::uint64_t state_;
};

class Writer {
public:
    explicit Writer(std::FILE* f) : file_(f) { buf_.reserve(1 << 20); }
    ~Writer() { flush(); }
    Writer& operator<<(std::string_view s) {
        buf_.append(s);
        if (buf_.size() > (1 << 20)) flush();
        return *this;
    }
    Writer& num(double v, int decimals) {
        char tmp[64];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, v, std::chars_format::fixed, decimals);
        buf_.append(tmp, r.ptr);
        return *this;
    }
    Writer& integer(long v) {
        char tmp[32];
        auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
        buf_.append(tmp, r.ptr);
        return *this;
    }
    Writer& eol() { return *this << "\r\n"; }
    void flush() {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), file_) != buf_.size()) {
            std::perror("gen_sdf: write");
            std::exit(1);
        }
        buf_.clear();
    }

private:
    std::FILE* file_;
    std::string buf_;
};

struct Options {
    const char* output = nullptr;
    long reaches = 2;
    long sections = 20;
    long points = 50;
    std::uint64_t seed = 20130901;
    bool extents = false;
};

long parseLong(const char* text) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0) {
        std::fprintf(stderr, "gen_sdf: not a count: %s\n", text);
        std::exit(2);
    }
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (i + 1 < argc && a == "--reaches") o.reaches = parseLong(argv[++i]);
        else if (i + 1 < argc && a == "--sections") o.sections = parseLong(argv[++i]);
        else if (i + 1 < argc && a == "--points") o.points = parseLong(argv[++i]);
        else if (i + 1 < argc && a == "--seed") o.seed = static_cast<std::uint64_t>(parseLong(argv[++i]));
        else if (a == "--extents") o.extents = true;
        else if (!o.output && !a.starts_with("-")) o.output = argv[i];  // never "--help" as a file
        else {
            std::fprintf(stderr, "usage: gen_sdf OUTPUT [--reaches N] [--sections S] [--points P] [--seed X] [--extents]\n");
            return 2;
        }
    }
    if (!o.output || o.reaches < 1 || o.points < 2) {
        std::fprintf(stderr, "usage: gen_sdf OUTPUT [--reaches N] [--sections S] [--points P] [--seed X] [--extents]\n");
        return 2;
    }
    std::FILE* f = std::fopen(o.output, "wb");
    if (!f) {
        std::perror(o.output);
        return 1;
    }
    Random rnd(o.seed);
    Writer w(f);

    const double x0 = 2450000.0, y0 = 6710000.0;  // map units (metres), 7-digit coordinates
    const long perReach = (o.sections + o.reaches - 1) / o.reaches;
    const double spacing = 25.0;                  // metres between sections
    const double reachLength = spacing * static_cast<double>(perReach + 1);

    w << "# HEC-RAS spatial data export" << "\r\n\r\n";
    w << "BEGIN HEADER:" << "\r\n";
    w << "UNITS: METRIC" << "\r\n";
    w << "DTM TYPE: GRID" << "\r\n";
    w << "STREAM LAYER: streams" << "\r\n";
    w << "NUMBER OF REACHES: ";
    w.integer(o.reaches).eol();
    w << "CROSS-SECTION LAYER: xs" << "\r\n";
    w << "NUMBER OF CROSS-SECTIONS: ";
    w.integer(o.sections).eol();
    w << "MAP PROJECTION: UTM" << "\r\n";
    w << "PROJECTION ZONE: 55" << "\r\n";
    w << "DATUM: GDA94" << "\r\n";
    w << "VERTICAL DATUM: AHD" << "\r\n";
    w << "NUMBER OF PROFILES: 1" << "\r\n";
    w << "PROFILE NAMES:" << "\r\n" << "  PF 1" << "\r\n";
    w << "END HEADER:" << "\r\n\r\n";

    // Reaches run side by side to the north-east, 1 km apart.
    w << "BEGIN STREAM NETWORK:" << "\r\n";
    for (long r = 0; r < o.reaches; ++r) {
        double bx = x0 + 1000.0 * static_cast<double>(r);
        w << "   ENDPOINT: ";
        w.num(bx, 2) << ", ";
        w.num(y0, 2) << ", 0, ";
        w.integer(2 * r + 1).eol();
        w << "   ENDPOINT: ";
        w.num(bx, 2) << ", ";
        w.num(y0 + reachLength, 2) << ", 0, ";
        w.integer(2 * r + 2).eol();
    }
    w.eol();
    for (long r = 0; r < o.reaches; ++r) {
        double bx = x0 + 1000.0 * static_cast<double>(r);
        w << "   REACH:" << "\r\n";
        w << "      STREAM ID: Creek " << std::string(1, static_cast<char>('A' + r % 26)) << "\r\n";
        w << "      REACH ID: Reach ";
        w.integer(r + 1).eol();
        w << "      FROM POINT: ";
        w.integer(2 * r + 1).eol();
        w << "      TO POINT: ";
        w.integer(2 * r + 2).eol();
        w << "      CENTERLINE:" << "\r\n";
        const long vertices = perReach + 2;
        for (long v = 0; v < vertices; ++v) {
            double t = static_cast<double>(v) / static_cast<double>(vertices - 1);
            double y = y0 + reachLength * t;
            double x = bx + 40.0 * std::sin(t * 6.0) + rnd.uniform();
            w << "         ";
            w.num(x, 3) << ", ";
            w.num(y, 3) << ", 0, ";
            w.num(reachLength * (1.0 - t), 2).eol();
        }
        w << "      END:" << "\r\n\r\n";
    }
    w << "END STREAM NETWORK:" << "\r\n\r\n";

    w << "BEGIN CROSS-SECTIONS:" << "\r\n\r\n";
    long written = 0;
    for (long r = 0; r < o.reaches && written < o.sections; ++r) {
        double bx = x0 + 1000.0 * static_cast<double>(r);
        for (long s = 0; s < perReach && written < o.sections; ++s, ++written) {
            const double station = reachLength - spacing * static_cast<double>(s + 1);
            const double cy = y0 + spacing * static_cast<double>(s + 1);
            const double cx = bx + 40.0 * std::sin((cy - y0) / reachLength * 6.0);
            const double width = 120.0 + 40.0 * rnd.uniform();
            const double bed = 100.0 - 0.002 * (cy - y0) + rnd.uniform() * 0.2;
            const double skew = 0.05 * (rnd.uniform() - 0.5);  // slight rotation of the section

            w << "CROSS-SECTION:" << "\r\n";
            w << "  STREAM ID: Creek " << std::string(1, static_cast<char>('A' + r % 26)) << "\r\n";
            w << "  REACH ID: Reach ";
            w.integer(r + 1).eol();
            w << "  STATION: ";
            w.num(station, 2);
            if (written % 37 == 5) w << "*";
            w.eol();
            w << "  NODE NAME: " << "\r\n";
            w << "  BANK POSITIONS: 0.3, 0.7" << "\r\n";
            w << "  REACH LENGTHS: 25, 25, 25" << "\r\n";
            if (written % 10 != 9) {
                w << "  NVALUES:" << "\r\n";
                w << "     0, 0.06" << "\r\n";
                w << "     0.3, 0.035" << "\r\n";
                w << "     0.7, 0.06" << "\r\n";
            }
            // Two levee markers on most sections, one on every 50th, four on every 97th.
            long markers = written % 97 == 13 ? 4 : (written % 50 == 7 ? 1 : 2);
            if (written % 23 != 11) {
                w << "  LEVEE POSITIONS:" << "\r\n";
                static const double four[] = {0.1, 0.25, 0.75, 0.9};
                static const double two[] = {0.15, 0.85};
                for (long k = 0; k < markers; ++k) {
                    double pos = markers == 4 ? four[k] : (markers == 2 ? two[k] : 0.2);
                    w << "     ";
                    w.integer(k + 1) << ", ";
                    w.num(pos + 0.02 * (rnd.uniform() - 0.5), 4) << ", ";
                    w.num(bed + 4.0 + rnd.uniform(), 2).eol();
                }
            }
            w << "  WATER ELEVATION: ";
            w.num(bed + 2.5, 2).eol();
            const double level = std::round((bed + 2.5) * 100) / 100;
            w << "  CUT LINE:" << "\r\n";
            double ax = cx - width / 2, ay = cy - skew * width / 2;
            double bxe = cx + width / 2, bye = cy + skew * width / 2;
            w << "     ";
            w.num(ax, 3) << " , ";
            w.num(ay, 3).eol();
            w << "     ";
            w.num(bxe, 3) << " , ";
            w.num(bye, 3).eol();
            w << "  SURFACE LINE:" << "\r\n";
            for (long p = 0; p < o.points; ++p) {
                double t = static_cast<double>(p) / static_cast<double>(o.points - 1);
                double x = ax + (bxe - ax) * t;
                double y = ay + (bye - ay) * t;
                double d = std::fabs(t - 0.5) * 2.0;  // 0 at the centre, 1 at the ends
                double z = bed + 6.0 * d * d + 0.05 * rnd.uniform();
                w << "  ";
                w.num(x, 3) << ", ";
                w.num(y, 3) << ", ";
                w.num(z, 2).eol();
            }
            if (o.extents) {
                // The ground is bed + 6 d^2 with d = |2t - 1|: it meets the water at t = 0.5 -+ d/2.
                const double d = std::sqrt((level - bed) / 6.0);
                w << "  WATER SURFACE EXTENTS:" << "\r\n" << "     ";
                for (const double t : {0.5 - d / 2, 0.5 + d / 2}) {
                    w.num(ax + (bxe - ax) * t, 3) << ", ";
                    w.num(ay + (bye - ay) * t, 3);
                    if (t < 0.5) w << ", ";
                }
                w.eol();
            }
            w << "END:" << "\r\n\r\n";
        }
    }
    w << "END CROSS-SECTIONS:" << "\r\n";
    w.flush();
    if (std::fclose(f) != 0) {
        std::perror(o.output);
        return 1;
    }
    return 0;
}
