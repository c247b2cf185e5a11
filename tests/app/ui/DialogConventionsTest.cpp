// The conventions every dialog is built on: data exchange with the standard prompts,
// edits that commit on losing the focus, and arrows that report a delta.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "app/ui/CommitLineEdit.h"
#include "app/ui/DataExchange.h"
#include "app/ui/DeltaSpin.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/RecordingMessageSink.h"

namespace qx::test {
namespace {

using namespace qx::ui;

// Text typed, read as an int, a float or a double with a range check: the value stored,
// or the prompt and the value left as it was. Numbers take the point whatever the locale.
TEST(DataExchangeTest, TextsAreReadAndCheckedAsTheFrameworkDoesIt) {
    TestApplication();
    const char* notAnInteger = "Please enter an integer.";
    const struct {
        char kind;  // 'i', 'f' or 'd'
        const char* text;
        double min, max, stored;
        const char* prompt;
    } rows[] = {
        {'i', "  42 ", 1, 1024, 42, ""},
        {'i', "+7", -10, 10, 7, ""},
        {'i', "-3", -10, 10, -3, ""},
        {'i', "", 1, 1024, 11, notAnInteger},
        {'i', "12x", 1, 1024, 11, notAnInteger},
        {'i', "1.5", 1, 1024, 11, notAnInteger},
        {'i', "- 3", 1, 1024, 11, notAnInteger},
        {'i', "0x10", 1, 1024, 11, notAnInteger},
        // Too long for 32 bits: saturated, stored, then refused by the range.
        {'i', "99999999999", 1, 1024, 2147483647, "Please enter an integer between 1 and 1024."},
        {'f', " 0.5 ", 0.01, 10, 0.5, ""},
        {'f', "1,5", 0.01, 10, 11, "Please enter a number."},
        {'f', "20", 0.01, 10, 20, "Please enter a number between 0.01 and 10."},
        {'d', "-2.5", -1, 1, -2.5, "Please enter a number between -1 and 1."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        QLineEdit edit(QString::fromLatin1(row.text));
        RecordingMessageSink prompts;
        DataExchange dx(prompts, true);
        const auto exchange = [&](auto value) {
            using T = decltype(value);
            dx.text(&edit, value);
            dx.minMax(value, static_cast<T>(row.min), static_cast<T>(row.max));
            return static_cast<double>(value);
        };
        const double stored = row.kind == 'i'   ? exchange(11)
                              : row.kind == 'f' ? exchange(11.0f)
                                                : exchange(11.0);
        EXPECT_EQ(stored, row.stored);
        EXPECT_EQ(prompts.texts(), std::vector<std::string>(*row.prompt != 0 ? 1 : 0, row.prompt));
    }
}

// The exchange stops at the first refusal and gives that field the focus, its text
// selected. (Values loaded into a window show in the loop windows' tests.)
TEST(ConventionWidgetsTest, TheFirstRefusalTakesTheFocusAndEditsCommitOnLeaving) {
    TestApplication();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new CommitLineEdit;
    auto* other = new QLineEdit;
    auto* spin = new DeltaSpin;
    spin->setFixedSize(16, 24);
    layout->addWidget(edit);
    layout->addWidget(other);
    layout->addWidget(spin);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setText(QStringLiteral("5000"));
    other->setText(QStringLiteral("7"));
    RecordingMessageSink prompts;
    int cutoff = 0;
    int kp = 0;
    DataExchange dx(prompts, true);
    dx.text(edit, cutoff);
    dx.minMax(cutoff, 1, 1000);
    dx.text(other, kp);
    dx.minMax(kp, 1, 65535);
    EXPECT_EQ(std::make_tuple(cutoff, kp, prompts.boxes().size()), std::make_tuple(5000, 0, 1u));
    EXPECT_EQ(prompts.boxes()[0].title, "Quendrix");
    EXPECT_TRUE(edit->hasFocus() && edit->selectedText() == QStringLiteral("5000"));

    // An edit commits when it loses the focus, not while typing; the up arrow reports -1,
    // the down arrow +1, and neither takes the focus from the edit.
    QSignalSpy committed(edit, &CommitLineEdit::committed);
    QSignalSpy deltas(spin, &DeltaSpin::deltaPos);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("12"));
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() / 4));
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, 3 * spin->height() / 4));
    ASSERT_EQ(deltas.count(), 2);
    EXPECT_EQ(std::make_pair(deltas[0][0].toInt(), deltas[1][0].toInt()), std::make_pair(-1, 1));
    EXPECT_TRUE(edit->hasFocus() && committed.count() == 0);
    other->setFocus();
    EXPECT_EQ(committed.count(), 1);
}

}  // namespace
}  // namespace qx::test
