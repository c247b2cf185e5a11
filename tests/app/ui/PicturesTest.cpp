// Every window of the pictures program can be made and rendered.

#include <QImage>
#include <set>

#include "app/ui/Pictures.h"
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
        if (window != stage.mainWindow()) {
            delete window;
        }
    }
    EXPECT_TRUE(names.count(QStringLiteral("main-window")));
    // The drive was connected for the windows that show it, without a box.
    EXPECT_EQ(state.identity.versionAccepted, 1u);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace qx::test
