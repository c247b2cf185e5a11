// Every window of the pictures program can be made and rendered, and holds its texts: no
// label, button, group box title or edit cuts its text off, at 1x and (run again with
// QT_SCALE_FACTOR=2) at 2x.

#include <QCheckBox>
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
        EXPECT_GT(image.width(), 100) << picture.name.toStdString();
        EXPECT_GT(image.height(), 50) << picture.name.toStdString();
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

TEST_F(PicturesTest, TheTextCheckFindsEveryKindOfControlTooNarrow) {
    const std::function<QWidget*(QWidget*)> kinds[] = {
        [](QWidget* p) { return new QLabel(QStringLiteral("Cut-off Freq (Hz)"), p); },
        [](QWidget* p) { return new QPushButton(QStringLiteral("Cut-off Freq (Hz)"), p); },
        [](QWidget* p) { return new QRadioButton(QStringLiteral("Cut-off Freq (Hz)"), p); },
        [](QWidget* p) { return new QCheckBox(QStringLiteral("Cut-off Freq (Hz)"), p); },
        [](QWidget* p) { return new QGroupBox(QStringLiteral("Cut-off Freq (Hz)"), p); },
        [](QWidget* p) { return new QLineEdit(QStringLiteral("1.19922"), p); },
    };
    for (const auto& make : kinds) {
        for (const int width : {40, 200}) {
            QWidget window;
            QWidget* control = make(&window);
            control->setGeometry(0, 0, width, 3 * control->fontMetrics().height());
            EXPECT_EQ(ui::FindClippedTexts(&window).size(), width < 100 ? 1u : 0u)
                << control->metaObject()->className() << " " << width;
        }
    }
}

}  // namespace
}  // namespace qx::test
