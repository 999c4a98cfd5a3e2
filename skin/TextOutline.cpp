#include "skin/TextOutline.h"

#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include "skin/SkinFont.h"
#include "support/Mutex.h"

namespace {

// One font map and context for the whole process, so fonts are looked up and
// loaded once. Pango objects are not thread-safe, and the worker thread and the
// window thread may both render: every use holds m_shaping.
class TextShaper {
public:
    static TextShaper& Instance() {
        static TextShaper shaper;
        return shaper;
    }

    void AppendOutline(cairo_t* cr, const TextStyle& style, const std::string& text, double x,
                       double y) {
        PangoFontDescription* font = pango_font_description_new();
        pango_font_description_set_family(font, style.family.c_str());
        pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
        pango_font_description_set_style(font,
                                         style.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        pango_font_description_set_absolute_size(font, style.pixelSize * PANGO_SCALE);

        MutexLock lock(m_shaping);
        PangoLayout* layout = pango_layout_new(m_context);
        pango_layout_set_font_description(layout, font);
        if (style.centredWidth > 0) {
            pango_layout_set_width(layout, static_cast<int>(style.centredWidth * PANGO_SCALE));
            pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        }
        pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
        cairo_move_to(cr, x, y);
        pango_cairo_layout_path(cr, layout);
        g_object_unref(layout);
        pango_font_description_free(font);
    }

private:
    TextShaper() {
        InstallSkinFontAliases();
        m_fontMap = pango_cairo_font_map_new();
        // Pin the configuration that holds the aliases, whatever replaces the
        // current one later.
        if (PANGO_IS_FC_FONT_MAP(m_fontMap)) {
            pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(m_fontMap), FcConfigGetCurrent());
        }
        m_context = pango_font_map_create_context(m_fontMap);
        // Outlines are drawn rotated and stroked: unhinted shapes at exact
        // positions look the same at every angle.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(m_context, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(m_context, FALSE);
    }

    Mutex m_shaping;                    // held by whichever thread shapes text
    PangoFontMap* m_fontMap = nullptr;  // kept for the life of the process
    PangoContext* m_context PT_GUARDED_BY(m_shaping) = nullptr;
};

}  // namespace

void AppendTextOutline(cairo_t* cr, const TextStyle& style, const std::string& text, double x,
                       double y) {
    TextShaper::Instance().AppendOutline(cr, style, text, x, y);
}
