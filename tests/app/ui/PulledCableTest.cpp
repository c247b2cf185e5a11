// The cable of a USB-serial adapter pulled while the window program loads the parameter
// table, against quendrix-drive-sim on a pseudo-terminal: the failure is reported as
// always, the window lives on, and COM1 connects again once the cable is back.

#include <QProgressBar>
#include <QTest>
#include <filesystem>

#include "app/ui/CommandIds.h"
#include "app/ui/Controls.h"
#include "tests/app/ui/ShellFixture.h"
#include "tests/support/DriveSimProcess.h"

namespace qx::test {
namespace {

using namespace qx::ui;

class PulledCableWindowTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        char dir[] = "/tmp/quendrix-unplug-ui-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        ShellTest::TearDown();
        sim_.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string dir_;
    std::unique_ptr<DriveSimProcess> sim_;
};

TEST_F(PulledCableWindowTest, TheWindowOutlivesAPulledCableAndCom1ConnectsAgain) {
    const std::string link = dir_ + "/com1";
    sim_ = std::make_unique<DriveSimProcess>(QX_DRIVE_SIM,
                                             std::vector<std::string>{"--pace", "--link", link});
    ports.setDevice(1, link);
    programClock = &steadyClock();
    start();
    choose(ID_COM1);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{"Connectting with servo succeeds!"});
    boxes.clear();

    bool pulled = false;
    bool endedByItself = false;
    whileOpen = [&](QDialog& dialog) {
        QPointer<QDialog> guard(&dialog);
        auto* bar = FindControl<QProgressBar>(&dialog, 1206);
        ASSERT_NE(bar, nullptr);
        // Pulled once the load is under way; the dialog then ends on its own.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !guard || bar->value() > 0; }, 20'000));
        sim_->unplug();
        pulled = true;
        endedByItself = QTest::qWaitFor([&] { return !guard || !guard->isVisible(); }, 20'000);
    };
    choose(ID_PARAM_SETTING);
    whileOpen = nullptr;
    EXPECT_TRUE(pulled);
    EXPECT_TRUE(endedByItself);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Communication with Servo Fails!"});
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].owner, frame());
    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_EQ(state.parameterTable.parametersLoaded, 0u);
    EXPECT_EQ(state.link.portOpen, 0u);
    ASSERT_NE(frame(), nullptr);
    EXPECT_TRUE(frame()->isVisible());

    boxes.clear();
    sim_->plugIn();
    ASSERT_TRUE(sim_->nextDevice(std::chrono::milliseconds(5000)));
    choose(ID_COM1);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Connectting with servo succeeds!"});
    EXPECT_EQ(state.link.driveConnected, 1u);
    boxes.clear();
    choose(ID_SAVE_EEPROM);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{"Save to EEPROM Succeeds!"});
}

}  // namespace
}  // namespace qx::test
