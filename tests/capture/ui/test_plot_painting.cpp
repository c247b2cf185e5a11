// The plot's painter writes the dotted grid itself: the pixels must be the dotted pen's.

#include <gtest/gtest.h>

#include <QPainter>

#include "capture/ui/CapturePainting.h"
#include "tests/support/GuiTestSupport.h"

namespace qx::test {
namespace {

TEST(PlotPainting, TheGridIsDottedAsTheDottedPenDrawsIt) {
    TestApplication();
    for (QSize size : {QSize(442, 365), QSize(1920, 1080), QSize(97, 61)}) {
        WaveformPicture grid;
        grid.width = size.width();
        grid.height = size.height();
        for (int x = 41; x < size.width(); x += 50) {
            grid.lines.push_back({PlotPen::Grid, {x, size.height() - 25}, {x, -1}});
        }
        for (int y = size.height() - 26; y > 0; y -= 50) {
            grid.lines.push_back({PlotPen::Grid, {40, y}, {size.width() - 1, y}});
        }
        QImage pen(size, QImage::Format_RGB32);
        pen.fill(Qt::black);
        QPainter painter(&pen);
        painter.fillRect(1, 1, size.width() - 2, size.height() - 2, QColor(255, 255, 128));
        painter.setPen(QPen(QColor(180, 180, 180), 1, Qt::DotLine));
        for (const PlotLine& l : grid.lines) {
            painter.drawLine(l.from.x, l.from.y, l.to.x, l.to.y);
        }
        painter.end();
        EXPECT_EQ(ui::RenderWaveform(grid), pen) << size.width();
        EXPECT_EQ(ui::RenderWaveform(grid, pen.copy()), pen) << "painted over an old picture";
    }
}

}  // namespace
}  // namespace qx::test
