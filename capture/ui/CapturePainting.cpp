#include "capture/ui/CapturePainting.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPolygon>

#include "capture/ui/ImageFrame.h"

namespace qx::ui {

namespace {

// Wide enough for any label the plot writes; the text is centred on its point.
constexpr int kLabelBoxWidth = 160;
constexpr int kLabelBoxHeight = 20;
constexpr int kExcitationPenWidth = 3;

QColor Colour(const PlotColour& c) {
    return QColor(c.r, c.g, c.b);
}

QColor Colour(const PreviewColour& c) {
    return QColor(c.r, c.g, c.b);
}

QFont PlotFont() {
    QFont font(QString::fromLatin1(kPlotFontFamily));
    font.setPixelSize(kPlotFontHeightPx);
    font.setWeight(QFont::Normal);
    return font;
}

QPen PenFor(PlotPen pen) {
    switch (pen) {
        case PlotPen::Reference1:
            return QPen(Colour(kPlotReference1Colour), 1);
        case PlotPen::Reference2:
            return QPen(Colour(kPlotReference2Colour), 1);
        case PlotPen::CursorA:
            return QPen(Colour(kPlotCursorAColour), 1);
        case PlotPen::CursorB:
            return QPen(Colour(kPlotCursorBColour), 1);
        case PlotPen::Trigger:
            return QPen(Colour(kPlotTriggerColour), 1);
        case PlotPen::Grid:
            return QPen(Colour(kPlotGridColour), 1, Qt::DotLine);
        case PlotPen::Channel1:
            return QPen(Colour(kPlotChannel1Colour), 1);
        case PlotPen::Channel2:
            return QPen(Colour(kPlotChannel2Colour), 1);
        case PlotPen::Axis:
            break;
    }
    return QPen(Colour(kPlotAxisColour), 1);
}

void DrawLabels(QPainter& painter, const std::vector<PlotLabel>& labels) {
    for (const PlotLabel& label : labels) {
        painter.setPen(PenFor(label.pen));
        const QRect box(label.at.x - kLabelBoxWidth / 2, label.at.y, kLabelBoxWidth,
                        kLabelBoxHeight);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
                         QString::fromStdString(label.text));
    }
}

void DrawTrace(QPainter& painter, const std::vector<PlotPoint>& points, PlotPen pen) {
    if (points.empty()) {
        return;
    }
    QPolygon polygon(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        polygon.setPoint(static_cast<int>(i), points[i].x, points[i].y);
    }
    painter.setPen(PenFor(pen));
    painter.drawPolyline(polygon);
}

}  // namespace

QImage RenderWaveform(const WaveformPicture& pic) {
    QImage image(std::max(pic.width, 1), std::max(pic.height, 1), QImage::Format_RGB32);
    image.fill(Qt::black);  // the one-pixel rim outside the field stays as made
    QPainter painter(&image);
    painter.fillRect(pic.fieldLeft, pic.fieldTop, pic.fieldWidth, pic.fieldHeight,
                     Colour(kPlotFieldColour));
    painter.setFont(PlotFont());

    painter.setPen(PenFor(PlotPen::Axis));
    for (const PlotLine& l : pic.lines) {
        if (l.pen == PlotPen::Axis) {
            painter.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
        }
    }
    DrawLabels(painter, pic.labels);
    painter.setPen(PenFor(PlotPen::Grid));
    for (const PlotLine& l : pic.lines) {
        if (l.pen == PlotPen::Grid) {
            painter.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
        }
    }
    if (pic.zoomed) {
        // Points beyond a zoomed window must not run over the axes and their labels.
        painter.setClipRect(QRect(pic.x0, 0, pic.x1 - pic.x0 + 1, pic.yAxis + 1));
    }
    DrawTrace(painter, pic.reference1, PlotPen::Reference1);
    DrawTrace(painter, pic.reference2, PlotPen::Reference2);
    DrawTrace(painter, pic.trace1, PlotPen::Channel1);
    DrawTrace(painter, pic.trace2, PlotPen::Channel2);
    painter.setClipping(false);
    for (const PlotLine& l : pic.marks) {
        painter.setPen(PenFor(l.pen));
        painter.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
    }
    DrawLabels(painter, pic.markLabels);
    return image;
}

TextWidth PlotTextWidth() {
    return [metrics = QFontMetrics(PlotFont())](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    };
}

WaveformPicture DrawWaveform(ImageFrame& control, const WaveformInput& input, PlotData& plot,
                             int dataValid, WaveformView view) {
    const QSize size = control.clientSize();
    if (!view.textWidth) {
        view.textWidth = PlotTextWidth();
    }
    WaveformPicture pic =
        ComputeWaveform(size.width(), size.height(), input, plot, dataValid, view);
    control.setImage(RenderWaveform(pic));
    return pic;
}

QImage RenderCapturePreview(QSize size, const CapturePreview& preview, QColor face) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(face);
    QPainter painter(&image);
    for (const PreviewLine& l : preview.lines) {
        switch (l.pen) {
            case PreviewPen::Excitation:
                painter.setPen(QPen(Colour(kPreviewExcitationColour), kExcitationPenWidth));
                break;
            case PreviewPen::Continuation:
                painter.setPen(QPen(Colour(kPreviewExcitationColour), 1, Qt::DotLine));
                break;
            case PreviewPen::Stretch:
                painter.setPen(QPen(Colour(kPreviewStretchColour), 1));
                break;
        }
        painter.drawLine(l.x0, l.y0, l.x1, l.y1);
    }
    return image;
}

void DrawCapturePreview(ImageFrame& control, const CaptureSettingFields& f) {
    const QSize size = control.clientSize();
    const CapturePreview preview =
        ComputeCapturePreview(0, 0, size.width(), size.height(), f.samplePosition, f.sampleCount,
                              f.sampleRateHz, f.lastingTimeMs);
    const QColor face = control.palette().color(QPalette::Button);
    control.setImage(RenderCapturePreview(size, preview, face));
}

}  // namespace qx::ui
