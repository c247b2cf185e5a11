// The conventions every dialog is built on: data exchange with the standard prompts,
// edits that commit on losing the focus, arrows that report a delta, dialog units from
// the font used, and dialogs that may end before they are seen.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "app/SharedState.h"
#include "app/ui/CommitLineEdit.h"
#include "app/ui/DataExchange.h"
#include "app/ui/DeltaSpin.h"
#include "app/ui/DialogUnits.h"
#include "app/ui/GuiContext.h"
#include "app/ui/ModalDialog.h"
#include "link/Clock.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/RecordingMessageSink.h"

namespace qx::test {
namespace {

using namespace qx::ui;

// Text typed, read as an int, a float or a double with a range check: the value stored,
// or the prompt and the value left as it was. Numbers take the point whatever the locale.
TEST(DataExchangeTest, TextsAreReadAndCheckedAsTheFrameworkDoesIt) {
    TestApplication();
    const struct {
        char kind;  // 'i', 'f' or 'd'
        const char* text;
        double min, max, stored;
        const char* prompt;
    } rows[] = {
        {'i', "  42 ", 1, 1024, 42, ""},
        {'i', "+7", -10, 10, 7, ""},
        {'i', "-3", -10, 10, -3, ""},
        {'i', "", 1, 1024, 11, "Please enter an integer."},
        {'i', "12x", 1, 1024, 11, "Please enter an integer."},
        {'i', "1.5", 1, 1024, 11, "Please enter an integer."},
        {'i', "- 3", 1, 1024, 11, "Please enter an integer."},
        {'i', "0x10", 1, 1024, 11, "Please enter an integer."},
        // Too long for 32 bits: saturated, stored, then refused by the range.
        {'i', "99999999999", 1, 1024, 2147483647, "Please enter an integer between 1 and 1024."},
        {'i', "5000", 1, 1000, 5000, "Please enter an integer between 1 and 1000."},
        {'f', " 0.5 ", 0.01, 10, 0.5, ""},
        {'f', "1,5", 0.01, 10, 11, "Please enter a number."},
        {'f', "20", 0.01, 10, 20, "Please enter a number between 0.01 and 10."},
        {'d', "-2.5", -1, 1, -2.5, "Please enter a number between -1 and 1."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        QLineEdit edit(QString::fromLatin1(row.text));
        RecordingMessageSink prompts;
        int i = 11;
        float f = 11;
        double d = 11;
        DataExchange dx(prompts, true);
        if (row.kind == 'i') {
            dx.text(&edit, i);
            dx.minMax(i, static_cast<int>(row.min), static_cast<int>(row.max));
        } else if (row.kind == 'f') {
            dx.text(&edit, f);
            dx.minMax(f, static_cast<float>(row.min), static_cast<float>(row.max));
        } else {
            dx.text(&edit, d);
            dx.minMax(d, row.min, row.max);
        }
        EXPECT_EQ(row.kind == 'i' ? i : (row.kind == 'f' ? f : d), row.stored);
        EXPECT_EQ(dx.failed(), *row.prompt != '\0');
        EXPECT_EQ(prompts.boxes(), std::vector<RecordingMessageSink::Box>(
                                       *row.prompt != '\0' ? 1 : 0, {row.prompt, "Quendrix"}));
    }
}

// The exchange stops at the first refusal and gives that field the focus, its text
// selected; loading shows values as the framework prints them and checks nothing.
TEST(DataExchangeTest, TheFirstRefusalStopsTheExchangeAndLoadingNeverFails) {
    TestApplication();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first = new QLineEdit(QStringLiteral("5000"));
    auto* second = new QLineEdit(QStringLiteral("7"));
    auto* other = new QPushButton;
    for (QWidget* w : std::initializer_list<QWidget*>{first, second, other}) {
        layout->addWidget(w);
    }
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    RecordingMessageSink prompts;
    int cutoff = 0;
    int kp = 0;
    DataExchange dx(prompts, true);
    dx.text(first, cutoff);
    dx.minMax(cutoff, 1, 1000);
    dx.text(second, kp);
    dx.minMax(kp, 1, 65535);
    EXPECT_EQ(std::make_tuple(cutoff, kp, prompts.boxes().size()), std::make_tuple(5000, 0, 1u));
    EXPECT_TRUE(first->hasFocus());
    EXPECT_EQ(first->selectedText(), QStringLiteral("5000"));

    QLabel label;
    QLineEdit a, b, c;
    QString text = QStringLiteral("The FPGA Version is 258.");
    float f = 0.96f;
    double d = 0.1;
    int i = -12;
    QRadioButton r0, r1;
    r0.setAutoExclusive(false);
    r1.setAutoExclusive(false);
    int index = 1;
    DataExchange load(prompts, false);
    load.text(&label, text);
    load.text(&a, f);
    load.text(&b, d);
    load.text(&c, i);
    load.minMax(i, 0, 10);
    load.radio({&r0, &r1}, index);
    EXPECT_FALSE(load.failed());
    EXPECT_EQ(label.text() + "|" + a.text() + "|" + b.text() + "|" + c.text(),
              QStringLiteral("The FPGA Version is 258.|0.96|0.1|-12"));
    EXPECT_TRUE(r1.isChecked() && !r0.isChecked());
    r1.setChecked(false);
    DataExchange(prompts, true).radio({&r0, &r1}, index);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(prompts.boxes().size(), 1u);
}

class ConventionWidgetsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        edit = new CommitLineEdit;
        other = new QLineEdit;
        spin = new DeltaSpin;
        spin->setFixedSize(16, 24);
        layout->addWidget(edit);
        layout->addWidget(other);
        layout->addWidget(spin);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QApplication& application = TestApplication();
    QWidget window;
    CommitLineEdit* edit = nullptr;
    QLineEdit* other = nullptr;
    DeltaSpin* spin = nullptr;
};

// An edit commits when it loses the focus, not while typing; the up arrow reports -1,
// the down arrow +1, and neither takes the focus from the edit.
TEST_F(ConventionWidgetsTest, EditsCommitOnLeavingAndArrowsReportADelta) {
    QSignalSpy committed(edit, &CommitLineEdit::committed);
    QSignalSpy deltas(spin, &DeltaSpin::deltaPos);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("12"));
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() / 4));
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, 3 * spin->height() / 4));
    ASSERT_EQ(deltas.count(), 2);
    EXPECT_EQ(std::make_pair(deltas[0][0].toInt(), deltas[1][0].toInt()), std::make_pair(-1, 1));
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(committed.count(), 0);
    other->setFocus();
    EXPECT_EQ(committed.count(), 1);
}

// A unit across is a quarter of the font's average letter, a unit down an eighth of its
// line; half a pixel rounds up.
TEST_F(ConventionWidgetsTest, DialogUnitsComeFromTheFontActuallyUsed) {
    for (const int pixels : {11, 16, 23}) {
        QFont font = window.font();
        font.setPixelSize(pixels);
        const double average = QFontMetricsF(font).horizontalAdvance(QStringLiteral(
                                   "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                               52;
        const DialogUnits units(font);
        EXPECT_NEAR(units.baseX(), average, 0.5) << pixels;
        EXPECT_EQ(units.baseY(), QFontMetrics(font).height()) << pixels;
        EXPECT_EQ(units.rect(4, 8, 2, 16),
                  QRect(units.baseX(), units.baseY(), (units.baseX() + 1) / 2, 2 * units.baseY()));
    }
}

// A dialog with one validated field, that may end itself while it is set up.
class ProbeDialog : public ModalDialog {
  public:
    ProbeDialog(GuiContext& context, bool endAtOnce)
        : ModalDialog(context, nullptr), edit(new QLineEdit(this)), endAtOnce_(endAtOnce) {}
    QLineEdit* edit;
    int count = 5;
    int initCalls = 0;

  protected:
    void doDataExchange(DataExchange& dx) override {
        dx.text(edit, count);
        dx.minMax(count, 1, 1024);
    }
    void onInitDialog() override {
        if (++initCalls == 1 && endAtOnce_) {
            endDialog(241);
        }
    }

  private:
    bool endAtOnce_;
};

TEST(ModalDialogTest, EndedInItsSetUpItIsNeverShownAndOkValidatesWhereCancelEndsWithTwo) {
    TestApplication();
    SharedState state;
    VirtualClock clock;
    GuiContext context{state, clock, PortMap{}, nullptr};
    RecordingMessageSink prompts;
    context.setMessageSinkFactory([&](QWidget*) {
        struct Forward final : MessageSink {
            explicit Forward(RecordingMessageSink& s) : sink(s) {}
            void show(const std::string& t, const std::string& h) override { sink.show(t, h); }
            RecordingMessageSink& sink;
        };
        return std::make_unique<Forward>(prompts);
    });
    ProbeDialog ended(context, true);
    bool shown = false;
    QTimer::singleShot(0, &ended, [&] { shown = true; });
    EXPECT_EQ(ended.exec(), 241);
    EXPECT_FALSE(shown);
    EXPECT_EQ(ended.initCalls, 1);

    ProbeDialog dialog(context, false);
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(dialog.edit->text(), QStringLiteral("5"));  // loaded when it opened
        dialog.edit->setText(QStringLiteral("2000"));
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());  // refused: stays open
        dialog.edit->setText(QStringLiteral("64"));
        dialog.accept();
    });
    EXPECT_EQ(dialog.exec(), 1);
    EXPECT_EQ(dialog.count, 64);
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Please enter an integer between 1 and 1024."});
    ProbeDialog cancelled(context, false);
    QTimer::singleShot(0, &cancelled, [&] { cancelled.reject(); });
    EXPECT_EQ(cancelled.exec(), 2);
}

}  // namespace
}  // namespace qx::test
