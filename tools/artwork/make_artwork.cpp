// make_artwork - draws the artwork of the MOSSGATE C+D setup program.
//
//   make_artwork <out-dir>
//
// writes <out-dir>/background.bmp (900 x 424, 24 bpp, uncompressed, bottom-up)
// and <out-dir>/mossgate.ico (16 x 16 and 32 x 32, 16 colours each).
//
// Everything is drawn procedurally and deterministically: the same program
// always writes byte-identical files. Only the C++ standard library is used.
//
// Drawing happens in linear light with analytic anti-aliasing (distance to the
// shape's edge), text is set with a small embedded 5x7 dot font whose dots are
// joined by round strokes so that it scales up with smooth edges.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kBgWidth = 900;
constexpr int kBgHeight = 424;
constexpr float kPi = std::numbers::pi_v<float>;

// ---------------------------------------------------------------------------
// Colour helpers (linear light)

struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

Color operator+(Color a, Color b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Color operator*(Color a, float s) {
    return {a.r * s, a.g * s, a.b * s};
}

float clamp01(float v) {
    return std::clamp(v, 0.0f, 1.0f);
}

float smoothstep(float edge0, float edge1, float x) {
    const float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

Color lerp(Color a, Color b, float t) {
    return a * (1.0f - t) + b * t;
}

// Paints `src` over `dst` with the given opacity.
Color over(Color dst, Color src, float alpha) {
    return lerp(dst, src, clamp01(alpha));
}

float srgb_to_linear(float c) {
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

float linear_to_srgb(float c) {
    c = clamp01(c);
    return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}

Color from_hex(std::uint32_t rgb) {
    auto channel = [rgb](int shift) {
        return srgb_to_linear(static_cast<float>((rgb >> shift) & 0xFFu) / 255.0f);
    };
    return {channel(16), channel(8), channel(0)};
}

// ---------------------------------------------------------------------------
// Little-endian byte output

class ByteWriter {
  public:
    void u8(std::uint32_t v) { bytes_.push_back(static_cast<std::uint8_t>(v & 0xFFu)); }
    void u16(std::uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void append(const std::vector<std::uint8_t>& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
    }
    std::size_t size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("cannot open " + path.string() + " for writing");
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// ---------------------------------------------------------------------------
// Embedded dot font: 5 columns, 7 rows above the baseline plus 2 descender rows.

struct Glyph {
    char ch;
    std::array<std::string_view, 9> rows;
};

constexpr std::string_view kBlank = ".....";

// clang-format off
constexpr std::array kFont = {
    Glyph{'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#", kBlank, kBlank}},
    Glyph{'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###.", kBlank, kBlank}},
    Glyph{'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####.", kBlank, kBlank}},
    Glyph{'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####", kBlank, kBlank}},
    Glyph{'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".###.", kBlank, kBlank}},
    Glyph{'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#", kBlank, kBlank}},
    Glyph{'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#", kBlank, kBlank}},
    Glyph{'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###.", kBlank, kBlank}},
    Glyph{'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#....", kBlank, kBlank}},
    Glyph{'S', {".###.", "#...#", "#....", ".###.", "....#", "#...#", ".###.", kBlank, kBlank}},
    Glyph{'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", kBlank, kBlank}},
    Glyph{'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#..", kBlank, kBlank}},
    Glyph{'+', {kBlank,  "..#..", "..#..", "#####", "..#..", "..#..", kBlank,  kBlank, kBlank}},
    Glyph{'a', {kBlank,  kBlank,  ".###.", "....#", ".####", "#...#", ".####", kBlank, kBlank}},
    Glyph{'c', {kBlank,  kBlank,  ".###.", "#....", "#....", "#...#", ".###.", kBlank, kBlank}},
    Glyph{'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####", kBlank, kBlank}},
    Glyph{'e', {kBlank,  kBlank,  ".###.", "#...#", "#####", "#....", ".###.", kBlank, kBlank}},
    Glyph{'g', {kBlank,  kBlank,  ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
    Glyph{'i', {"..#..", kBlank,  ".##..", "..#..", "..#..", "..#..", ".###.", kBlank, kBlank}},
    Glyph{'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#.", kBlank, kBlank}},
    Glyph{'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", kBlank, kBlank}},
    Glyph{'n', {kBlank,  kBlank,  "#.##.", "##..#", "#...#", "#...#", "#...#", kBlank, kBlank}},
    Glyph{'o', {kBlank,  kBlank,  ".###.", "#...#", "#...#", "#...#", ".###.", kBlank, kBlank}},
    Glyph{'r', {kBlank,  kBlank,  "#.##.", "##..#", "#....", "#....", "#....", kBlank, kBlank}},
    Glyph{'s', {kBlank,  kBlank,  ".####", "#....", ".###.", "....#", "####.", kBlank, kBlank}},
    Glyph{'t', {".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##.", kBlank, kBlank}},
    Glyph{'u', {kBlank,  kBlank,  "#...#", "#...#", "#...#", "#..##", ".##.#", kBlank, kBlank}},
    Glyph{'v', {kBlank,  kBlank,  "#...#", "#...#", "#...#", ".#.#.", "..#..", kBlank, kBlank}},
};
// clang-format on

const Glyph& glyph_for(char ch) {
    const auto* it =
        std::find_if(kFont.begin(), kFont.end(), [ch](const Glyph& g) { return g.ch == ch; });
    if (it == kFont.end()) {
        throw std::runtime_error(std::string("no glyph for character '") + ch + "'");
    }
    return *it;
}

struct Segment {
    float ax, ay, bx, by;
};

struct TextStyle {
    float pitch;    // size of one font dot in pixels
    float tracking; // extra space between characters in pixels
    float weight;   // stroke radius in font dots
};

float advance_of(char ch, const TextStyle& style) {
    return (ch == ' ' ? 4.0f : 6.0f) * style.pitch + style.tracking;
}

float text_width(std::string_view text, const TextStyle& style) {
    float width = 0.0f;
    for (char ch : text) {
        width += advance_of(ch, style);
    }
    return width - style.pitch - style.tracking; // no trailing gap
}

// Turns the text into round-capped strokes: every lit dot is a disc, and each dot
// is joined to its lit neighbours; diagonal joins only where no straight join
// already turns the corner, which gives the slanted parts smooth edges.
std::vector<Segment> layout_text(std::string_view text, float x0, float top,
                                 const TextStyle& style) {
    std::vector<Segment> segments;
    float pen = x0;
    for (char ch : text) {
        if (ch != ' ') {
            const Glyph& glyph = glyph_for(ch);
            auto lit = [&glyph](int col, int row) {
                return col >= 0 && col < 5 && row >= 0 && row < 9 &&
                       glyph.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] ==
                           '#';
            };
            auto centre_x = [&](int col) {
                return pen + (static_cast<float>(col) + 0.5f) * style.pitch;
            };
            auto centre_y = [&](int row) {
                return top + (static_cast<float>(row) + 0.5f) * style.pitch;
            };
            auto join = [&](int c0, int r0, int c1, int r1) {
                segments.push_back({centre_x(c0), centre_y(r0), centre_x(c1), centre_y(r1)});
            };
            for (int row = 0; row < 9; ++row) {
                for (int col = 0; col < 5; ++col) {
                    if (!lit(col, row)) {
                        continue;
                    }
                    join(col, row, col, row);
                    if (lit(col + 1, row)) {
                        join(col, row, col + 1, row);
                    }
                    if (lit(col, row + 1)) {
                        join(col, row, col, row + 1);
                    }
                    if (lit(col + 1, row + 1) && !lit(col + 1, row) && !lit(col, row + 1)) {
                        join(col, row, col + 1, row + 1);
                    }
                    if (lit(col - 1, row + 1) && !lit(col - 1, row) && !lit(col, row + 1)) {
                        join(col, row, col - 1, row + 1);
                    }
                }
            }
        }
        pen += advance_of(ch, style);
    }
    return segments;
}

float distance_to_segment(float px, float py, const Segment& s) {
    const float dx = s.bx - s.ax;
    const float dy = s.by - s.ay;
    const float len2 = dx * dx + dy * dy;
    float t = 0.0f;
    if (len2 > 0.0f) {
        t = clamp01(((px - s.ax) * dx + (py - s.ay) * dy) / len2);
    }
    return std::hypot(px - (s.ax + t * dx), py - (s.ay + t * dy));
}

// Distance (in pixels) from each pixel centre to the nearest stroke centre line,
// filled only within `reach` of the strokes.
class DistanceField {
  public:
    DistanceField(int width, int height)
        : width_(width), height_(height), d_(static_cast<std::size_t>(width * height), 1e9f) {}

    void add(const std::vector<Segment>& segments, float reach) {
        for (const Segment& s : segments) {
            const int x0 = std::max(0, static_cast<int>(std::floor(std::min(s.ax, s.bx) - reach)));
            const int x1 =
                std::min(width_ - 1, static_cast<int>(std::ceil(std::max(s.ax, s.bx) + reach)));
            const int y0 = std::max(0, static_cast<int>(std::floor(std::min(s.ay, s.by) - reach)));
            const int y1 =
                std::min(height_ - 1, static_cast<int>(std::ceil(std::max(s.ay, s.by) + reach)));
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    float& cell = d_[index(x, y)];
                    cell = std::min(cell, distance_to_segment(static_cast<float>(x) + 0.5f,
                                                              static_cast<float>(y) + 0.5f, s));
                }
            }
        }
    }

    float at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) {
            return 1e9f;
        }
        return d_[index(x, y)];
    }

  private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y * width_ + x); }

    int width_;
    int height_;
    std::vector<float> d_;
};

// One line of text with its colour and soft drop shadow.
struct TextLayer {
    DistanceField field;
    float radius; // stroke radius in pixels
    Color color;
    float shadow_alpha;
    int shadow_dx;
    int shadow_dy;
    float shadow_blur;

    Color paint(Color base, int x, int y) const {
        const float ds = field.at(x - shadow_dx, y - shadow_dy);
        const float shadow = shadow_alpha * (1.0f - smoothstep(radius - shadow_blur * 0.5f,
                                                               radius + shadow_blur, ds));
        base = over(base, Color{}, shadow);
        const float coverage = clamp01(radius + 0.5f - field.at(x, y));
        return over(base, color, coverage);
    }
};

TextLayer make_text(std::string_view text, float x0, float top, const TextStyle& style, Color color,
                    float shadow_alpha, int shadow_offset, float shadow_blur) {
    TextLayer layer{DistanceField(kBgWidth, kBgHeight),
                    style.weight * style.pitch,
                    color,
                    shadow_alpha,
                    shadow_offset,
                    shadow_offset,
                    shadow_blur};
    layer.field.add(layout_text(text, x0, top, style), layer.radius + shadow_blur + 2.0f);
    return layer;
}

// ---------------------------------------------------------------------------
// Background picture

// Centre of the sound-wave rings.
constexpr float kRingX = 742.0f;
constexpr float kRingY = 186.0f;

Color background_gradient(float x, float y) {
    const float u = x / kBgWidth;
    const float v = y / kBgHeight;
    // 0 in the lower-left corner, 1 in the upper-right corner
    const float t = clamp01(0.58f * u + 0.42f * (1.0f - v));
    const Color stops[] = {from_hex(0x050E1E), from_hex(0x0A2444), from_hex(0x0D4464),
                           from_hex(0x137077)};
    Color c;
    if (t < 0.4f) {
        c = lerp(stops[0], stops[1], smoothstep(0.0f, 0.4f, t));
    } else if (t < 0.75f) {
        c = lerp(stops[1], stops[2], smoothstep(0.4f, 0.75f, t));
    } else {
        c = lerp(stops[2], stops[3], smoothstep(0.75f, 1.0f, t));
    }
    // soft light around the source of the rings
    const float gx = (x - kRingX) / 300.0f;
    const float gy = (y - kRingY) / 220.0f;
    c = c + from_hex(0x1E6F7A) * (0.55f * std::exp(-(gx * gx + gy * gy) * 1.6f));
    return c;
}

// Soft concentric rings spreading out from the right-hand side.
Color sound_rings(Color base, float x, float y) {
    const float dist = std::hypot(x - kRingX, y - kRingY);
    // keep the rings away from the lower band and quiet behind the title
    const float keep =
        (1.0f - smoothstep(300.0f, 360.0f, y)) * (0.35f + 0.65f * smoothstep(420.0f, 640.0f, x));
    if (keep <= 0.0f) {
        return base;
    }
    const Color ring = from_hex(0x7FE6DC);
    for (int k = 0; k < 9; ++k) {
        const float radius = 46.0f + 40.0f * static_cast<float>(k);
        const float fade = keep * std::pow(0.8f, static_cast<float>(k));
        const float d = std::fabs(dist - radius);
        const float line = clamp01(1.0f + 0.5f - d); // about 2 px wide
        const float glow = std::exp(-(d * d) / 40.0f);
        base = over(base, ring, fade * (0.16f * line + 0.07f * glow));
    }
    return base;
}

// A smooth, layered waveform crossing the picture.
constexpr float kWaveCentre = 292.0f;

float wave_height(float x, int layer) {
    const float l = static_cast<float>(layer);
    const float envelope = 34.0f *
                           (0.22f + 0.78f * std::exp(-std::pow((x - 600.0f) / 210.0f, 2.0f))) *
                           smoothstep(-40.0f, 160.0f, x) * (1.0f - smoothstep(780.0f, 930.0f, x));
    const float s = std::sin(x * 0.031f + 0.9f * l) * 0.62f +
                    std::sin(x * 0.0113f + 2.1f + 0.5f * l) * 0.28f +
                    std::sin(x * 0.071f + 1.3f * l) * 0.10f;
    return kWaveCentre + envelope * s * (1.0f - 0.22f * l);
}

Color waveform(Color base, float x, float y) {
    if (std::fabs(y - kWaveCentre) > 70.0f) {
        return base;
    }
    const Color colors[] = {from_hex(0x8AF5E8), from_hex(0x3FB8D0), from_hex(0x2F7FBF)};
    const float alphas[] = {0.85f, 0.5f, 0.35f};
    for (int layer = 2; layer >= 0; --layer) {
        const float fy = wave_height(x, layer);
        const float slope = wave_height(x + 0.5f, layer) - wave_height(x - 0.5f, layer);
        const float d = std::fabs(y - fy) / std::sqrt(1.0f + slope * slope);
        const float width = layer == 0 ? 1.1f : 0.8f;
        const float line = clamp01(width + 0.5f - d);
        const float glow = std::exp(-(d * d) / (layer == 0 ? 60.0f : 30.0f));
        const float fade = smoothstep(10.0f, 220.0f, x) * (1.0f - smoothstep(760.0f, 900.0f, x));
        const size_t i = static_cast<size_t>(layer);
        base = over(base, colors[i], fade * alphas[i] * (line + 0.25f * glow));
    }
    return base;
}

// Faint level bars standing symmetrically around the waveform on the right.
Color level_bars(Color base, float x, float y) {
    constexpr float left = 560.0f;
    constexpr float bar = 8.0f;
    constexpr float gap = 7.0f;
    constexpr int count = 20;
    const float rel = x - left;
    if (rel < -2.0f || rel > count * (bar + gap) + 2.0f || std::fabs(y - kWaveCentre) > 64.0f) {
        return base;
    }
    const int k = std::clamp(static_cast<int>(std::floor(rel / (bar + gap))), 0, count - 1);
    const float kf = static_cast<float>(k);
    const float cx = left + kf * (bar + gap) + bar * 0.5f;
    const float level = 0.5f + 0.5f * std::sin(kf * 1.7f + 0.4f) * std::cos(kf * 0.45f);
    const float envelope = std::exp(-std::pow((cx - 700.0f) / 120.0f, 2.0f));
    const float half = 6.0f + 46.0f * envelope * (0.35f + 0.65f * level);
    // rounded bar: capsule from (cx, centre - half) to (cx, centre + half)
    const float cy = std::clamp(y, kWaveCentre - half, kWaveCentre + half);
    const float d = std::hypot(x - cx, y - cy) - bar * 0.5f;
    const float coverage = clamp01(0.5f - d);
    const float fade = 1.0f - std::fabs(y - kWaveCentre) / 64.0f;
    return over(base, from_hex(0x3CB4BE), coverage * (0.08f + 0.14f * fade));
}

// 4 x 4 ordered dither, values in [-0.5, 0.5).
float dither(int x, int y) {
    constexpr int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (static_cast<float>(bayer[y & 3][x & 3]) + 0.5f) / 16.0f - 0.5f;
}

std::uint8_t to_byte(float linear, float noise) {
    const float v = linear_to_srgb(linear) * 255.0f + noise;
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

std::vector<std::uint8_t> draw_background() {
    const Color white = from_hex(0xF4FAFC);
    const std::vector<TextLayer> texts = [&] {
        std::vector<TextLayer> t;
        const TextStyle maker{2.6f, 2.6f, 0.55f};
        const TextStyle title{8.0f, 2.0f, 0.62f};
        const TextStyle subtitle{3.0f, 0.6f, 0.52f};
        t.push_back(make_text("Kestrine", 54.0f, 42.0f, maker, from_hex(0x6FE3D6), 0.45f, 1, 3.0f));
        t.push_back(make_text("MOSSGATE C+D", 52.0f, 74.0f, title, white, 0.55f, 3, 7.0f));
        t.push_back(make_text("Virtual Audio Driver Package", 54.0f, 170.0f, subtitle,
                              from_hex(0xBFDCE6), 0.5f, 1, 3.0f));
        return t;
    }();
    const float rule_right = 52.0f + text_width("MOSSGATE C+D", TextStyle{8.0f, 2.0f, 0.62f});

    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kBgWidth * kBgHeight * 3));
    for (int y = 0; y < kBgHeight; ++y) {
        for (int x = 0; x < kBgWidth; ++x) {
            const float fx = static_cast<float>(x) + 0.5f;
            const float fy = static_cast<float>(y) + 0.5f;
            Color c = background_gradient(fx, fy);
            c = sound_rings(c, fx, fy);
            c = level_bars(c, fx, fy);
            c = waveform(c, fx, fy);

            // thin accent rule between title and subtitle, fading to the right
            if (fy > 155.0f && fy < 159.0f) {
                const float cover = clamp01(1.0f - std::fabs(fy - 157.0f));
                const float fade =
                    smoothstep(52.0f, 60.0f, fx) * (1.0f - smoothstep(180.0f, rule_right, fx));
                c = over(c, from_hex(0x6FE3D6), cover * fade * 0.9f);
            }

            // vignette and a calm, darker band along the bottom
            const float vx = (fx / kBgWidth - 0.5f) * 2.0f;
            const float vy = (fy / kBgHeight - 0.5f) * 2.0f;
            const float r2 = vx * vx * 0.55f + vy * vy * 0.75f;
            c = c * (1.0f - 0.45f * smoothstep(0.25f, 1.4f, r2));
            c = c * (1.0f - 0.35f * smoothstep(330.0f, 424.0f, fy));

            for (const TextLayer& t : texts) {
                c = t.paint(c, x, y);
            }

            std::uint8_t* px = &rgb[static_cast<std::size_t>((y * kBgWidth + x) * 3)];
            const float n = dither(x, y);
            px[0] = to_byte(c.r, n);
            px[1] = to_byte(c.g, n);
            px[2] = to_byte(c.b, n);
        }
    }
    return rgb;
}

// Encodes top-down RGB pixels as a bottom-up 24 bpp BI_RGB bitmap file.
std::vector<std::uint8_t> encode_bmp(const std::vector<std::uint8_t>& rgb, int width, int height) {
    const std::uint32_t row_bytes = (static_cast<std::uint32_t>(width) * 3u + 3u) & ~3u;
    const std::uint32_t image_bytes = row_bytes * static_cast<std::uint32_t>(height);
    const std::uint32_t offset = 14u + 40u;
    constexpr std::int32_t kPixelsPerMetre = 2835; // 72 dpi

    ByteWriter w;
    // BITMAPFILEHEADER
    w.u8('B');
    w.u8('M');
    w.u32(offset + image_bytes);
    w.u16(0);
    w.u16(0);
    w.u32(offset);
    // BITMAPINFOHEADER
    w.u32(40);
    w.i32(width);
    w.i32(height); // positive: bottom-up
    w.u16(1);      // planes
    w.u16(24);     // bits per pixel
    w.u32(0);      // BI_RGB
    w.u32(image_bytes);
    w.i32(kPixelsPerMetre);
    w.i32(kPixelsPerMetre);
    w.u32(0);
    w.u32(0);

    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* px = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
            w.u8(px[2]);
            w.u8(px[1]);
            w.u8(px[0]);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3u; pad < row_bytes; ++pad) {
            w.u8(0);
        }
    }
    return w.bytes();
}

// ---------------------------------------------------------------------------
// Icon: a speaker with two sound waves on a rounded blue-teal tile.

// Palette shared by both icon images (sRGB). Entry 0 is black: transparent
// pixels use it, with their AND-mask bit set.
constexpr std::array<std::uint32_t, 16> kIconPalette = {
    0x000000, 0x06162B, 0x0A2748, 0x0C3A5E, 0x0E4E70, 0x11647F, 0x157A8A, 0x1B9092,
    0xFFFFFF, 0xD2E2EA, 0x9CB6C8, 0x5E849E, 0x8CF5E8, 0x55CFC6, 0x2FA6A8, 0xC4FAF3,
};

struct IconSample {
    Color color; // linear light
    float alpha; // 0 or 1 (hard edged, anti-aliasing comes from supersampling)
};

float rounded_box_distance(float px, float py, float cx, float cy, float half, float radius) {
    const float qx = std::fabs(px - cx) - (half - radius);
    const float qy = std::fabs(py - cy) - (half - radius);
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

// (u, v) in a 32 x 32 design grid, y down. `small` selects the 16 x 16 variant,
// which uses a full-size tile and bolder waves.
IconSample icon_point(float u, float v, bool small) {
    const float inset = small ? 0.0f : 1.0f;
    const float half = 16.0f - inset;
    const float tile = rounded_box_distance(u, v, 16.0f, 16.0f, half, 7.0f);
    if (tile > 0.0f) {
        return {Color{}, 0.0f};
    }
    // tile: diagonal gradient, darker rim
    const float t = clamp01((u + (32.0f - v)) / 64.0f);
    Color c = lerp(from_hex(0x0A2748), from_hex(0x1B9092), t);
    if (tile > (small ? -2.0f : -1.6f)) {
        c = from_hex(0x06162B);
    }
    // speaker: box plus cone (edges on even design units, i.e. on pixel edges at 16 x 16)
    const bool box = u >= 4.0f && u <= 10.5f && v >= 12.0f && v <= 20.0f;
    const float cone_t = (u - 10.0f) / 6.0f; // 0 at the box, 1 at the mouth
    const float cone_half = 4.0f + cone_t * 6.0f;
    const bool cone = cone_t >= 0.0f && cone_t <= 1.0f && std::fabs(v - 16.0f) <= cone_half;
    if (box || cone) {
        return {from_hex(0xFFFFFF), 1.0f};
    }
    // two sound waves to the right of the speaker mouth
    const float dx = u - 16.0f;
    const float dy = v - 16.0f;
    const float r = std::hypot(dx, dy);
    const float angle = std::atan2(dy, dx);
    const float stroke = small ? 1.25f : 1.3f;
    const float radii[2] = {small ? 5.0f : 5.5f, small ? 10.0f : 10.5f};
    const float spans[2] = {0.62f * kPi / 2.0f, 0.56f * kPi / 2.0f};
    for (int i = 0; i < 2; ++i) {
        if (std::fabs(r - radii[i]) <= stroke && std::fabs(angle) <= spans[i]) {
            return {from_hex(0x8CF5E8), 1.0f};
        }
    }
    return {c, 1.0f};
}

struct IconImage {
    int size;
    std::vector<std::uint8_t> index; // palette index per pixel, top-down
    std::vector<bool> transparent;
};

int nearest_palette_entry(float r, float g, float b) {
    int best = 1;
    float best_d = 1e9f;
    for (int i = 1; i < 16; ++i) { // entry 0 is kept for transparent pixels
        const std::uint32_t p = kIconPalette[static_cast<std::size_t>(i)];
        const float dr = r - static_cast<float>((p >> 16) & 0xFFu);
        const float dg = g - static_cast<float>((p >> 8) & 0xFFu);
        const float db = b - static_cast<float>(p & 0xFFu);
        const float d = 0.30f * dr * dr + 0.59f * dg * dg + 0.11f * db * db;
        if (d < best_d) {
            best_d = d;
            best = i;
        }
    }
    return best;
}

int palette_entry_for(Color c) {
    return nearest_palette_entry(linear_to_srgb(c.r) * 255.0f, linear_to_srgb(c.g) * 255.0f,
                                 linear_to_srgb(c.b) * 255.0f);
}

// Each pixel is supersampled 8 x 8. At 32 x 32 the samples are averaged
// (smooth edges); at 16 x 16 the most frequent colour wins, which keeps the
// few pixels crisp instead of blurring them into in-between shades.
IconImage draw_icon(int size) {
    constexpr int kSub = 8;
    const bool small = size < 32;
    const float scale = 32.0f / static_cast<float>(size);
    IconImage img{size, std::vector<std::uint8_t>(static_cast<std::size_t>(size * size)),
                  std::vector<bool>(static_cast<std::size_t>(size * size))};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Color sum;
            float alpha = 0.0f;
            std::array<int, 16> votes{};
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const float u =
                        (static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / kSub) * scale;
                    const float v =
                        (static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / kSub) * scale;
                    const IconSample s = icon_point(u, v, small);
                    if (s.alpha > 0.0f) {
                        sum = sum + s.color;
                        alpha += 1.0f;
                        ++votes[static_cast<std::size_t>(palette_entry_for(s.color))];
                    }
                }
            }
            const std::size_t i = static_cast<std::size_t>(y * size + x);
            if (alpha < 0.5f * kSub * kSub) {
                img.transparent[i] = true;
                img.index[i] = 0;
                continue;
            }
            const int entry =
                small
                    ? static_cast<int>(std::max_element(votes.begin(), votes.end()) - votes.begin())
                    : palette_entry_for(sum * (1.0f / alpha));
            img.index[i] = static_cast<std::uint8_t>(entry);
        }
    }
    return img;
}

// BITMAPINFOHEADER + palette + 4 bpp XOR bitmap + 1 bpp AND mask, bottom-up.
std::vector<std::uint8_t> encode_icon_image(const IconImage& img) {
    const int n = img.size;
    const std::uint32_t xor_row = ((static_cast<std::uint32_t>(n) * 4u + 31u) / 32u) * 4u;
    const std::uint32_t and_row = ((static_cast<std::uint32_t>(n) + 31u) / 32u) * 4u;
    const std::uint32_t n_rows = static_cast<std::uint32_t>(n);

    ByteWriter w;
    w.u32(40);
    w.i32(n);
    w.i32(2 * n); // XOR bitmap and AND mask stacked
    w.u16(1);
    w.u16(4);
    w.u32(0); // BI_RGB
    w.u32((xor_row + and_row) * n_rows);
    w.i32(0);
    w.i32(0);
    w.u32(0);
    w.u32(0);
    for (std::uint32_t p : kIconPalette) {
        w.u8(p);       // blue
        w.u8(p >> 8);  // green
        w.u8(p >> 16); // red
        w.u8(0);
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(xor_row, 0);
        for (int x = 0; x < n; ++x) {
            const std::uint8_t idx = img.index[static_cast<std::size_t>(y * n + x)];
            row[static_cast<std::size_t>(x / 2)] |=
                static_cast<std::uint8_t>(x % 2 == 0 ? idx << 4 : idx);
        }
        w.append(row);
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(and_row, 0);
        for (int x = 0; x < n; ++x) {
            if (img.transparent[static_cast<std::size_t>(y * n + x)]) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
            }
        }
        w.append(row);
    }
    return w.bytes();
}

std::vector<std::uint8_t> encode_ico(const std::vector<IconImage>& images) {
    std::vector<std::vector<std::uint8_t>> blobs;
    for (const IconImage& img : images) {
        blobs.push_back(encode_icon_image(img));
    }
    ByteWriter w;
    w.u16(0); // reserved
    w.u16(1); // type: icon
    w.u16(static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = 6u + 16u * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        w.u8(static_cast<std::uint32_t>(images[i].size)); // width
        w.u8(static_cast<std::uint32_t>(images[i].size)); // height
        w.u8(16);                                         // colour count
        w.u8(0);                                          // reserved
        w.u16(1);                                         // planes
        w.u16(4);                                         // bits per pixel
        w.u32(static_cast<std::uint32_t>(blobs[i].size()));
        w.u32(offset);
        offset += static_cast<std::uint32_t>(blobs[i].size());
    }
    for (const auto& blob : blobs) {
        w.append(blob);
    }
    return w.bytes();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_artwork <out-dir>\n"
                     "writes <out-dir>/background.bmp and <out-dir>/mossgate.ico\n";
        return 2;
    }
    try {
        const std::filesystem::path out_dir = argv[1];
        std::filesystem::create_directories(out_dir);

        const std::vector<std::uint8_t> rgb = draw_background();
        write_file(out_dir / "background.bmp", encode_bmp(rgb, kBgWidth, kBgHeight));

        write_file(out_dir / "mossgate.ico", encode_ico({draw_icon(16), draw_icon(32)}));
    } catch (const std::exception& e) {
        std::cerr << "make_artwork: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
