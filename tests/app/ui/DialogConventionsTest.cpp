// The conventions every dialog is built on: data exchange with the standard prompts,
// edits that commit on losing the focus, arrows that report a delta, and dialogs that
// may end before they are seen.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

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

class DataExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override { TestApplication(); }

    // Saves `text` through an int exchange with a range check.
    bool saveInt(const QString& text, int& value, int minimum, int maximum) {
        edit.setText(text);
        DataExchange dx(prompts, true);
        dx.text(&edit, value);
        dx.minMax(value, minimum, maximum);
        return !dx.failed();
    }

    // Widget members need the application first, also when a test runs on its own.
    QApplication& application = TestApplication();
    RecordingMessageSink prompts;
    QLineEdit edit;
};

TEST_F(DataExchangeTest, AnIntegerOutOfRangeIsPromptedYetKept) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first = new QLineEdit(QStringLiteral("5000"));
    auto* second = new QLineEdit(QStringLiteral("7"));
    auto* other = new QPushButton;
    layout->addWidget(first);
    layout->addWidget(second);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();

    int cutoff = 0;
    int kp = 0;
    DataExchange dx(prompts, true);
    dx.text(first, cutoff);
    dx.minMax(cutoff, 1, 1000);
    dx.text(second, kp);  // skipped: the exchange stopped at the first refusal
    dx.minMax(kp, 1, 65535);

    EXPECT_TRUE(dx.failed());
    EXPECT_EQ(cutoff, 5000);
    EXPECT_EQ(kp, 0);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text, "Please enter an integer between 1 and 1000.");
    EXPECT_EQ(prompts.boxes()[0].title, "Quendrix");
    EXPECT_TRUE(first->hasFocus());
    EXPECT_EQ(first->selectedText(), QStringLiteral("5000"));
}

TEST_F(DataExchangeTest, IntegersAreReadAsTheFrameworkReadsThem) {
    int value = 11;
    EXPECT_TRUE(saveInt(QStringLiteral("  42 "), value, 1, 1024));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(saveInt(QStringLiteral("+7"), value, -10, 10));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(saveInt(QStringLiteral("-3"), value, -10, 10));
    EXPECT_EQ(value, -3);
    EXPECT_TRUE(prompts.boxes().empty());

    for (const char* bad : {"", "abc", "12x", "1.5", "- 3", "0x10"}) {
        prompts.clear();
        value = 11;
        EXPECT_FALSE(saveInt(QString::fromLatin1(bad), value, 1, 1024)) << bad;
        EXPECT_EQ(value, 11) << bad;
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Please enter an integer."}) << bad;
    }

    // Too long for 32 bits: saturated, then refused by the range with the usual prompt.
    prompts.clear();
    EXPECT_FALSE(saveInt(QStringLiteral("99999999999"), value, 1, 1024));
    EXPECT_EQ(value, 2147483647);
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Please enter an integer between 1 and 1024."});
}

TEST_F(DataExchangeTest, NumbersUseThePointWhateverTheLocaleAndTheStandardPrompts) {
    float f = 0.0f;
    edit.setText(QStringLiteral(" 0.5 "));
    {
        DataExchange dx(prompts, true);
        dx.text(&edit, f);
        dx.minMax(f, 0.01f, 10.0f);
        EXPECT_FALSE(dx.failed());
    }
    EXPECT_EQ(f, 0.5f);

    edit.setText(QStringLiteral("1,5"));
    {
        DataExchange dx(prompts, true);
        dx.text(&edit, f);
        EXPECT_TRUE(dx.failed());
    }
    EXPECT_EQ(f, 0.5f);

    edit.setText(QStringLiteral("20"));
    {
        DataExchange dx(prompts, true);
        dx.text(&edit, f);
        dx.minMax(f, 0.01f, 10.0f);
    }
    double d = 0.0;
    edit.setText(QStringLiteral("-2.5"));
    {
        DataExchange dx(prompts, true);
        dx.text(&edit, d);
        dx.minMax(d, -1.0, 1.0);
    }
    EXPECT_EQ(d, -2.5);
    EXPECT_EQ(prompts.texts(), (std::vector<std::string>{
                                   "Please enter a number.",
                                   "Please enter a number between 0.01 and 10.",
                                   "Please enter a number between -1 and 1.",
                               }));
}

TEST_F(DataExchangeTest, LoadingShowsValuesAsTheFrameworkPrintsThem) {
    QLabel label;
    QLineEdit a, b, c;
    QString text = QStringLiteral("The FPGA Version is 258.");
    float f = 0.96f;
    double d = 0.1;
    int i = -12;
    DataExchange dx(prompts, false);
    dx.text(&label, text);
    dx.text(&a, f);
    dx.text(&b, d);
    dx.text(&c, i);
    dx.minMax(i, 0, 10);  // never checked while loading
    EXPECT_FALSE(dx.failed());
    EXPECT_EQ(label.text(), text);
    EXPECT_EQ(a.text(), QStringLiteral("0.96"));
    EXPECT_EQ(b.text(), QStringLiteral("0.1"));
    EXPECT_EQ(c.text(), QStringLiteral("-12"));
    EXPECT_TRUE(prompts.boxes().empty());
}

TEST_F(DataExchangeTest, RadioGroupsExchangeTheCheckedIndex) {
    QRadioButton r0, r1, r2;
    r0.setAutoExclusive(false);
    r1.setAutoExclusive(false);
    r2.setAutoExclusive(false);
    const QList<QAbstractButton*> group = {&r0, &r1, &r2};
    int index = 2;
    DataExchange(prompts, false).radio(group, index);
    EXPECT_TRUE(r2.isChecked());
    EXPECT_FALSE(r0.isChecked());
    r2.setChecked(false);
    DataExchange(prompts, true).radio(group, index);
    EXPECT_EQ(index, -1);
}

class ConventionWidgetsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApplication();
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

TEST_F(ConventionWidgetsTest, AnEditCommitsWhenItLosesTheFocus) {
    QSignalSpy committed(edit, &CommitLineEdit::committed);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("12"));
    EXPECT_EQ(committed.count(), 0);
    other->setFocus();
    EXPECT_EQ(committed.count(), 1);
}

TEST_F(ConventionWidgetsTest, TheUpArrowReportsMinusOneAndTakesNoFocus) {
    QSignalSpy deltas(spin, &DeltaSpin::deltaPos);
    QSignalSpy committed(edit, &CommitLineEdit::committed);
    edit->setFocus();
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() / 4));
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, 3 * spin->height() / 4));
    ASSERT_EQ(deltas.count(), 2);
    EXPECT_EQ(deltas[0][0].toInt(), -1);
    EXPECT_EQ(deltas[1][0].toInt(), 1);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(committed.count(), 0);

    // The wheel does nothing; a handler stepping "value -= delta" goes up with the up arrow.
    int value = 10;
    QObject::connect(spin, &DeltaSpin::deltaPos, spin, [&](int delta) { value -= delta; });
    spin->stepBy(1);
    EXPECT_EQ(value, 11);
}

// A unit across is a quarter of the font's average letter, a unit down an eighth of its
// line.
TEST_F(ConventionWidgetsTest, DialogUnitsComeFromTheFontActuallyUsed) {
    for (const int pixels : {11, 16, 23}) {
        QFont font = window.font();
        font.setPixelSize(pixels);
        const QFontMetricsF metrics(font);
        const double average =
            metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                     "abcdefghijklmnopqrstuvwxyz")) /
            52;
        const DialogUnits units(font);
        EXPECT_NEAR(units.baseX(), average, 0.5) << pixels;
        EXPECT_EQ(units.baseY(), QFontMetrics(font).height()) << pixels;
        // Half a pixel rounds up.
        EXPECT_EQ(units.rect(4, 8, 2, 16),
                  QRect(units.baseX(), units.baseY(), (units.baseX() + 1) / 2, 2 * units.baseY()));
    }
}

// A dialog with one validated field, that may end itself while it is set up.
class ProbeDialog : public ModalDialog {
  public:
    ProbeDialog(GuiContext& context, bool endAtOnce)
        : ModalDialog(context, nullptr), endAtOnce_(endAtOnce) {
        edit = new QLineEdit(this);
    }
    QLineEdit* edit;
    int count = 5;
    int initCalls = 0;

  protected:
    void doDataExchange(DataExchange& dx) override {
        dx.text(edit, count);
        dx.minMax(count, 1, 1024);
    }
    void onInitDialog() override {
        ++initCalls;
        if (endAtOnce_) {
            endDialog(241);
        }
    }

  private:
    bool endAtOnce_;
};

class ModalDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestApplication();
        context.setMessageSinkFactory([this](QWidget*) {
            struct Forward final : MessageSink {
                explicit Forward(RecordingMessageSink& s) : sink(s) {}
                void show(const std::string& t, const std::string& h) override { sink.show(t, h); }
                RecordingMessageSink& sink;
            };
            return std::make_unique<Forward>(prompts);
        });
    }
    SharedState state;
    VirtualClock clock;
    GuiContext context{state, clock, PortMap{}, nullptr};
    RecordingMessageSink prompts;
};

TEST_F(ModalDialogTest, ADialogEndedDuringItsSetUpIsNeverShown) {
    ProbeDialog dialog(context, true);
    bool shown = false;
    QTimer::singleShot(0, &dialog, [&] { shown = true; });
    EXPECT_EQ(dialog.exec(), 241);
    EXPECT_FALSE(shown);
    EXPECT_EQ(dialog.initCalls, 1);
}

TEST_F(ModalDialogTest, OkValidatesAndCancelEndsWithTwo) {
    ProbeDialog dialog(context, false);
    int result = -1;
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(dialog.edit->text(), QStringLiteral("5"));  // loaded when it opened
        dialog.edit->setText(QStringLiteral("2000"));
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());  // refused: stays open
        dialog.edit->setText(QStringLiteral("64"));
        dialog.accept();
    });
    result = dialog.exec();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.count, 64);
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Please enter an integer between 1 and 1024."});

    ProbeDialog cancelled(context, false);
    QTimer::singleShot(0, &cancelled, [&] { cancelled.reject(); });
    EXPECT_EQ(cancelled.exec(), 2);
}

}  // namespace
}  // namespace qx::test
