// The motor setup's dialogs in the running window program: the motor data dialog with
// its edits, arrows and range checks, a whole automatic match on the worker with the
// direction question answered (or not) on the user-interface thread, the encoder fixing
// dialog and the magnet direction question.

#include <gtest/gtest.h>

#include <QEventLoop>
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
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;
using Bytes = std::vector<uint8_t>;

// A match on the virtual clock takes a fraction of a second; this only keeps a broken
// test from hanging.
constexpr int kMatchSafetyMs = 60000;

QString Text(QWidget* dialog, int id) {
    if (auto* edit = FindControl<QLineEdit>(dialog, id)) {
        return edit->text();
    }
    return FindControl<QLabel>(dialog, id)->text();
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

Bytes LastPayload(const sim::SimDrive& drive) {
    const auto f = drive.requestLog().back();
    return Bytes(f.begin() + 4, f.end() - 2);
}

class MotorDialogs : public ShellTest {
  protected:
    void connectDrive() {
        ShellTest::connectDrive();
        drive->clearRequestLog();
    }
    void putBlock(std::array<uint16_t, 10> words) {
        for (uint16_t k = 0; k < 10; ++k) {
            drive->write(0x0210 + k, words[k]);
        }
    }
};

TEST_F(MotorDialogs, WithoutADriveTheDefaultsShowAndOkSendsNothing) {
    start();
    whileOpen = [&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Motor Setting"));
        EXPECT_EQ(Text(&d, 1002), "4");
        EXPECT_EQ(Text(&d, 1003), "10000");
        for (const int id : {1010, 1007, 1011, 1013, 1004}) {
            EXPECT_EQ(Text(&d, id), "0") << id;
        }
        for (const int id : {1021, 1015, 1017, 1019}) {
            EXPECT_EQ(Text(&d, id), "0") << id;
        }
        EXPECT_TRUE(FindControl<QRadioButton>(&d, 1193)->isChecked());
        EXPECT_FALSE(FindControl<QRadioButton>(&d, 1194)->isChecked());
        EXPECT_TRUE(FindControl<QProgressBar>(&d, 1174)->isHidden());
        EXPECT_EQ(Text(&d, 1195), "");
    };
    choose(ID_MOTOR_BASIC_INFO);
    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_TRUE(drive->requestLog().empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MotorDialogs, AZTypeOfThreeFromTheDriveMustBeCorrectedBeforeOk) {
    start();
    connectDrive();
    putBlock({384, 4, 1259, 512, 96, 77, 0, 0x001B, 10000, 4321});
    bool stayedOpen = false;
    whileOpen = [&](QDialog& d) {
        EXPECT_EQ(Text(&d, 1013), "1");
        EXPECT_TRUE(FindControl<QRadioButton>(&d, 1194)->isChecked());
        EXPECT_EQ(Text(&d, 1011), "0");
        EXPECT_EQ(Text(&d, 1007), "3");
        EXPECT_EQ(Text(&d, 1021), "3");
        EXPECT_EQ(Text(&d, 1017), "1.22949");
        FindControl<QPushButton>(&d, 1)->click();
        stayedOpen = d.isVisible();
        EXPECT_EQ(boxTexts(),
                  (std::vector<std::string>{"Please enter an integer between 0 and 2."}));
        FindControl<QLineEdit>(&d, 1007)->setText("2");
    };
    const auto before = drive->requestLog().size();
    choose(ID_MOTOR_BASIC_INFO);
    EXPECT_TRUE(stayedOpen);
    EXPECT_GT(drive->requestLog().size(), before);
    EXPECT_EQ(drive->read(0x0217), 0x001A);  // UVW 1, less-wire, Z type 2
    EXPECT_EQ(drive->read(0x0215), 77);      // carried through
}

TEST_F(MotorDialogs, FloatEditsAndArrowsStayOnTheWordGrid) {
    start();
    connectDrive();
    putBlock({0, 4, 0, 0, 0, 0, 0, 0, 10000, 0});
    whileOpen = [&](QDialog& d) {
        auto& dlg = static_cast<CMotorSettingDlg&>(d);
        Type(&d, 1017, "1.23");
        EXPECT_EQ(state.currentLoopModel.lsRaw, 1259);
        EXPECT_EQ(Text(&d, 1017), "1.22949");
        Type(&d, 1021, "3.3");
        EXPECT_EQ(dlg.fields().ratedCurrentRaw, 422);
        EXPECT_EQ(Text(&d, 1021), "3.3");  // its own text is left as typed
        Arrow(&d, 1020, 1);
        EXPECT_EQ(Text(&d, 1019), "0.09375");
        EXPECT_EQ(state.currentLoopModel.keRaw, 3);
        Arrow(&d, 1016, -1);
        EXPECT_EQ(state.currentLoopModel.rsRaw, -10);

        Type(&d, 1002, "10");
        Arrow(&d, 1001, 1);
        EXPECT_EQ(Text(&d, 1002), "10");
        Arrow(&d, 1001, -1);
        EXPECT_EQ(Text(&d, 1002), "9");
        Type(&d, 1004, "0");
        Arrow(&d, 1006, -1);
        EXPECT_EQ(Text(&d, 1004), "0");
        FindControl<QRadioButton>(&d, 1194)->click();
        EXPECT_EQ(dlg.fields().encoderType, 1);
        dlg.reject();  // Cancel: the drive keeps its block
    };
    choose(ID_MOTOR_BASIC_INFO);
    EXPECT_EQ(drive->read(0x0212), 0);
    // ... but the loop words changed at once and stay changed.
    EXPECT_EQ(state.currentLoopModel.lsRaw, 1259);
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
    connectDrive();
    putBlock({320, 0, 0, 0, 0, 0, 0, 0, 65535, 0});
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
    for (const auto& f : drive->requestLog()) {
        EXPECT_FALSE(f[1] == 0xC1 && f[5] == 0x15) << "a write";
    }
}

// With the same nonsense in the block, leaving a good field checks that field only and
// the click lands where it was aimed; "Auto Match" starts whatever its fields hold.
TEST_F(MotorDialogs, LeavingAFieldChecksItAloneAndAutoMatchAlwaysStarts) {
    start();
    connectDrive();
    putBlock({320, 0, 0, 0, 0, 0, 0, 0, 65535, 0});
    std::optional<AutoMatchResult> match;
    whileOpen = [&](QDialog& d) {
        if (auto* magnet = qobject_cast<CMagnetDirectionDlg*>(&d)) {
            FindControl<QRadioButton>(magnet, 1196)->click();
            return;
        }
        Activate(d);
        auto* rated = FindControl<QLineEdit>(&d, 1021);
        Click(rated);
        rated->selectAll();
        QTest::keyClicks(rated, QStringLiteral("3.3"));
        Click(FindControl<QWidget>(&d, 1002));
        EXPECT_TRUE(FindControl<QWidget>(&d, 1002)->hasFocus());
        EXPECT_EQ(static_cast<CMotorSettingDlg&>(d).fields().ratedCurrentRaw, 422);
        QObject::connect(static_cast<CMotorSettingDlg*>(&d), &CMotorSettingDlg::matchFinished,
                         [&](const AutoMatchResult& r) { match = r; });
        Click(FindControl<QPushButton>(&d, 1175));
        ASSERT_TRUE(RunEventsUntil([&] { return match.has_value(); }));
        d.reject();
    };
    choose(ID_MOTOR_BASIC_INFO);
    ASSERT_TRUE(match);
    EXPECT_TRUE(match->succeeded());
    EXPECT_TRUE(boxes.empty());
}

// Runs a match from the dialog: `answer` handles the direction question.
struct MatchRun {
    std::optional<AutoMatchResult> result;
    bool lockedDuring = false;
    bool ignoredEscape = false;
    int questions = 0;
};

void RunMatch(QDialog& d, MatchRun& run) {
    auto& dlg = static_cast<CMotorSettingDlg&>(d);
    QEventLoop loop;
    QObject::connect(&dlg, &CMotorSettingDlg::matchFinished, &loop, [&](const AutoMatchResult& r) {
        run.result = r;
        loop.quit();
    });
    QTimer::singleShot(kMatchSafetyMs, &loop, &QEventLoop::quit);
    FindControl<QPushButton>(&d, 1175)->click();
    run.lockedDuring = !Enabled(&d, 1) && !Enabled(&d, 2) && !Enabled(&d, 1002) &&
                       !Enabled(&d, 1193) && Enabled(&d, 1017) && !Enabled(&d, 1175) &&
                       FindControl<QProgressBar>(&d, 1174)->isVisible();
    dlg.reject();  // Escape
    run.ignoredEscape = dlg.isVisible();
    if (dlg.matchRunning()) {
        loop.exec();
    }
}

TEST_F(MotorDialogs, AutoMatchRunsOnAWorkerWhileTheWindowAnswersTheQuestion) {
    start();
    connectDrive();
    putBlock({320, 4, 1259, 512, 96, 77, 0, 0, 10000, 0});
    MatchRun run;
    whileOpen = [&](QDialog& d) {
        if (auto* magnet = qobject_cast<CMagnetDirectionDlg*>(&d)) {
            ++run.questions;
            EXPECT_EQ(magnet->windowTitle(), QStringLiteral("Search Magnetic direction..."));
            FindControl<QRadioButton>(magnet, 1196)->click();  // CCW; runDialog presses OK
            return;
        }
        RunMatch(d, run);
        EXPECT_EQ(Text(&d, 1195), "Auto match succed!");
        EXPECT_EQ(FindControl<QProgressBar>(&d, 1174)->value(), 100);
        EXPECT_TRUE(Enabled(&d, 1) && Enabled(&d, 2) && Enabled(&d, 1002) && Enabled(&d, 1175));
        EXPECT_EQ(Text(&d, 1002), "4");
        EXPECT_EQ(Text(&d, 1003), "10000");
        EXPECT_EQ(Text(&d, 1004), "1234");
    };
    choose(ID_MOTOR_BASIC_INFO);
    ASSERT_TRUE(run.result);
    EXPECT_TRUE(run.result->succeeded());
    EXPECT_TRUE(run.lockedDuring);
    EXPECT_TRUE(run.ignoredEscape);
    EXPECT_EQ(run.questions, 1);
    EXPECT_EQ(state.magnetDirectionAnswer, 0);
    EXPECT_EQ(boxTexts(), std::vector<std::string>{});
    EXPECT_EQ(drive->read(0x0219), 1234);
}

TEST_F(MotorDialogs, EscapeAtTheQuestionFailsTheMatchAndLeavesTheDialogClosable) {
    start();
    connectDrive();
    putBlock({320, 4, 0, 0, 0, 0, 0, 0, 10000, 0});
    MatchRun run;
    QWidget* motorDialog = nullptr;
    whileOpen = [&](QDialog& d) {
        if (auto* magnet = qobject_cast<CMagnetDirectionDlg*>(&d)) {
            EXPECT_FALSE(Enabled(magnet, 1));  // nothing chosen yet
            magnet->reject();
            return;
        }
        motorDialog = &d;
        RunMatch(d, run);
        EXPECT_EQ(Text(&d, 1195), "Auto match fails!");
        EXPECT_EQ(FindControl<QProgressBar>(&d, 1174)->value(), 0);
        EXPECT_TRUE(Enabled(&d, 1) && Enabled(&d, 2) && Enabled(&d, 1175));
        d.reject();
    };
    choose(ID_MOTOR_BASIC_INFO);
    ASSERT_TRUE(run.result);
    EXPECT_EQ(run.result->status, kMatchNoDirection);
    ASSERT_EQ(boxTexts(), std::vector<std::string>{"Invalid Direction Input!"});
    EXPECT_EQ(boxes[0].owner, motorDialog);  // raised inside the dialog, on its thread
    EXPECT_EQ(LastPayload(*drive), (Bytes{0x00, 0x18, 0x00, 0x05}));  // servo off
}

TEST_F(MotorDialogs, WithoutADriveAutoMatchOnlyResetsTheFields) {
    start();
    whileOpen = [&](QDialog& d) {
        Type(&d, 1002, "7");
        MatchRun run;
        RunMatch(d, run);
        ASSERT_TRUE(run.result);
        EXPECT_EQ(run.result->status, kMatchNoDrive);
        EXPECT_EQ(Text(&d, 1195), "Auto match fails!");
        EXPECT_EQ(Text(&d, 1002), "4");
        EXPECT_EQ(Text(&d, 1003), "65535");
        EXPECT_TRUE(FindControl<QProgressBar>(&d, 1174)->isHidden());
        d.reject();
    };
    choose(ID_MOTOR_BASIC_INFO);
    EXPECT_TRUE(drive->requestLog().empty());
}

TEST_F(MotorDialogs, EncoderFixingFreezesReleasesAndShowsThePosition) {
    start();
    connectDrive();
    whileOpen = [&](QDialog& d) {
        auto& dlg = static_cast<CEncoderFixingDlg&>(d);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Encoder Fixing..."));
        EXPECT_EQ(Text(&d, 1198), "3");
        FindControl<QPushButton>(&d, 32802)->click();
        EXPECT_EQ(LastPayload(*drive), (Bytes{0x00, 0x18, 0x00, 0x02, 0x01, 0x80, 0x00, 0x01}));
        FindControl<QPushButton>(&d, 32803)->click();
        EXPECT_EQ(LastPayload(*drive), (Bytes{0x00, 0x18, 0x00, 0x05}));

        drive->write(0x0011, 0x1234);
        drive->write(0x0012, 0x0001);
        dlg.poll();
        EXPECT_EQ(Text(&d, 1200), "4660");
        drive->write(0x0012, 0x0000);
        dlg.poll();
        EXPECT_EQ(Text(&d, 1200), "65535");

        Arrow(&d, 1197, -1);
        Arrow(&d, 1197, -1);
        Arrow(&d, 1197, -1);
        EXPECT_EQ(dlg.freezeCurrent(), 1);
        auto* edit = FindControl<QLineEdit>(&d, 1198);
        edit->setText("10");
        emit edit->textEdited(edit->text());
        Arrow(&d, 1197, 1);
        EXPECT_EQ(dlg.freezeCurrent(), 10);
        edit->setText("11");
        emit edit->textEdited(edit->text());
        EXPECT_EQ(dlg.freezeCurrent(), 10);  // the last valid value is kept for a freeze
        d.reject();
    };
    choose(ID_ENCODER_FIXING);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Please enter an integer between 1 and 10."}));
}

TEST_F(MotorDialogs, EncoderFixingWithoutAPortShowsTheMarkerAndSendsNothing) {
    start();
    whileOpen = [&](QDialog& d) {
        static_cast<CEncoderFixingDlg&>(d).poll();
        EXPECT_EQ(Text(&d, 1200), "65535");
        d.reject();
    };
    choose(ID_ENCODER_FIXING);
    EXPECT_TRUE(drive->requestLog().empty());
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

TEST_F(MotorDialogs, TheDirectionCanOnlyBeConfirmedOnceChosen) {
    start();
    CMagnetDirectionDlg dialog(*context, frame());
    ASSERT_TRUE(dialog.prepare());
    EXPECT_FALSE(Enabled(&dialog, 1));
    EXPECT_FALSE(FindControl<QRadioButton>(&dialog, 1196)->isChecked());
    EXPECT_FALSE(FindControl<QRadioButton>(&dialog, 1197)->isChecked());
    FindControl<QRadioButton>(&dialog, 1197)->click();
    EXPECT_TRUE(Enabled(&dialog, 1));
    EXPECT_EQ(state.magnetDirectionAnswer, 1);
    FindControl<QRadioButton>(&dialog, 1196)->click();
    EXPECT_EQ(state.magnetDirectionAnswer, 0);
}

}  // namespace
}  // namespace qx::test
