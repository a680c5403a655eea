#include "ocr/ocrimage.h"

#include <leptonica/allheaders.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kes {

void PixDeleter::operator()(Pix* pix) const {
    pixDestroy(&pix);
}

void SilenceImageLibrary() {
    setMsgSeverity(L_SEVERITY_NONE);
}

namespace {

bool StartsWith(std::string_view bytes, std::string_view magic) {
    return bytes.size() >= magic.size() && bytes.compare(0, magic.size(), magic) == 0;
}

// Otsu's threshold of a grey histogram: the level that best splits it in two classes.
int OtsuThreshold(const std::array<std::uint64_t, 256>& hist) {
    std::uint64_t total = 0;
    double sum = 0;
    for (int i = 0; i < 256; ++i) {
        total += hist[i];
        sum += static_cast<double>(i) * static_cast<double>(hist[i]);
    }
    double sumBelow = 0, best = -1;
    std::uint64_t below = 0;
    int threshold = 127;
    for (int t = 0; t < 255; ++t) {
        below += hist[t];
        if (below == 0) continue;
        const std::uint64_t above = total - below;
        if (above == 0) break;
        sumBelow += static_cast<double>(t) * static_cast<double>(hist[t]);
        const double mb = sumBelow / static_cast<double>(below);
        const double ma = (sum - sumBelow) / static_cast<double>(above);
        const double between =
            static_cast<double>(below) * static_cast<double>(above) * (mb - ma) * (mb - ma);
        if (between > best) {
            best = between;
            threshold = t;
        }
    }
    return threshold;
}

// The image libraries under leptonica write their complaints about a bad file ("Premature end
// of JPEG file", "libpng error: ...") to stderr themselves; the caller reports the failure in
// its own words. Standard error is pointed to /dev/null while one image is decoded (the
// recognizer runs on one thread).
class QuietStderr {
  public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_ = -1;
};

struct Run {
    int start, length;
};

// The runs of positions whose count is not zero, runs closer than `join` merged.
std::vector<Run> RunsOf(const std::vector<int>& counts, int join) {
    std::vector<Run> runs;
    const int n = static_cast<int>(counts.size());
    for (int i = 0; i < n;) {
        if (counts[i] == 0) {
            ++i;
            continue;
        }
        int j = i;
        while (j < n && counts[j] != 0)
            ++j;
        if (!runs.empty() && i - (runs.back().start + runs.back().length) <= join)
            runs.back().length = j - runs.back().start;
        else
            runs.push_back({i, j - i});
        i = j;
    }
    return runs;
}

int MedianLength(std::vector<Run> runs) {
    if (runs.empty()) return 0;
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.length < b.length; });
    return runs[runs.size() / 2].length;
}

// The lines of ink along one direction: runs of rows (or columns) holding ink, gaps inside a
// character (a quarter of the tallest run at most) closed. Runs of one or two pixels are noise.
std::vector<Run> LinesOf(const std::vector<int>& counts) {
    std::vector<Run> raw = RunsOf(counts, 1);
    int tallest = 0;
    for (const Run& r : raw)
        tallest = std::max(tallest, r.length);
    std::vector<Run> lines = RunsOf(counts, std::max(1, tallest / 4));
    std::erase_if(lines, [](const Run& r) { return r.length < 3; });
    return lines;
}

// Vertical text set as one horizontal line: each column (right to left) cut into its
// characters, which are square, so ink runs are joined while they fit in one square; the
// characters then stand side by side, centred on the line, a quarter of a character apart.
// The horizontal models read such a line better than the vertical ones read the column.
PixPtr ColumnsAsLine(Pix* grey, int ink, int ground, const std::vector<Run>& columns,
                     int charWidth) {
    const l_uint32* data = pixGetData(grey);
    const int wpl = pixGetWpl(grey);
    const int h = pixGetHeight(grey);
    struct Cell {
        int x, y, w, h;
    };
    std::vector<Cell> cells;
    const int square = charWidth + charWidth / 5;
    for (auto col = columns.rbegin(); col != columns.rend(); ++col) {
        std::vector<int> rows(h, 0);
        for (int y = 0; y < h; ++y) {
            const l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
            for (int x = col->start; x < col->start + col->length; ++x)
                if (GET_DATA_BYTE(line, x) <= ink) ++rows[y];
        }
        std::vector<Run> runs = RunsOf(rows, 0);
        for (std::size_t i = 0; i < runs.size();) {
            int start = runs[i].start, end = runs[i].start + runs[i].length;
            std::size_t j = i + 1;
            while (j < runs.size() && runs[j].start + runs[j].length - start <= square)
                end = runs[j].start + runs[j].length, ++j;
            // Characters that touch (small text, tight spacing) are cut at the row of least
            // ink near where the next square begins.
            while (end - start > square) {
                int cut = start + charWidth;
                for (int y = start + charWidth * 3 / 4; y <= start + square && y < end; ++y)
                    if (rows[y] < rows[cut]) cut = y;
                cells.push_back({col->start, start, col->length, cut - start});
                start = cut;
            }
            if (end - start >= 2) cells.push_back({col->start, start, col->length, end - start});
            i = j;
        }
    }
    if (cells.empty()) return nullptr;
    int lineHeight = charWidth, width = 0;
    const int gap = std::max(2, charWidth / 4);
    for (const Cell& c : cells) {
        lineHeight = std::max(lineHeight, c.h);
        width += c.w + gap;
    }
    PixPtr out(pixCreate(width - gap, lineHeight, 8));
    if (!out) return nullptr;
    pixSetAllArbitrary(out.get(), static_cast<l_uint32>(ground));
    int x = 0;
    for (const Cell& c : cells) {
        pixRasterop(out.get(), x, (lineHeight - c.h) / 2, c.w, c.h, PIX_SRC, grey, c.x, c.y);
        x += c.w + gap;
    }
    return out;
}

}  // namespace

PixPtr DecodeOcrImage(std::string_view bytes, std::string& reason) {
    if (!StartsWith(bytes, "\x89PNG\r\n\x1a\n") && !StartsWith(bytes, "\xFF\xD8\xFF")) {
        reason = bytes.empty() ? "the file is empty" : "not a PNG or JPEG image";
        return nullptr;
    }
    const auto* data = reinterpret_cast<const l_uint8*>(bytes.data());
    l_int32 format = 0, w = 0, h = 0, bps = 0, spp = 0, cmap = 0;
    QuietStderr quiet;
    if (pixReadHeaderMem(data, bytes.size(), &format, &w, &h, &bps, &spp, &cmap) != 0 || w <= 0 ||
        h <= 0) {
        reason = "the image is corrupt or truncated";
        return nullptr;
    }
    const std::uint64_t pixels = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
    if (pixels > kOcrMaxPixels || static_cast<std::uint32_t>(w) > kOcrMaxSide ||
        static_cast<std::uint32_t>(h) > kOcrMaxSide) {
        reason = "the image is too large: " + std::to_string(w) + " x " + std::to_string(h) +
                 " pixels (at most " + std::to_string(kOcrMaxPixels / 1'000'000) +
                 " million pixels and " + std::to_string(kOcrMaxSide) + " pixels a side)";
        return nullptr;
    }
    PixPtr pix(pixReadMem(data, bytes.size()));
    if (!pix || pixGetWidth(pix.get()) != w || pixGetHeight(pix.get()) != h) {
        reason = "the image is corrupt or truncated";
        return nullptr;
    }
    return pix;
}

namespace {

// How many pixels of an 8-bit image have each grey level.
std::array<std::uint64_t, 256> GreyHistogram(Pix* grey) {
    std::array<std::uint64_t, 256> hist{};
    const int w = pixGetWidth(grey), h = pixGetHeight(grey);
    const l_uint32* data = pixGetData(grey);
    const int wpl = pixGetWpl(grey);
    for (int y = 0; y < h; ++y) {
        const l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
        for (int x = 0; x < w; ++x)
            ++hist[GET_DATA_BYTE(line, x)];
    }
    return hist;
}

// The ink (levels at or below `ink`) of each row and each column of an 8-bit image.
void CountInk(Pix* grey, int ink, std::vector<int>& rows, std::vector<int>& cols) {
    const int w = pixGetWidth(grey), h = pixGetHeight(grey);
    const l_uint32* data = pixGetData(grey);
    const int wpl = pixGetWpl(grey);
    for (int y = 0; y < h; ++y) {
        const l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
        for (int x = 0; x < w; ++x) {
            if (GET_DATA_BYTE(line, x) <= ink) {
                ++rows[y];
                ++cols[x];
            }
        }
    }
}

// The ground's own grey: the most frequent level of the ground's side of the threshold `t`
// (as it is after inverting, when the text was light).
int GroundLevel(const std::array<std::uint64_t, 256>& hist, int t, bool inverted) {
    int ground = inverted ? 0 : t + 1;
    for (int i = inverted ? 0 : t + 1; i <= (inverted ? t : 255); ++i)
        if (hist[i] > hist[ground]) ground = i;
    return inverted ? 255 - ground : ground;
}

}  // namespace

PreparedImage PrepareOcrImage(Pix* decoded) {
    PreparedImage out;
    // Transparent parts count as white, as most windows show them; then grey.
    PixPtr flat;
    if (pixGetDepth(decoded) == 32 && pixGetSpp(decoded) == 4)
        flat.reset(pixAlphaBlendUniform(decoded, 0xffffff00));
    PixPtr grey(pixConvertTo8(flat ? flat.get() : decoded, 0));
    if (!grey) return out;
    const int w = pixGetWidth(grey.get()), h = pixGetHeight(grey.get());
    if (w < 4 || h < 4) return out;

    const std::array<std::uint64_t, 256> hist = GreyHistogram(grey.get());
    int lo = 0, hi = 255;
    while (hist[lo] == 0)
        ++lo;
    while (hist[hi] == 0)
        --hi;
    if (hi - lo < 48) return out;  // one plain colour, or nearly: nothing to read
    const int t = OtsuThreshold(hist);
    std::uint64_t dark = 0;
    for (int i = 0; i <= t; ++i)
        dark += hist[i];
    const std::uint64_t total = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
    // The ground is what most of the region shows; text drawn light on it is inverted.
    out.inverted = dark * 2 > total;
    if (out.inverted) pixInvert(grey.get(), grey.get());
    const int ink = out.inverted ? 254 - t : t;  // after inverting, ink is at or below it
    const int ground = GroundLevel(hist, t, out.inverted);

    std::vector<int> rows(h, 0), cols(w, 0);
    CountInk(grey.get(), ink, rows, cols);
    const std::vector<Run> rowLines = LinesOf(rows);
    const std::vector<Run> colLines = LinesOf(cols);
    if (rowLines.empty() || colLines.empty()) return out;
    out.layout = ChooseOcrLayout(w, h, static_cast<int>(rowLines.size()));
    const bool vertical = out.layout == OcrLayout::Vertical;
    out.lines = static_cast<int>(vertical ? colLines.size() : rowLines.size());
    out.charHeight = MedianLength(vertical ? colLines : rowLines);
    out.scale = OcrScaleFor(out.charHeight);

    if (vertical) {
        PixPtr line = ColumnsAsLine(grey.get(), ink, ground, colLines, out.charHeight);
        if (!line) return out;
        grey = std::move(line);
    }
    PixPtr scaled;
    if (out.scale != 1.0) {
        scaled.reset(pixScale(grey.get(), static_cast<l_float32>(out.scale),
                              static_cast<l_float32>(out.scale)));
        if (!scaled) return out;
    } else {
        scaled = std::move(grey);
    }
    const int margin = kOcrTargetHeight / 2;
    out.pix.reset(pixAddBorderGeneral(scaled.get(), margin, margin, margin, margin,
                                           static_cast<l_uint32>(ground)));
    return out;
}

}  // namespace kes
