#pragma once

// One palette for every image of a character. Either every PNG is 8-bit
// indexed with one shared colour table (used as it is), or colours are
// collected from RGBA and reduced to 255 plus a transparent index 0.

#include "Manifest.h"

#include "agent/format/Character.h"

#include <QImage>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace acstool {

class Palette {
  public:
    // Sets c.palette and c.transparentIndex. `transparent` is the manifest's
    // index, if any; indexed images without one fail on firstImageLine.
    void build(const Manifest& m, int firstImageLine, const std::vector<QImage>& images,
               std::optional<int> transparent, agent::format::Character& c);
    // The image in palette indices; pixels with alpha below 128 and row
    // padding get `transparent`.
    agent::format::Bitmap convert(const QImage& img, std::uint8_t transparent);

  private:
    std::uint8_t nearest(QRgb c);

    bool m_indexed = false;
    std::vector<QRgb> m_palette;
    std::unordered_map<QRgb, std::uint8_t> m_cache;
};

} // namespace acstool
