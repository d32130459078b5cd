#include "platform/DialogFace.h"

#include "platform/WideText.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

// The face the system draws a font of this description with, as it names it.
struct SystemFace {
    std::wstring name;
    bool outline = false; // TrueType or vector, not a raster face
};

SystemFace FaceDrawnFor(HDC screen, const LOGFONTW &wanted)
{
    SystemFace face;
    HFONT font = CreateFontIndirectW(&wanted);
    if (font == nullptr)
        return face;
    const HGDIOBJ previous = SelectObject(screen, font);
    wchar_t name[LF_FACESIZE] = {};
    TEXTMETRICW metrics{};
    if (GetTextFaceW(screen, LF_FACESIZE, name) > 0 && GetTextMetricsW(screen, &metrics)) {
        face.name = name;
        face.outline = (metrics.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) != 0;
    }
    SelectObject(screen, previous);
    DeleteObject(font);
    return face;
}

// The font of the system's message boxes and dialogs, as the user's settings give it.
std::optional<LOGFONTW> DialogFontOfTheSystem()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return std::nullopt;
    return metrics.lfMessageFont;
}

} // namespace

std::string DrawableDialogFace(const std::string &templateFace)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    const std::wstring name = WideFromUtf8(templateFace);
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), LF_FACESIZE - 1), std::begin(wanted.lfFaceName));

    HDC screen = GetDC(nullptr);
    SystemFace face = FaceDrawnFor(screen, wanted);
    if (!face.outline)
        if (const std::optional<LOGFONTW> dialogFont = DialogFontOfTheSystem())
            face = FaceDrawnFor(screen, *dialogFont);
    ReleaseDC(nullptr, screen);
    return face.name.empty() ? templateFace : Utf8FromWide(face.name);
}
