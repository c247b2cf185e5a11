#include "capture/ui/CapturePainting.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPolygon>
#include <algorithm>
#include <cstdlib>

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

// A level or upright dotted line exactly as the one-pixel dotted pen draws it, one pixel
// on and two off from its start, written straight into the picture: on a large plot the
// pen's dashing costs more than all the rest of the grid.
void DrawDotted(QImage& image, const PlotLine& l, QRgb colour) {
    const int dx = (l.to.x > l.from.x) - (l.to.x < l.from.x);
    const int dy = (l.to.y > l.from.y) - (l.to.y < l.from.y);
    const int length = std::max(std::abs(l.to.x - l.from.x), std::abs(l.to.y - l.from.y));
    constexpr int kDotPeriod = 3;
    for (int k = 0; k <= length; k += kDotPeriod) {
        const int x = l.from.x + dx * k;
        const int y = l.from.y + dy * k;
        if (x >= 0 && y >= 0 && x < image.width() && y < image.height()) {
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
        }
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

QImage RenderWaveform(const WaveformPicture& pic, QImage reuse) {
    const QSize size(std::max(pic.width, 1), std::max(pic.height, 1));
    QImage image = reuse.size() == size && reuse.format() == QImage::Format_RGB32
                       ? std::move(reuse)
                       : QImage(size, QImage::Format_RGB32);
    // The field, and around it a one-pixel rim in black.
    image.fill(Colour(kPlotFieldColour));
    const QRgb black = Colour(kPlotAxisColour).rgb();
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (y == 0 || y == size.height() - 1) {
            std::fill(row, row + size.width(), black);
        }
        row[0] = black;
        row[size.width() - 1] = black;
    }
    {
        QPainter painter(&image);
        painter.setFont(PlotFont());
        painter.setPen(PenFor(PlotPen::Axis));
        QVector<QLine> axis;
        axis.reserve(static_cast<qsizetype>(pic.lines.size()));
        for (const PlotLine& l : pic.lines) {
            if (l.pen == PlotPen::Axis) {
                axis.append(QLine(l.from.x, l.from.y, l.to.x, l.to.y));
            }
        }
        painter.drawLines(axis);
        DrawLabels(painter, pic.labels);
        painter.setPen(PenFor(PlotPen::Grid));
        for (const PlotLine& l : pic.lines) {
            if (l.pen == PlotPen::Grid && l.from.x != l.to.x && l.from.y != l.to.y) {
                painter.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
            }
        }
    }
    for (const PlotLine& l : pic.lines) {
        if (l.pen == PlotPen::Grid && (l.from.x == l.to.x || l.from.y == l.to.y)) {
            DrawDotted(image, l, Colour(kPlotGridColour).rgb());
        }
    }
    QPainter painter(&image);
    painter.setFont(PlotFont());
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
    control.setImage(RenderWaveform(pic, control.takeImage()));
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
