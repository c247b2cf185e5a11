// The motor setup's dialogs, for what the windows alone decide: which field shows what,
// range checks that never trap, the match's locks and question, the encoder's buttons.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/ui/CommandIds.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/Controls.h"
#include "app/ui/DeltaSpin.h"
#include "motor/ui/CEncoderFixingDlg.h"
#include "motor/ui/CMagnetDirectionDlg.h"
#include "motor/ui/CMotorSettingDlg.h"
#include "sim/SimMotor.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;

// "1002=4 1003=10000 ..." for the edits and labels named; "1193=on" for a radio button.
std::string Texts(QWidget* dialog, std::initializer_list<int> ids) {
    std::string s;
    for (const int id : ids) {
        auto* edit = FindControl<QLineEdit>(dialog, id);
        auto* radio = FindControl<QRadioButton>(dialog, id);
        const QString text = edit    ? edit->text()
                             : radio ? QString(radio->isChecked() ? "on" : "off")
                                     : FindControl<QLabel>(dialog, id)->text();
        s += (s.empty() ? "" : " ") + std::to_string(id) + "=" + text.toStdString();
    }
    return s;
}

void Type(QWidget* dialog, int id, const QString& text) {
    auto* edit = FindControl<CommitLineEdit>(dialog, id);
    edit->setText(text);
    emit edit->committed();
}

void Arrow(QWidget* dialog, int id, int steps) {
    FindControl<DeltaSpin>(dialog, id)->stepBy(steps);  // +1 is the up arrow
}

bool Enabled(QWidget* dialog, int id) {
    return FindControl(dialog, id)->isEnabled();
}

class MotorDialogs : public ShellTest {
  protected:
    void connectWithBlock(std::array<uint16_t, 10> words) {
        connectDrive();
        for (uint16_t k = 0; k < 10; ++k) {
            drive->write(0x0210 + k, words[k]);
        }
        drive->clearRequestLog();
    }
    bool blockWritten() const {
        const auto log = drive->requestLog();
        return std::any_of(log.begin(), log.end(),
                           [](auto& f) { return f[1] == 0xC1 && f[5] == 0x15; });
    }
};

TEST_F(MotorDialogs, WithoutADriveTheDefaultsShowOkSendsNothingAndAutoMatchOnlyResets) {
    start();
    whileOpen = [&](QDialog& d) {
        EXPECT_EQ(Texts(&d, {1002, 1003, 1010, 1007, 1011, 1013, 1004, 1021, 1015, 1017, 1019, 1193,
                             1194}),
                  "1002=4 1003=10000 1010=0 1007=0 1011=0 1013=0 1004=0 1021=0 1015=0 1017=0 "
                  "1019=0 1193=on 1194=off");
        EXPECT_TRUE(FindControl<QProgressBar>(&d, 1174)->isHidden());
        Type(&d, 1002, "7");
        FindControl<QPushButton>(&d, 1175)->click();
        EXPECT_EQ(Texts(&d, {1195, 1002, 1003}), "1195=Auto match fails! 1002=4 1003=65535");
        EXPECT_TRUE(FindControl<QProgressBar>(&d, 1174)->isHidden());
        Type(&d, 1003, "10000");
    };
    choose(ID_MOTOR_BASIC_INFO);
    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_TRUE(drive->requestLog().empty());
    EXPECT_TRUE(boxes.empty());
}

// A field left by a click checks that field alone and the click lands; edits, arrows and
// radio buttons set their fields; the Z type 3 of the flags word 0x001B is refused by OK
// (nothing written) until corrected, and OK then writes every field.
TEST_F(MotorDialogs, EveryFieldShowsAndSetsItsWordAndOkRefusesWhatIsOutOfRange) {
    start();
    connectWithBlock({384, 4, 1259, 512, 96, 77, 0, 0x001B, 10000, 4321});
    whileOpen = [&](QDialog& d) {
        EXPECT_EQ(Texts(&d, {1013, 1194, 1011, 1007, 1021, 1017, 1015, 1019, 1003, 1004}),
                  "1013=1 1194=on 1011=0 1007=3 1021=3 1017=1.22949 1015=0.5 1019=3 1003=10000 "
                  "1004=4321");
        Activate(d);
        auto* rated = FindControl<QLineEdit>(&d, 1021);
        Click(rated);
        rated->selectAll();
        QTest::keyClicks(rated, QStringLiteral("3.3"));
        Click(FindControl<QWidget>(&d, 1002));
        EXPECT_TRUE(FindControl<QWidget>(&d, 1002)->hasFocus());
        Type(&d, 1017, "1.23");
        Arrow(&d, 1020, 1);
        Arrow(&d, 1016, -2);
        Type(&d, 1002, "10");
        Arrow(&d, 1001, 1);
        Arrow(&d, 1001, -1);
        Type(&d, 1004, "0");
        Arrow(&d, 1006, -1);
        Arrow(&d, 1009, 1);
        FindControl<QRadioButton>(&d, 1193)->click();
        EXPECT_EQ(Texts(&d, {1021, 1017, 1019, 1015, 1002, 1004, 1010}),
                  "1021=3.3 1017=1.22949 1019=3.09375 1015=0.479492 1002=9 1004=0 1010=1");
        EXPECT_EQ(state.currentLoopModel.rsRaw, 491) << "the loop words change at once";
        FindControl<QPushButton>(&d, 1)->click();
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(blockWritten());
        EXPECT_EQ(boxTexts(),
                  (std::vector<std::string>{"Please enter an integer between 0 and 2."}));
        Type(&d, 1007, "2");
    };
    choose(ID_MOTOR_BASIC_INFO);
    const uint16_t written[] = {422, 9, 1259, 491, 99, 77, 1, 0x0012, 10000, 0};
    for (uint16_t k = 0; k < 10; ++k) {
        EXPECT_EQ(drive->read(0x0210 + k), written[k]) << k;
    }
}

// Pole pairs 0 and pulse number 65535 from the drive: every way out closes at once, from
// the very field that holds nonsense, with no prompt and nothing written.
TEST_F(MotorDialogs, CancelTheCloseBoxAndEscapeCloseWithoutAPrompt) {
    const std::function<void(QDialog&)> closers[] = {
        [](QDialog& d) { Click(FindControl<QPushButton>(&d, 2)); },
        [](QDialog& d) { d.close(); },
        [](QDialog& d) { QTest::keyClick(FindControl<QWidget>(&d, 1002), Qt::Key_Escape); },
    };
    start();
    connectWithBlock({320, 0, 0, 0, 0, 0, 0, 0, 65535, 0});
    for (const auto& close : closers) {
        whileOpen = [&](QDialog& d) {
            Activate(d);
            Click(FindControl<QWidget>(&d, 1002));
            close(d);
            EXPECT_FALSE(d.isVisible());
        };
        choose(ID_MOTOR_BASIC_INFO);
    }
    QApplication::processEvents();
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(blockWritten());
}

// With nonsense in the block and a field just typed into, a click on "Auto Match" starts
// the match on a worker; the window locks what it must, ignores Escape and answers the
// question (or the user closes it with Escape), and can be closed after.
TEST_F(MotorDialogs, AutoMatchLocksTheDialogAndAsksOnTheWindowsThread) {
    for (const bool answer : {true, false}) {
        SCOPED_TRACE(answer ? "answered CCW" : "Escape");
        app.reset();
        context.reset();
        start();
        connectWithBlock({320, 0, 1259, 512, 96, 77, 0, 0, 65535, 0});
        std::optional<AutoMatchResult> result;
        QWidget* motorDialog = nullptr;
        whileOpen = [&](QDialog& d) {
            if (auto* magnet = qobject_cast<CMagnetDirectionDlg*>(&d)) {
                // Confirmed only once chosen: clockwise, then counter-clockwise, answers 0.
                EXPECT_EQ(Texts(magnet, {1196, 1197}) + (Enabled(magnet, 1) ? " OK" : ""),
                          "1196=off 1197=off");
                if (answer) {
                    FindControl<QRadioButton>(magnet, 1197)->click();
                    FindControl<QRadioButton>(magnet, 1196)->click();
                }
                answer ? FindControl<QPushButton>(magnet, 1)->click() : magnet->reject();
                EXPECT_FALSE(magnet->isVisible()) << "OK works once a direction is chosen";
                return;
            }
            auto& dlg = static_cast<CMotorSettingDlg&>(d);
            motorDialog = &d;
            QObject::connect(&dlg, &CMotorSettingDlg::matchFinished,
                             [&](const AutoMatchResult& r) { result = r; });
            Activate(d);
            Click(FindControl<QLineEdit>(&d, 1021));
            QTest::keyClicks(FindControl<QLineEdit>(&d, 1021), QStringLiteral("3"));
            Click(FindControl<QPushButton>(&d, 1175));
            EXPECT_TRUE(!Enabled(&d, 1) && !Enabled(&d, 2) && !Enabled(&d, 1002) &&
                        !Enabled(&d, 1001) && !Enabled(&d, 1193) && Enabled(&d, 1017) &&
                        !Enabled(&d, 1175) && FindControl<QProgressBar>(&d, 1174)->isVisible());
            dlg.reject();  // Escape
            EXPECT_TRUE(d.isVisible());
            ASSERT_TRUE(RunEventsUntil([&] { return result.has_value(); }));
            EXPECT_EQ(Texts(&d, {1195, 1002, 1003, 1004, 1010}),
                      answer ? "1195=Auto match succed! 1002=4 1003=10000 1004=1234 1010=0"
                             : "1195=Auto match fails! 1002=4 1003=65535 1004=0 1010=0");
            EXPECT_EQ(FindControl<QProgressBar>(&d, 1174)->value(), answer ? 100 : 0);
            EXPECT_TRUE(Enabled(&d, 1) && Enabled(&d, 2) && Enabled(&d, 1002) && Enabled(&d, 1175));
            d.reject();
        };
        choose(ID_MOTOR_BASIC_INFO);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, answer ? kStatusOk : kMatchNoDirection);
        EXPECT_EQ(drive->read(0x0219), answer ? 1234 : 0) << "written by the match, not Cancel";
        EXPECT_EQ(boxTexts(), std::vector<std::string>(answer ? 0 : 1, "Invalid Direction Input!"));
        EXPECT_TRUE(answer || boxes[0].owner == motorDialog) << "raised on the dialog's thread";
    }
}

TEST_F(MotorDialogs, EncoderFixingFreezesWithTheCurrentShownAndShowsThePosition) {
    start();
    connectDrive();
    whileOpen = [&](QDialog& d) {
        auto& dlg = static_cast<CEncoderFixingDlg&>(d);
        EXPECT_EQ(Texts(&d, {1198}), "1198=3");
        Arrow(&d, 1197, 1);
        FindControl<QPushButton>(&d, 32802)->click();
        EXPECT_EQ(sim::MotorOf(*drive)->state().current, 4 * 128) << "held with the 4 A shown";
        FindControl<QPushButton>(&d, 32803)->click();
        EXPECT_EQ(sim::MotorOf(*drive)->state().mode, sim::SimMotorMode::Off);
        drive->write(0x0011, 0x1234);
        drive->write(0x0012, 0x0001);
        dlg.poll();
        EXPECT_EQ(Texts(&d, {1200}), "1200=4660");
        // Without an open port the window does not block on exchanges that cannot work.
        state.link.portOpen = 0;
        const uint64_t requests = drive->requestCount();
        dlg.poll();
        EXPECT_EQ(Texts(&d, {1200}), "1200=65535");
        EXPECT_EQ(drive->requestCount(), requests);

        Arrow(&d, 1197, -4);
        EXPECT_EQ(dlg.freezeCurrent(), 1);
        auto* edit = FindControl<QLineEdit>(&d, 1198);
        for (const char* typed : {"10", "11"}) {
            edit->setText(typed);
            emit edit->textEdited(edit->text());
            Arrow(&d, 1197, 1);
        }
        EXPECT_EQ(dlg.freezeCurrent(), 10) << "the last valid value, and no further up";
        d.reject();
    };
    choose(ID_ENCODER_FIXING);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Please enter an integer between 1 and 10."}));
}

TEST_F(MotorDialogs, ClosingWithTheFocusInAnEditIsSafe) {
    start();
    auto* dialog = new CMotorSettingDlg(*context, frame());
    ASSERT_TRUE(dialog->prepare());
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    FindControl<QLineEdit>(dialog, 1021)->setFocus();
    QApplication::processEvents();
    // Tearing the window down takes the focus from the edit: its commit must not run on
    // a half-destroyed dialog.
    delete dialog;
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace qx::test
