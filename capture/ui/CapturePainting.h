#pragma once

#include <QImage>

#include "app/SharedState.h"
#include "capture/CapturePreview.h"
#include "capture/CaptureSettingsForm.h"
#include "capture/PlotData.h"
#include "capture/WaveformGeometry.h"

namespace qx::ui {

class ImageFrame;

// Paints a laid-out plot into a picture of its size; `reuse`, when it has that size,
// is painted over instead of making a new one.
QImage RenderWaveform(const WaveformPicture& picture, QImage reuse = {});

// Widths of texts in the plot's font, for the layout to give labels their room.
TextWidth PlotTextWidth();

// Draws the two traces of a capture window into its plot control: the layout of
// `input`, `plot` and what `view` asks for, painted off screen, then handed to the
// control whole. Returns the layout, whose pixels the mouse then points at.
WaveformPicture DrawWaveform(ImageFrame& control, const WaveformInput& input, PlotData& plot,
                             int dataValid, WaveformView view = {});

// Paints the preview of a capture setting dialog into a picture of `size`, on `face`.
QImage RenderCapturePreview(QSize size, const CapturePreview& preview, QColor face);

// Draws the preview of the dialog's current fields into its preview frame.
void DrawCapturePreview(ImageFrame& control, const CaptureSettingFields& fields);

}  // namespace qx::ui
