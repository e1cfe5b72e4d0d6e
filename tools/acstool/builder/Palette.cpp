#include "Palette.h"

#include <algorithm>

using namespace agent::format;

namespace acstool {

namespace {

using Counts = std::vector<std::pair<QRgb, std::uint64_t>>; // colour, pixels

std::vector<QRgb> exact(const Counts& colours) {
    std::vector<QRgb> out;
    for (const auto& [rgb, n] : colours)
        out.push_back(rgb);
    return out;
}

// Median cut: split the box with the widest channel range at its weighted
// median until there are enough boxes; each box gives its weighted mean.
std::vector<QRgb> medianCut(Counts colours, std::size_t wanted) {
    using Item = std::pair<QRgb, std::uint64_t>;
    struct Box {
        std::size_t begin, end;
    };
    auto channel = [](QRgb c, int ch) {
        return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c);
    };
    auto widest = [&](const Box& b, int& range) {
        int best = 0;
        range = -1;
        for (int ch = 0; ch < 3; ++ch) {
            int lo = 255, hi = 0;
            for (std::size_t i = b.begin; i < b.end; ++i) {
                lo = std::min(lo, channel(colours[i].first, ch));
                hi = std::max(hi, channel(colours[i].first, ch));
            }
            if (hi - lo > range) {
                range = hi - lo;
                best = ch;
            }
        }
        return best;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    while (boxes.size() < wanted) {
        int bestRange = 0, bestChannel = 0;
        std::size_t pick = boxes.size();
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2)
                continue;
            int range;
            const int ch = widest(boxes[i], range);
            if (range > bestRange) {
                bestRange = range;
                bestChannel = ch;
                pick = i;
            }
        }
        if (pick == boxes.size())
            break;
        Box& b = boxes[pick];
        std::sort(colours.begin() + std::ptrdiff_t(b.begin),
                  colours.begin() + std::ptrdiff_t(b.end), [&](const Item& x, const Item& y) {
                      return channel(x.first, bestChannel) < channel(y.first, bestChannel);
                  });
        std::uint64_t total = 0, half = 0;
        for (std::size_t i = b.begin; i < b.end; ++i)
            total += colours[i].second;
        std::size_t split = b.begin + 1;
        for (std::size_t i = b.begin; i < b.end - 1; ++i) {
            half += colours[i].second;
            split = i + 1;
            if (half * 2 >= total)
                break;
        }
        const Box upper{split, b.end};
        b.end = split;
        boxes.push_back(upper);
    }
    std::vector<QRgb> out;
    for (const Box& b : boxes) {
        double r = 0, g = 0, bl = 0, n = 0;
        for (std::size_t i = b.begin; i < b.end; ++i) {
            const double w = double(colours[i].second);
            r += qRed(colours[i].first) * w;
            g += qGreen(colours[i].first) * w;
            bl += qBlue(colours[i].first) * w;
            n += w;
        }
        out.push_back(qRgb(int(r / n + 0.5), int(g / n + 0.5), int(bl / n + 0.5)));
    }
    return out;
}

} // namespace

void Palette::build(const Manifest& m, int firstImageLine, const std::vector<QImage>& images,
                    std::optional<int> transparent, Character& c) {
    bool indexed = !images.empty();
    for (const QImage& img : images)
        indexed = indexed && img.format() == QImage::Format_Indexed8 &&
                  img.colorTable() == images.front().colorTable();
    if (indexed) {
        const QList<QRgb> table = images.front().colorTable();
        for (QRgb rgb : table)
            c.palette.push_back(rgb | 0xFF000000u);
        c.palette.resize(256, qRgb(0, 0, 0));
        if (!transparent)
            for (qsizetype i = 0; i < table.size() && !transparent; ++i)
                if (qAlpha(table[i]) == 0)
                    transparent = int(i);
        if (!transparent)
            m.fail(firstImageLine, "indexed images without a transparent colour: add "
                                   "'transparent = INDEX' to [character]");
        c.transparentIndex = std::uint8_t(*transparent);
        m_indexed = true;
        return;
    }
    std::unordered_map<QRgb, std::uint64_t> counts;
    for (const QImage& img : images) {
        const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < argb.width(); ++x)
                if (qAlpha(row[x]) >= 128)
                    ++counts[row[x] | 0xFF000000u];
        }
    }
    Counts colours(counts.begin(), counts.end());
    std::sort(colours.begin(), colours.end());
    std::vector<QRgb> chosen = colours.size() <= 255 ? exact(colours) : medianCut(colours, 255);
    c.transparentIndex = 0;
    c.palette.push_back(qRgb(255, 0, 255)); // never drawn
    c.palette.insert(c.palette.end(), chosen.begin(), chosen.end());
    c.palette.resize(256, qRgb(0, 0, 0));
    m_palette = c.palette;
}

Bitmap Palette::convert(const QImage& img, std::uint8_t transparent) {
    Bitmap b;
    b.width = std::uint16_t(img.width());
    b.height = std::uint16_t(img.height());
    b.pixels.assign(std::size_t(b.stride()) * b.height, transparent);
    if (m_indexed) {
        for (int y = 0; y < img.height(); ++y)
            std::copy_n(img.constScanLine(y), img.width(), b.scanLine(y));
        return b;
    }
    const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(row[x]) >= 128)
                b.scanLine(y)[x] = nearest(row[x] | 0xFF000000u);
    }
    return b;
}

std::uint8_t Palette::nearest(QRgb c) {
    const auto it = m_cache.find(c);
    if (it != m_cache.end())
        return it->second;
    int best = 1, bestDist = 1 << 30;
    for (std::size_t i = 1; i < m_palette.size(); ++i) {
        const int dr = qRed(c) - qRed(m_palette[i]), dg = qGreen(c) - qGreen(m_palette[i]),
                  db = qBlue(c) - qBlue(m_palette[i]);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = int(i);
        }
    }
    m_cache.emplace(c, std::uint8_t(best));
    return std::uint8_t(best);
}

} // namespace acstool
