// The motor setup's dialogs in the running window program, for what the windows alone
// decide: which field shows what, the range checks of OK and of a field left, ways out
// that never trap, the controls a match locks, the question answered on the window's
// thread, the encoder fixing's buttons and arrows, and the direction question.

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

QString Text(QWidget* dialog, int id) {
    auto* edit = FindControl<QLineEdit>(dialog, id);
    return edit != nullptr ? edit->text() : FindControl<QLabel>(dialog, id)->text();
}

// "1002=4 1003=10000 ..." for the controls named.
std::string Texts(QWidget* dialog, std::initializer_list<int> ids) {
    std::string s;
    for (const int id : ids) {
        s += (s.empty() ? "" : " ") + std::to_string(id) + "=" + Text(dialog, id).toStdString();
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

bool Checked(QWidget* dialog, int id) {
    return FindControl<QRadioButton>(dialog, id)->isChecked();
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
    Bytes lastPayload() const {
        const auto f = drive->requestLog().back();
        return Bytes(f.begin() + 4, f.end() - 2);
    }
};

// Runs a match from the dialog, noting whether the window locked what it must and
// ignored Escape meanwhile.
struct MatchRun {
    std::optional<AutoMatchResult> result;
    bool lockedDuring = false;
    bool ignoredEscape = false;
};

void RunMatch(QDialog& d, MatchRun& run) {
    auto& dlg = static_cast<CMotorSettingDlg&>(d);
    QEventLoop loop;
    QObject::connect(&dlg, &CMotorSettingDlg::matchFinished, &loop, [&](const AutoMatchResult& r) {
        run.result = r;
        loop.quit();
    });
    QTimer::singleShot(60'000, &loop, &QEventLoop::quit);  // only keeps a broken test from hanging
    ShellTest::Click(FindControl<QPushButton>(&d, 1175));
    run.lockedDuring = !Enabled(&d, 1) && !Enabled(&d, 2) && !Enabled(&d, 1002) &&
                       !Enabled(&d, 1001) && !Enabled(&d, 1193) && Enabled(&d, 1017) &&
                       !Enabled(&d, 1175) && FindControl<QProgressBar>(&d, 1174)->isVisible();
    dlg.reject();  // Escape
    run.ignoredEscape = dlg.isVisible();
    if (dlg.matchRunning()) {
        loop.exec();
    }
}

TEST_F(MotorDialogs, WithoutADriveTheDefaultsShowOkSendsNothingAndAutoMatchOnlyResets) {
    start();
    whileOpen = [&](QDialog& d) {
        EXPECT_EQ(Texts(&d, {1002, 1003, 1010, 1007, 1011, 1013, 1004, 1021, 1015, 1017, 1019}),
                  "1002=4 1003=10000 1010=0 1007=0 1011=0 1013=0 1004=0 1021=0 1015=0 1017=0 "
                  "1019=0");
        EXPECT_TRUE(Checked(&d, 1193) && !Checked(&d, 1194));
        EXPECT_TRUE(FindControl<QProgressBar>(&d, 1174)->isHidden());
        Type(&d, 1002, "7");
        MatchRun run;
        RunMatch(d, run);
        ASSERT_TRUE(run.result);
        EXPECT_EQ(Texts(&d, {1195, 1002, 1003}), "1195=Auto match fails! 1002=4 1003=65535");
        EXPECT_TRUE(FindControl<QProgressBar>(&d, 1174)->isHidden());
        Type(&d, 1003, "10000");
    };
    choose(ID_MOTOR_BASIC_INFO);
    EXPECT_EQ(dialogsOpened, 1);
    EXPECT_TRUE(drive->requestLog().empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MotorDialogs, AZTypeOfThreeFromTheDriveMustBeCorrectedBeforeOk) {
    start();
    connectWithBlock({384, 4, 1259, 512, 96, 77, 0, 0x001B, 10000, 4321});
    bool stayedOpen = false;
    whileOpen = [&](QDialog& d) {
        EXPECT_EQ(Texts(&d, {1013, 1011, 1007, 1021, 1017, 1015, 1019, 1003, 1004}),
                  "1013=1 1011=0 1007=3 1021=3 1017=1.22949 1015=0.5 1019=3 1003=10000 1004=4321");
        EXPECT_TRUE(Checked(&d, 1194));
        FindControl<QPushButton>(&d, 1)->click();
        stayedOpen = d.isVisible();
        EXPECT_FALSE(blockWritten());
        EXPECT_EQ(boxTexts(),
                  (std::vector<std::string>{"Please enter an integer between 0 and 2."}));
        FindControl<QLineEdit>(&d, 1007)->setText("2");
    };
    choose(ID_MOTOR_BASIC_INFO);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(drive->read(0x0217), 0x001A);  // UVW 1, less-wire, Z type 2
    EXPECT_EQ(drive->read(0x0215), 77);      // carried through
}

TEST_F(MotorDialogs, EditsArrowsAndRadiosSetTheirFieldsAndCancelWritesNothing) {
    start();
    connectWithBlock({0, 0, 0, 0, 0, 0, 0, 0, 65535, 0});
    whileOpen = [&](QDialog& d) {
        auto& dlg = static_cast<CMotorSettingDlg&>(d);
        // Leaving a field checks that field alone: the click that leaves it lands.
        Activate(d);
        Click(FindControl<QLineEdit>(&d, 1021));
        FindControl<QLineEdit>(&d, 1021)->selectAll();
        QTest::keyClicks(FindControl<QLineEdit>(&d, 1021), QStringLiteral("3.3"));
        Click(FindControl<QWidget>(&d, 1002));
        EXPECT_TRUE(FindControl<QWidget>(&d, 1002)->hasFocus());
        Type(&d, 1017, "1.23");
        Arrow(&d, 1020, 1);
        Arrow(&d, 1016, -1);
        EXPECT_EQ(Texts(&d, {1017, 1021, 1019, 1015}),
                  "1017=1.22949 1021=3.3 1019=0.09375 1015=-0.00976562");
        EXPECT_EQ(dlg.fields().ratedCurrentRaw, 422);  // its own text is left as typed
        const CurrentLoopModel& m = state.currentLoopModel;
        EXPECT_EQ(std::make_tuple(m.lsRaw, m.keRaw, m.rsRaw), std::make_tuple(1259, 3, -10));

        Type(&d, 1002, "10");
        Arrow(&d, 1001, 1);
        Type(&d, 1004, "0");
        Arrow(&d, 1006, -1);
        Arrow(&d, 1009, 1);
        EXPECT_EQ(Texts(&d, {1002, 1004, 1010}), "1002=10 1004=0 1010=1");
        Arrow(&d, 1001, -1);
        EXPECT_EQ(Text(&d, 1002), "9");
        FindControl<QRadioButton>(&d, 1194)->click();
        EXPECT_EQ(dlg.fields().encoderType, 1);
        FindControl<QRadioButton>(&d, 1193)->click();
        EXPECT_EQ(dlg.fields().encoderType, 0);
        dlg.reject();
    };
    choose(ID_MOTOR_BASIC_INFO);
    EXPECT_FALSE(blockWritten());
    EXPECT_EQ(state.currentLoopModel.lsRaw, 1259) << "the loop words changed at once";
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

// With pole pairs 0 and pulse number 65535 in the block and a field just typed into, a
// click on "Auto Match" starts the match; it runs on a worker while the window answers
// its question (or the user closes the question with Escape), and the dialog can be
// closed afterwards either way.
TEST_F(MotorDialogs, AutoMatchLocksTheDialogAndAsksOnTheWindowsThread) {
    for (const bool answer : {true, false}) {
        SCOPED_TRACE(answer ? "answered CCW" : "Escape");
        boxes.clear();
        app.reset();
        context.reset();
        start();
        connectWithBlock({320, 0, 1259, 512, 96, 77, 0, 0, 65535, 0});
        MatchRun run;
        QWidget* motorDialog = nullptr;
        whileOpen = [&](QDialog& d) {
            if (auto* magnet = qobject_cast<CMagnetDirectionDlg*>(&d)) {
                if (answer) {
                    FindControl<QRadioButton>(magnet, 1196)->click();  // runDialog presses OK
                } else {
                    magnet->reject();
                }
                return;
            }
            motorDialog = &d;
            Activate(d);
            Click(FindControl<QLineEdit>(&d, 1021));
            QTest::keyClicks(FindControl<QLineEdit>(&d, 1021), QStringLiteral("3"));
            RunMatch(d, run);
            EXPECT_EQ(Texts(&d, {1195, 1002, 1003, 1004}),
                      answer ? "1195=Auto match succed! 1002=4 1003=10000 1004=1234"
                             : "1195=Auto match fails! 1002=4 1003=65535 1004=0");
            EXPECT_EQ(FindControl<QProgressBar>(&d, 1174)->value(), answer ? 100 : 0);
            EXPECT_TRUE(Enabled(&d, 1) && Enabled(&d, 2) && Enabled(&d, 1002) && Enabled(&d, 1175));
            d.reject();
        };
        choose(ID_MOTOR_BASIC_INFO);
        ASSERT_TRUE(run.result);
        EXPECT_EQ(run.result->status, answer ? kStatusOk : kMatchNoDirection);
        EXPECT_TRUE(run.lockedDuring);
        EXPECT_TRUE(run.ignoredEscape);
        if (answer) {
            EXPECT_TRUE(boxes.empty());
            EXPECT_EQ(drive->read(0x0219), 1234) << "written by the match, not by Cancel";
        } else {
            ASSERT_EQ(boxTexts(), std::vector<std::string>{"Invalid Direction Input!"});
            EXPECT_EQ(boxes[0].owner, motorDialog);  // raised inside the dialog, on its thread
        }
    }
}

TEST_F(MotorDialogs, EncoderFixingFreezesWithTheCurrentShownAndShowsThePosition) {
    start();
    connectDrive();
    whileOpen = [&](QDialog& d) {
        auto& dlg = static_cast<CEncoderFixingDlg&>(d);
        EXPECT_EQ(Text(&d, 1198), "3");
        Arrow(&d, 1197, 1);
        FindControl<QPushButton>(&d, 32802)->click();
        EXPECT_EQ(lastPayload(), (Bytes{0x00, 0x18, 0x00, 0x02, 0x02, 0x00, 0x00, 0x01}));
        FindControl<QPushButton>(&d, 32803)->click();
        EXPECT_EQ(lastPayload(), (Bytes{0x00, 0x18, 0x00, 0x05}));

        drive->write(0x0011, 0x1234);
        drive->write(0x0012, 0x0001);
        dlg.poll();
        EXPECT_EQ(Text(&d, 1200), "4660");
        // Without an open port the window does not block on exchanges that cannot work.
        state.link.portOpen = 0;
        const uint64_t requests = drive->requestCount();
        dlg.poll();
        EXPECT_EQ(Text(&d, 1200), "65535");
        EXPECT_EQ(drive->requestCount(), requests);

        for (int k = 0; k < 4; ++k) {
            Arrow(&d, 1197, -1);
        }
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
    EXPECT_FALSE(Checked(&dialog, 1196) || Checked(&dialog, 1197));
    FindControl<QRadioButton>(&dialog, 1197)->click();
    EXPECT_TRUE(Enabled(&dialog, 1));
    EXPECT_EQ(state.magnetDirectionAnswer, 1);
    FindControl<QRadioButton>(&dialog, 1196)->click();
    EXPECT_EQ(state.magnetDirectionAnswer, 0);
}

}  // namespace
}  // namespace qx::test
