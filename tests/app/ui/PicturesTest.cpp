// Every window of the pictures program can be made and rendered, and holds its texts: no
// label, button, group box title or edit cuts its text off, at 1x and (run again with
// QT_SCALE_FACTOR=2) at 2x.

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <set>

#include "app/ui/Pictures.h"
#include "app/ui/TextFit.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using PicturesTest = ShellTest;

TEST_F(PicturesTest, EveryPictureRendersItsWindow) {
    start();
    ui::PictureStage stage(*app, *context);
    std::set<QString> names;
    for (const ui::Picture& picture : ui::AllPictures()) {
        EXPECT_TRUE(names.insert(picture.name).second) << picture.name.toStdString();
        QWidget* window = picture.make(stage);
        ASSERT_NE(window, nullptr) << picture.name.toStdString();
        const QImage image = ui::RenderWindow(window);
        EXPECT_TRUE(image.width() > 100 && image.height() > 50) << picture.name.toStdString();
        for (const ui::ClippedText& c : ui::FindClippedTexts(window)) {
            ADD_FAILURE() << picture.name.toStdString() << ": " << c.control.toStdString()
                          << " cuts \"" << c.text.toStdString() << "\" (" << c.needed << " px in "
                          << c.available << ")";
        }
        if (window != stage.mainWindow()) {
            delete window;
        }
    }
    EXPECT_TRUE(names.count(QStringLiteral("main-window")));
    // The drive was connected for the windows that show it, without a box.
    EXPECT_EQ(state.identity.versionAccepted, 1u);
    EXPECT_TRUE(boxes.empty());
}

// Each kind of control is found once it is too narrow or too low for its text.
TEST_F(PicturesTest, TheTextCheckFindsEveryKindOfControlTooNarrow) {
    const QString text = QStringLiteral("Cut-off Freq (Hz)");
    const int line = QFontMetrics(QApplication::font()).height();
    for (const auto& [size, clipped] : {std::pair{QSize(200, 3 * line), 0u},
                                        {QSize(40, 3 * line), 5u},
                                        {QSize(200, line - 1), 5u}}) {
        QWidget window;
        QWidget* controls[] = {new QLabel(text, &window), new QPushButton(text, &window),
                               new QRadioButton(text, &window), new QGroupBox(text, &window),
                               new QLineEdit(QStringLiteral("1.19922"), &window)};
        for (QWidget* control : controls) {
            control->setGeometry(QRect(QPoint(), size));
        }
        std::set<QString> kinds;
        for (const ui::ClippedText& c : ui::FindClippedTexts(&window)) {
            kinds.insert(c.control);
        }
        EXPECT_EQ(kinds.size(), clipped) << size.width() << "x" << size.height();
    }
}

}  // namespace
}  // namespace qx::test
