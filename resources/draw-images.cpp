// Draws the editor's nine PNG images with Cairo and writes them into the folder given on the
// command line, each at 1x and, for screens that show the panel larger, at 2x and 3x
// ("name@2x.png"): the same drawing in panel pixels, rendered at that many device pixels per
// panel pixel, so nothing is ever an enlarged 1x image. The output is deterministic, so
// re-running it changes no committed image.

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>

namespace {

// Panel geometry shared with the editor's control layout.
constexpr int kPanelWidth = 529;
constexpr int kPanelHeight = 241; // the frame shows the top 225 rows only
constexpr int kVisibleHeight = 225;
constexpr int kCell = 24;         // width of a chord button and of a string position
constexpr int kRow = 16;          // height of a chord button and of a string row
constexpr int kHeaderHeight = 35; // strip behind the chord row and the push buttons
constexpr int kChordLeft = 48;
constexpr int kStringLeft = 24;
constexpr int kPositions = 20; // 0 muted, 1 open, 2..19 frets 1..18
constexpr int kStringSliderWidth = kPositions * kCell;
constexpr int kChordSliderWidth = 12 * kCell;
constexpr int kNutX = kStringLeft + 2 * kCell;
constexpr int kBoardRight = kStringLeft + kStringSliderWidth + 6;
constexpr int kBoardTop = 58;
constexpr int kBoardBottom = 166;
constexpr int kButtonX = 480;
constexpr int kLabelRight = 476;
constexpr int kSwitchX = 36;
constexpr int kSwitchY = 184;
constexpr int kSwitchWidth = 199;
constexpr int kSwitchHeight = 24;
constexpr int kBandTop = 211;

// Frets with a position dot, as on most guitars; the octave gets two.
constexpr int kInlayFrets[] = {3, 5, 7, 9, 12, 15, 17};
constexpr int kOctaveFret = 12;

constexpr double kTau = 6.283185307179586;
constexpr const char* kFont = "DejaVu Sans";

struct Rgb
{
    double r, g, b;
};

// Warm amber used for everything that is lit, so the panel reads as one instrument.
constexpr Rgb kAmber{1.0, 0.72, 0.30};
constexpr Rgb kLabel{0.78, 0.77, 0.74};
constexpr Rgb kDimLabel{0.50, 0.49, 0.47};

double stringCentreY(int s)
{
    return 152.0 - 16.0 * s;
}

double positionCentreX(int k)
{
    return kStringLeft + kCell * k + kCell / 2.0;
}

// Fixed-seed xorshift, so that grain and texture come out the same on every run.
class Grain
{
public:
    explicit Grain(uint32_t seed) : state(seed) {}

    double next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state & 0xffffff) / double(0x1000000);
    }

    double between(double low, double high) { return low + (high - low) * next(); }

private:
    uint32_t state;
};

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// Makes a freshly created pattern the source and hands it over to the context, which keeps its
// own reference, so no caller has to pair every create with a destroy.
void adoptSource(cairo_t* cr, cairo_pattern_t* pattern)
{
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -kTau / 4, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, kTau / 4);
    cairo_arc(cr, x + radius, y + h - radius, radius, kTau / 4, kTau / 2);
    cairo_arc(cr, x + radius, y + radius, radius, kTau / 2, 3 * kTau / 4);
    cairo_close_path(cr);
}

void useFont(cairo_t* cr, double size, bool bold)
{
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

// Baseline that puts capital letters visually centred on centreY, whatever the string holds,
// so labels of one row share a baseline.
double baselineFor(cairo_t* cr, double centreY)
{
    cairo_text_extents_t cap;
    cairo_text_extents(cr, "H", &cap);
    return std::round(centreY - cap.y_bearing / 2.0);
}

enum class Align { left, centre, right };

void drawLabel(cairo_t* cr, const std::string& text, double x, double centreY, Align align)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    double left = x - extents.x_bearing;
    if (align == Align::centre) {
        left = x - extents.x_bearing - extents.width / 2.0;
    } else if (align == Align::right) {
        left = x - extents.x_advance;
    }
    cairo_move_to(cr, std::round(left), baselineFor(cr, centreY));
    cairo_show_text(cr, text.c_str());
}

// Engraved look: a faint dark copy one pixel lower, then the label itself.
void drawEngravedLabel(cairo_t* cr, const std::string& text, double x, double centreY, Align align,
                       Rgb colour)
{
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    drawLabel(cr, text, x, centreY + 1, align);
    setColour(cr, colour);
    drawLabel(cr, text, x, centreY, align);
}

// Largest size up to maxSize at which text fits into width.
double fittingSize(cairo_t* cr, const std::string& text, double width, double maxSize, bool bold)
{
    double size = maxSize;
    for (; size > 6.0; size -= 0.25) {
        useFont(cr, size, bold);
        cairo_text_extents_t extents;
        cairo_text_extents(cr, text.c_str(), &extents);
        if (extents.x_advance <= width) {
            break;
        }
    }
    return size;
}

// Adds a little per-pixel luminance noise to the opaque panel, the texture of a powder coat;
// without it large dark areas look flat and band visibly on some screens.
void addTexture(cairo_surface_t* surface, double amount, uint32_t seed)
{
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    Grain grain(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int delta = int(std::lround(grain.between(-amount, amount)));
            unsigned char* pixel = data + y * stride + x * 4;
            for (int channel = 0; channel < 3; ++channel) {
                const int value = pixel[channel] + delta;
                pixel[channel] = static_cast<unsigned char>(std::clamp(value, 0, 255));
            }
        }
    }
    cairo_surface_mark_dirty(surface);
}

void drawPanel(cairo_t* cr)
{
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, kPanelHeight);
    cairo_pattern_add_color_stop_rgb(body, 0.0, 0.19, 0.185, 0.18);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.11, 0.105, 0.10);
    adoptSource(cr, body);
    cairo_paint(cr);

    // The header strip carries the chord row and the two push buttons.
    cairo_pattern_t* header = cairo_pattern_create_linear(0, 0, 0, kHeaderHeight);
    cairo_pattern_add_color_stop_rgb(header, 0.0, 0.10, 0.095, 0.09);
    cairo_pattern_add_color_stop_rgb(header, 1.0, 0.075, 0.07, 0.07);
    adoptSource(cr, header);
    cairo_rectangle(cr, 0, 0, kPanelWidth, kHeaderHeight);
    cairo_fill(cr);

    addTexture(cairo_get_target(cr), 2.5, 0x5eed1234u);

    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_move_to(cr, 0, kHeaderHeight + 0.5);
    cairo_line_to(cr, kPanelWidth, kHeaderHeight + 0.5);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_move_to(cr, 0, kHeaderHeight + 1.5);
    cairo_line_to(cr, kPanelWidth, kHeaderHeight + 1.5);
    cairo_stroke(cr);
}

// A dark key cap; chord buttons and push buttons share it.
void drawKey(cairo_t* cr, double x, double y)
{
    roundedRect(cr, x + 1, y + 1, kCell - 2, kRow - 2, 2.5);
    cairo_pattern_t* cap = cairo_pattern_create_linear(0, y + 1, 0, y + kRow - 1);
    cairo_pattern_add_color_stop_rgb(cap, 0.0, 0.27, 0.265, 0.26);
    cairo_pattern_add_color_stop_rgb(cap, 0.5, 0.19, 0.185, 0.18);
    cairo_pattern_add_color_stop_rgb(cap, 1.0, 0.14, 0.135, 0.13);
    adoptSource(cr, cap);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.9);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    cairo_set_source_rgba(cr, 1, 1, 1, 0.14);
    cairo_move_to(cr, x + 3.5, y + 2.5);
    cairo_line_to(cr, x + kCell - 3.5, y + 2.5);
    cairo_stroke(cr);
}

void drawChordRow(cairo_t* cr)
{
    static const char* const kChordNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                "F#", "G",  "G#", "A",  "A#", "B"};
    useFont(cr, 7.5, true);
    drawEngravedLabel(cr, "CHORD", kChordLeft - 5, kRow / 2.0, Align::right, kDimLabel);

    for (int n = 0; n < 12; ++n) {
        const double x = kChordLeft + kCell * n;
        drawKey(cr, x, 0);
        useFont(cr, 9.5, true);
        drawEngravedLabel(cr, kChordNames[n], x + kCell / 2.0, kRow / 2.0, Align::centre,
                          {0.90, 0.89, 0.86});
    }
}

// The push buttons are keys with an unlit lamp; the button image lights the lamp when on.
void drawPushButtons(cairo_t* cr)
{
    static const char* const kLabels[2] = {"Show chord", "Reset"};
    for (int i = 0; i < 2; ++i) {
        const double y = kRow * i;
        useFont(cr, 9.5, false);
        drawEngravedLabel(cr, kLabels[i], kLabelRight, y + kRow / 2.0, Align::right, kLabel);
        drawKey(cr, kButtonX, y);

        const double cx = kButtonX + kCell / 2.0;
        const double cy = y + kRow / 2.0;
        cairo_arc(cr, cx, cy, 4.5, 0, kTau);
        cairo_set_source_rgb(cr, 0.03, 0.03, 0.03);
        cairo_fill(cr);
        cairo_pattern_t* glass = cairo_pattern_create_radial(cx - 1, cy - 1, 0.5, cx, cy, 3.6);
        cairo_pattern_add_color_stop_rgb(glass, 0.0, 0.42, 0.27, 0.12);
        cairo_pattern_add_color_stop_rgb(glass, 1.0, 0.16, 0.09, 0.04);
        cairo_arc(cr, cx, cy, 3.5, 0, kTau);
        adoptSource(cr, glass);
        cairo_fill(cr);
    }
}

void drawBoardShadow(cairo_t* cr)
{
    for (int i = 4; i >= 1; --i) {
        roundedRect(cr, kStringLeft - i + 1, kBoardTop - i + 2, kBoardRight - kStringLeft + 2 * i,
                    kBoardBottom - kBoardTop + 2 * i, 3 + i);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
        cairo_fill(cr);
    }
}

// Wood grain: long, slightly wavy streaks of darker and lighter tone along the board.
void drawGrain(cairo_t* cr, double x0, double x1, uint32_t seed)
{
    Grain grain(seed);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (int line = 0; line < 220; ++line) {
        const double y = grain.between(kBoardTop - 2, kBoardBottom + 2);
        const double amplitude = grain.between(0.2, 1.4);
        const double period = grain.between(60, 260);
        const double phase = grain.between(0, kTau);
        const bool dark = grain.next() < 0.7;
        const double alpha = grain.between(0.05, 0.20);
        cairo_set_line_width(cr, grain.between(0.5, 1.8));
        cairo_move_to(cr, x0, y + amplitude * std::sin(phase));
        for (double x = x0 + 4; x <= x1 + 4; x += 4) {
            cairo_line_to(cr, x, y + amplitude * std::sin(phase + kTau * (x - x0) / period));
        }
        if (dark) {
            cairo_set_source_rgba(cr, 0.05, 0.02, 0.0, alpha);
        } else {
            cairo_set_source_rgba(cr, 0.85, 0.55, 0.35, alpha * 0.6);
        }
        cairo_stroke(cr);
    }
}

void drawWood(cairo_t* cr, double x0, double x1, Rgb light, Rgb dark, uint32_t seed)
{
    cairo_save(cr);
    cairo_rectangle(cr, x0, kBoardTop, x1 - x0, kBoardBottom - kBoardTop);
    cairo_clip(cr);

    // Darker towards the edges, as a curved board catches less light there.
    cairo_pattern_t* wood = cairo_pattern_create_linear(0, kBoardTop, 0, kBoardBottom);
    cairo_pattern_add_color_stop_rgb(wood, 0.0, dark.r, dark.g, dark.b);
    cairo_pattern_add_color_stop_rgb(wood, 0.35, light.r, light.g, light.b);
    cairo_pattern_add_color_stop_rgb(wood, 0.65, light.r, light.g, light.b);
    cairo_pattern_add_color_stop_rgb(wood, 1.0, dark.r, dark.g, dark.b);
    adoptSource(cr, wood);
    cairo_paint(cr);

    drawGrain(cr, x0, x1, seed);
    cairo_restore(cr);
}

void drawInlay(cairo_t* cr, double cx, double cy)
{
    cairo_pattern_t* pearl = cairo_pattern_create_radial(cx - 1, cy - 1, 0.3, cx, cy, 3.6);
    cairo_pattern_add_color_stop_rgb(pearl, 0.0, 0.98, 0.97, 0.93);
    cairo_pattern_add_color_stop_rgb(pearl, 0.7, 0.84, 0.82, 0.76);
    cairo_pattern_add_color_stop_rgb(pearl, 1.0, 0.62, 0.60, 0.55);
    cairo_arc(cr, cx, cy, 3.5, 0, kTau);
    adoptSource(cr, pearl);
    cairo_fill(cr);
}

// A fret wire: bright crown, darker flanks, and the shadow it casts towards the bridge.
void drawFret(cairo_t* cr, double x)
{
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_rectangle(cr, x + 1, kBoardTop, 1.5, kBoardBottom - kBoardTop);
    cairo_fill(cr);

    cairo_pattern_t* wire = cairo_pattern_create_linear(x - 1.25, 0, x + 1.25, 0);
    cairo_pattern_add_color_stop_rgb(wire, 0.0, 0.42, 0.42, 0.43);
    cairo_pattern_add_color_stop_rgb(wire, 0.45, 0.93, 0.93, 0.94);
    cairo_pattern_add_color_stop_rgb(wire, 1.0, 0.50, 0.50, 0.51);
    cairo_rectangle(cr, x - 1.25, kBoardTop, 2.5, kBoardBottom - kBoardTop);
    adoptSource(cr, wire);
    cairo_fill(cr);
}

void drawNut(cairo_t* cr)
{
    const double left = kNutX - 4;
    cairo_pattern_t* bone = cairo_pattern_create_linear(left, 0, kNutX + 1, 0);
    cairo_pattern_add_color_stop_rgb(bone, 0.0, 0.74, 0.69, 0.58);
    cairo_pattern_add_color_stop_rgb(bone, 0.4, 0.96, 0.93, 0.84);
    cairo_pattern_add_color_stop_rgb(bone, 1.0, 0.80, 0.75, 0.64);
    cairo_rectangle(cr, left, kBoardTop, kNutX + 1 - left, kBoardBottom - kBoardTop);
    adoptSource(cr, bone);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
    cairo_rectangle(cr, kNutX + 1, kBoardTop, 1.5, kBoardBottom - kBoardTop);
    cairo_fill(cr);
}

// Strings get thinner from the low E upwards; the three lowest are wound, which shows as a
// fine diagonal ripple along them.
void drawString(cairo_t* cr, int s)
{
    static const double kThickness[6] = {3.0, 2.6, 2.2, 1.7, 1.4, 1.1};
    const double width = kThickness[s];
    const double cy = stringCentreY(s);
    const double top = cy - width / 2.0;
    const double x0 = kStringLeft + 2;
    const double x1 = kBoardRight;
    const bool wound = s < 3;

    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_rectangle(cr, x0, top + 1.6, x1 - x0, width);
    cairo_fill(cr);

    const Rgb base = wound ? Rgb{0.84, 0.70, 0.48} : Rgb{0.86, 0.87, 0.89};
    cairo_pattern_t* body = cairo_pattern_create_linear(0, top, 0, top + width);
    cairo_pattern_add_color_stop_rgb(body, 0.0, base.r * 0.55, base.g * 0.55, base.b * 0.55);
    cairo_pattern_add_color_stop_rgb(body, 0.35, std::fmin(base.r * 1.25, 1.0),
                                     std::fmin(base.g * 1.25, 1.0), std::fmin(base.b * 1.25, 1.0));
    cairo_pattern_add_color_stop_rgb(body, 1.0, base.r * 0.45, base.g * 0.45, base.b * 0.45);
    cairo_rectangle(cr, x0, top, x1 - x0, width);
    adoptSource(cr, body);
    cairo_fill(cr);

    if (wound) {
        cairo_save(cr);
        cairo_rectangle(cr, x0, top, x1 - x0, width);
        cairo_clip(cr);
        cairo_set_line_width(cr, 0.6);
        cairo_set_source_rgba(cr, 0.15, 0.10, 0.05, 0.35);
        for (double x = x0; x < x1; x += 1.6) {
            cairo_move_to(cr, x, top + width);
            cairo_line_to(cr, x + width * 0.6, top);
        }
        cairo_stroke(cr);
        cairo_restore(cr);
    }
}

void drawFretboard(cairo_t* cr)
{
    drawBoardShadow(cr);

    // Left of the nut the strings run over a darker headpiece: the mute and open columns.
    cairo_save(cr);
    roundedRect(cr, kStringLeft, kBoardTop, kBoardRight - kStringLeft, kBoardBottom - kBoardTop, 3);
    cairo_clip(cr);
    drawWood(cr, kStringLeft, kNutX, {0.17, 0.11, 0.07}, {0.09, 0.055, 0.035}, 0xbead5eedu);
    drawWood(cr, kNutX, kBoardRight, {0.36, 0.20, 0.11}, {0.21, 0.11, 0.06}, 0x0dd1ce5u);

    // Pale binding along both long edges of the board.
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 0.90, 0.84, 0.70, 0.55);
    for (double y : {kBoardTop + 0.5, kBoardBottom - 0.5}) {
        cairo_move_to(cr, kNutX, y);
        cairo_line_to(cr, kBoardRight, y);
    }
    cairo_stroke(cr);

    // Single dots sit between the third and fourth strings, the octave pair one string
    // further out on each side.
    for (int fret : kInlayFrets) {
        const double x = positionCentreX(fret + 1);
        if (fret == kOctaveFret) {
            drawInlay(cr, x, (stringCentreY(1) + stringCentreY(2)) / 2);
            drawInlay(cr, x, (stringCentreY(3) + stringCentreY(4)) / 2);
        } else {
            drawInlay(cr, x, (stringCentreY(2) + stringCentreY(3)) / 2);
        }
    }

    for (int k = 2; k < kPositions; ++k) {
        drawFret(cr, kStringLeft + kCell * (k + 1));
    }
    drawNut(cr);
    for (int s = 0; s < 6; ++s) {
        drawString(cr, s);
    }
    cairo_restore(cr);

    roundedRect(cr, kStringLeft + 0.5, kBoardTop + 0.5, kBoardRight - kStringLeft - 1,
                kBoardBottom - kBoardTop - 1, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

// Fret numbers above the positions where a marker lands, string names at the left, and the
// headers of the mute and open columns.
void drawFretboardLabels(cairo_t* cr)
{
    const double numberRow = 47;
    useFont(cr, 9, true);
    for (int k = 2; k < kPositions; ++k) {
        const int fret = k - 1;
        const bool marked = std::find(std::begin(kInlayFrets), std::end(kInlayFrets), fret) !=
                            std::end(kInlayFrets);
        drawEngravedLabel(cr, std::to_string(fret), positionCentreX(k), numberRow, Align::centre,
                          marked ? Rgb{0.95, 0.80, 0.55} : kLabel);
    }
    useFont(cr, 9, false);
    drawEngravedLabel(cr, "\u00d7", positionCentreX(0), numberRow, Align::centre, kDimLabel);
    drawEngravedLabel(cr, "\u25cb", positionCentreX(1), numberRow, Align::centre, kDimLabel);

    static const char* const kStringNames[6] = {"E", "A", "D", "G", "B", "E"};
    useFont(cr, 9, true);
    for (int s = 0; s < 6; ++s) {
        drawEngravedLabel(cr, kStringNames[s], kStringLeft / 2.0, stringCentreY(s), Align::centre,
                          kDimLabel);
    }
}

void drawScrew(cairo_t* cr, double cx, double cy)
{
    cairo_pattern_t* head = cairo_pattern_create_radial(cx - 1.5, cy - 1.5, 0.5, cx, cy, 4.5);
    cairo_pattern_add_color_stop_rgb(head, 0.0, 0.75, 0.75, 0.74);
    cairo_pattern_add_color_stop_rgb(head, 1.0, 0.30, 0.30, 0.30);
    cairo_arc(cr, cx, cy, 4, 0, kTau);
    adoptSource(cr, head);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0.12, 0.12, 0.12, 0.9);
    cairo_set_line_width(cr, 1.2);
    cairo_move_to(cr, cx - 2.6, cy + 1.2);
    cairo_line_to(cr, cx + 2.6, cy - 1.2);
    cairo_stroke(cr);
}

// The recess the sound-set switch sits in; the switch image itself is opaque.
void drawSwitchPlate(cairo_t* cr)
{
    useFont(cr, 7.5, true);
    drawEngravedLabel(cr, "SOUND SET", kSwitchX + 2, 177, Align::left, kDimLabel);

    roundedRect(cr, kSwitchX - 2, kSwitchY - 2, kSwitchWidth + 4, kSwitchHeight + 4, 5);
    cairo_set_source_rgb(cr, 0.035, 0.035, 0.035);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, kSwitchX + 2, kSwitchY + kSwitchHeight + 2.5);
    cairo_line_to(cr, kSwitchX + kSwitchWidth - 2, kSwitchY + kSwitchHeight + 2.5);
    cairo_stroke(cr);

    drawScrew(cr, 17, kSwitchY + kSwitchHeight / 2.0);
    drawScrew(cr, kPanelWidth - 17, kSwitchY + kSwitchHeight / 2.0);
}

void drawLogoBand(cairo_t* cr)
{
    cairo_pattern_t* band = cairo_pattern_create_linear(0, kBandTop, 0, kPanelHeight);
    cairo_pattern_add_color_stop_rgb(band, 0.0, 0.06, 0.055, 0.05);
    cairo_pattern_add_color_stop_rgb(band, 1.0, 0.03, 0.03, 0.03);
    cairo_rectangle(cr, 0, kBandTop, kPanelWidth, kPanelHeight - kBandTop);
    adoptSource(cr, band);
    cairo_fill(cr);
    cairo_set_line_width(cr, 1);
    setColour(cr, kAmber, 0.55);
    cairo_move_to(cr, 0, kBandTop + 0.5);
    cairo_line_to(cr, kPanelWidth, kBandTop + 0.5);
    cairo_stroke(cr);

    // The logo's whole ink, descender included, must stay inside the rows the frame shows.
    useFont(cr, 12, true);
    cairo_text_extents_t logo;
    cairo_text_extents(cr, "Lyrevane", &logo);
    const double logoLeft = kPanelWidth - 14 - logo.x_advance;
    const double baseline =
        std::floor((kBandTop + 1 + kVisibleHeight - logo.height) / 2.0 - logo.y_bearing);
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, kBandTop + 2, 0, kVisibleHeight - 2);
    cairo_pattern_add_color_stop_rgb(gold, 0.0, 1.0, 0.88, 0.62);
    cairo_pattern_add_color_stop_rgb(gold, 1.0, 0.85, 0.58, 0.24);
    adoptSource(cr, gold);
    cairo_move_to(cr, logoLeft, baseline);
    cairo_show_text(cr, "Lyrevane");

    useFont(cr, 8, false);
    cairo_text_extents_t tagline;
    cairo_text_extents(cr, "guitar strummer", &tagline);
    setColour(cr, kDimLabel);
    cairo_move_to(cr, std::round(logoLeft - 8 - tagline.x_advance), baseline);
    cairo_show_text(cr, "guitar strummer");
}

void drawBackground(cairo_t* cr)
{
    drawPanel(cr);
    drawChordRow(cr);
    drawPushButtons(cr);
    drawFretboard(cr);
    drawFretboardLabels(cr);
    drawSwitchPlate(cr);
    drawLogoBand(cr);
}

void drawFretMarker(cairo_t* cr)
{
    const double cx = 12, cy = 8, radius = 5.8;
    cairo_arc(cr, cx + 0.8, cy + 1.2, radius, 0, kTau);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_fill(cr);

    cairo_pattern_t* ball = cairo_pattern_create_radial(cx - 1.8, cy - 2.0, 0.4, cx, cy, radius);
    cairo_pattern_add_color_stop_rgb(ball, 0.0, 1.0, 0.70, 0.62);
    cairo_pattern_add_color_stop_rgb(ball, 0.35, 0.93, 0.16, 0.12);
    cairo_pattern_add_color_stop_rgb(ball, 1.0, 0.45, 0.02, 0.02);
    cairo_arc(cr, cx, cy, radius, 0, kTau);
    adoptSource(cr, ball);
    cairo_fill(cr);

    cairo_arc(cr, cx - 1.9, cy - 2.2, 1.4, 0, kTau);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.65);
    cairo_fill(cr);
}

void drawMutedString(cairo_t* cr)
{
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    const double inset = 4.5;
    auto cross = [&](double dy) {
        cairo_move_to(cr, 12 - inset, 8 - inset + dy);
        cairo_line_to(cr, 12 + inset, 8 + inset + dy);
        cairo_move_to(cr, 12 + inset, 8 - inset + dy);
        cairo_line_to(cr, 12 - inset, 8 + inset + dy);
    };
    cross(0.8);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_set_line_width(cr, 4.2);
    cairo_stroke(cr);
    cross(0);
    cairo_set_source_rgb(cr, 0.92, 0.12, 0.10);
    cairo_set_line_width(cr, 2.6);
    cairo_stroke(cr);
}

// Translucent, so the chord name on the key below stays readable through the glow.
void drawChordHandle(cairo_t* cr)
{
    roundedRect(cr, 1, 1, kCell - 2, kRow - 2, 2.5);
    cairo_pattern_t* glow = cairo_pattern_create_radial(12, 8, 2, 12, 8, 13);
    cairo_pattern_add_color_stop_rgba(glow, 0.0, kAmber.r, kAmber.g, kAmber.b, 0.30);
    cairo_pattern_add_color_stop_rgba(glow, 1.0, kAmber.r, kAmber.g * 0.8, kAmber.b * 0.5, 0.60);
    adoptSource(cr, glow);
    cairo_fill_preserve(cr);
    setColour(cr, {1.0, 0.86, 0.55}, 1.0);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    // An inner rim of light, brightest at the top edge as if lit from behind the key.
    roundedRect(cr, 2, 2, kCell - 4, kRow - 4, 1.5);
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, 2, 0, kRow - 2);
    cairo_pattern_add_color_stop_rgba(rim, 0.0, 1.0, 0.95, 0.80, 0.75);
    cairo_pattern_add_color_stop_rgba(rim, 1.0, 1.0, 0.80, 0.45, 0.25);
    adoptSource(cr, rim);
    cairo_stroke(cr);
}

// Upper half (off) stays transparent; the lower half lights the lamp drawn in the background.
void drawPushButton(cairo_t* cr)
{
    const double cx = kCell / 2.0, cy = kRow + kRow / 2.0;
    cairo_rectangle(cr, 0, kRow, kCell, kRow);
    cairo_clip(cr);

    cairo_pattern_t* halo = cairo_pattern_create_radial(cx, cy, 2, cx, cy, 10);
    cairo_pattern_add_color_stop_rgba(halo, 0.0, kAmber.r, kAmber.g, kAmber.b, 0.55);
    cairo_pattern_add_color_stop_rgba(halo, 1.0, kAmber.r, kAmber.g, kAmber.b, 0.0);
    adoptSource(cr, halo);
    cairo_paint(cr);

    cairo_pattern_t* lamp = cairo_pattern_create_radial(cx - 1, cy - 1, 0.3, cx, cy, 3.8);
    cairo_pattern_add_color_stop_rgb(lamp, 0.0, 1.0, 0.98, 0.88);
    cairo_pattern_add_color_stop_rgb(lamp, 0.5, 1.0, 0.80, 0.40);
    cairo_pattern_add_color_stop_rgb(lamp, 1.0, 0.95, 0.52, 0.12);
    cairo_arc(cr, cx, cy, 3.6, 0, kTau);
    adoptSource(cr, lamp);
    cairo_fill(cr);
}

// One opaque half of the selector: two segments, the active one lit.
void drawSwitchHalf(cairo_t* cr, double top, bool electric)
{
    cairo_rectangle(cr, 0, top, kSwitchWidth, kSwitchHeight);
    cairo_set_source_rgb(cr, 0.035, 0.035, 0.035);
    cairo_fill(cr);

    static const char* const kNames[2] = {"Acoustic Guitar", "Electric Guitar"};
    const double segmentWidth = (kSwitchWidth - 5) / 2.0;
    for (int side = 0; side < 2; ++side) {
        const bool lit = (side == 1) == electric;
        const double x = 2 + side * (segmentWidth + 1);
        const double y = top + 2;
        const double h = kSwitchHeight - 4;
        roundedRect(cr, x, y, segmentWidth, h, 3);
        cairo_pattern_t* face = cairo_pattern_create_linear(0, y, 0, y + h);
        if (lit) {
            cairo_pattern_add_color_stop_rgb(face, 0.0, 1.0, 0.82, 0.46);
            cairo_pattern_add_color_stop_rgb(face, 0.5, 0.96, 0.66, 0.24);
            cairo_pattern_add_color_stop_rgb(face, 1.0, 0.78, 0.46, 0.13);
        } else {
            cairo_pattern_add_color_stop_rgb(face, 0.0, 0.23, 0.225, 0.22);
            cairo_pattern_add_color_stop_rgb(face, 1.0, 0.13, 0.125, 0.12);
        }
        adoptSource(cr, face);
        cairo_fill(cr);

        cairo_set_line_width(cr, 1);
        cairo_set_source_rgba(cr, 1, 1, 1, lit ? 0.45 : 0.10);
        cairo_move_to(cr, x + 3, y + 1.5);
        cairo_line_to(cr, x + segmentWidth - 3, y + 1.5);
        cairo_stroke(cr);

        const double size = fittingSize(cr, kNames[side], segmentWidth - 8, 10, lit);
        useFont(cr, size, lit);
        if (lit) {
            cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
            drawLabel(cr, kNames[side], x + segmentWidth / 2, y + h / 2 + 1, Align::centre);
            cairo_set_source_rgb(cr, 0.18, 0.09, 0.02);
            drawLabel(cr, kNames[side], x + segmentWidth / 2, y + h / 2, Align::centre);
        } else {
            drawEngravedLabel(cr, kNames[side], x + segmentWidth / 2, y + h / 2, Align::centre,
                              kDimLabel);
        }
    }
}

void drawSoundSetSwitch(cairo_t* cr)
{
    drawSwitchHalf(cr, 0, false);
    drawSwitchHalf(cr, kSwitchHeight, true);
}

void drawNothing(cairo_t*)
{
}

struct Image
{
    const char* file;
    int width;
    int height;
    void (*draw)(cairo_t*);
};

// In resource-id order: 10, 100 to 103, 200 to 203. The slider backgrounds and the open-string
// handle stay transparent because the panel background carries all the art under them.
const Image kImages[] = {
    {"background.png", kPanelWidth, kPanelHeight, drawBackground},
    {"slider-background.png", kStringSliderWidth, kRow, drawNothing},
    {"fret-marker.png", kCell, kRow, drawFretMarker},
    {"open-string.png", kCell, kRow, drawNothing},
    {"muted-string.png", kCell, kRow, drawMutedString},
    {"chord-slider-background.png", kChordSliderWidth, kRow, drawNothing},
    {"chord-handle.png", kCell, kRow, drawChordHandle},
    {"push-button.png", kCell, 2 * kRow, drawPushButton},
    {"sound-set-switch.png", kSwitchWidth, 2 * kSwitchHeight, drawSoundSetSwitch},
};

// The scales drawn: the panel shows the smallest at or above its own and filters it down.
constexpr int kFactors[] = {1, 2, 3};

std::string fileName(const Image& image, int factor)
{
    std::string name = image.file;
    if (factor == 1) return name;
    return name.substr(0, name.rfind('.')) + "@" + std::to_string(factor) + "x.png";
}

bool writeImage(const Image& image, int factor, const std::string& folder)
{
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, image.width * factor, image.height * factor);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, factor, factor);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);

    image.draw(cr);
    const cairo_status_t drawStatus = cairo_status(cr);
    cairo_destroy(cr);
    const std::string path = folder + "/" + fileName(image, factor);
    cairo_status_t status = drawStatus;
    if (status == CAIRO_STATUS_SUCCESS) {
        status = cairo_surface_write_to_png(surface, path.c_str());
    }
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "draw-images: %s: %s\n", path.c_str(), cairo_status_to_string(status));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    bool ok = true;
    for (const Image& image : kImages) {
        for (int factor : kFactors) ok = writeImage(image, factor, argv[1]) && ok;
    }
    // Frees cairo's font caches, so that a leak checker is left with fontconfig's own
    // configuration data only.
    cairo_debug_reset_static_data();
    return ok ? 0 : 1;
}
