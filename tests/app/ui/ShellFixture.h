#pragma once

// A started window program on a virtual clock, with its message boxes, modal dialogs
// and file dialogs recorded instead of shown.

#include <gtest/gtest.h>

#include <QCursor>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "app/ui/CMainFrame.h"
#include "app/ui/CQuendrixApp.h"
#include "app/ui/CommandIds.h"
#include "app/ui/GuiContext.h"
#include "link/PortMap.h"
#include "sim/SimOptions.h"
#include "tests/support/GuiTestSupport.h"

namespace qx::test {

// A message box as the test saw it: what it said, whose it was, the cursor meanwhile.
struct SeenBox {
    std::string text;
    std::string title;
    QWidget* owner = nullptr;
    std::optional<Qt::CursorShape> cursor;  // the override cursor while it was up
};

class ShellTest : public ::testing::Test {
  protected:
    // Starts the program with COM1 on the simulated drive and COM2 to COM4 on nothing,
    // unless the test maps them otherwise first.
    void start() {
        drive = sim::MakeSimDrive(simOptions, clock.nowUs());
        context = std::make_unique<ui::GuiContext>(state, clock, ports, drive);
        context->setMessageSinkFactory(
            [this](QWidget* owner) { return std::make_unique<Forwarder>(*this, owner); });
        context->setDialogRunner([this](QDialog& dialog) { return runDialog(dialog); });
        context->setFileDialogRunner([this](const ui::FileDialogRequest& request) {
            fileRequests.push_back(request);
            std::optional<QString> answer;
            if (!fileAnswers.empty()) {
                answer = fileAnswers.front();
                fileAnswers.pop_front();
            }
            return answer;
        });
        app = std::make_unique<ui::CQuendrixApp>(*context);
        ASSERT_TRUE(app->initInstance());
    }

    ShellTest() {
        TestApplication();
        for (int n = 1; n <= PortMap::kPortCount; ++n) {
            ports.setDevice(n, n == 1 ? PortMap::kSimulatedDevice : "/nonexistent/quendrix-port");
        }
    }

    ui::CMainFrame* frame() { return app->mainFrame(); }

    // Chooses a menu command as the user would.
    void choose(int id) {
        QAction* action = app->action(id);
        ASSERT_NE(action, nullptr) << id;
        action->trigger();
    }

    // Picks COM1, the simulated drive, and forgets the box that reports the connection.
    void connectDrive() {
        choose(ui::ID_COM1);
        EXPECT_EQ(state.link.driveConnected.load(), 1u) << "COM1 did not reach the drive";
        boxes.clear();
    }

  public:
    // A click of the real pointer on a control of an active window.
    static void Click(QWidget* control) {
        QWindow* window = control->window()->windowHandle();
        const QPoint at = control->mapTo(control->window(), control->rect().center());
        QTest::mousePress(window, Qt::LeftButton, {}, at);
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    }
    // Offscreen, the window system may call a modal dialog active before the application
    // does; keys go where the application says.
    static void Activate(QWidget& window) {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&window] { return QApplication::activeWindow() == &window; }));
    }

  protected:
    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        std::transform(boxes.begin(), boxes.end(), std::back_inserter(texts),
                       [](const SeenBox& box) { return box.text; });
        return texts;
    }

    // Every byte of the shared records, to show that a command changed none of them.
    std::vector<std::byte> snapshot() const {
        std::vector<std::byte> bytes(sizeof(SharedState));
        std::memcpy(bytes.data(), static_cast<const void*>(&state), sizeof(SharedState));
        return bytes;
    }

    SharedState state;
    VirtualClock clock{1'000'000};
    PortMap ports;
    sim::SimOptions simOptions;
    std::shared_ptr<sim::SimDrive> drive;
    std::vector<SeenBox> boxes;
    // Runs while a modal dialog is open (after its set-up); the dialog is then closed
    // with OK unless the hook closed it already.
    std::function<void(QDialog&)> whileOpen;
    int dialogsOpened = 0;  // dialogs that reached their modal loop
    std::vector<ui::FileDialogRequest> fileRequests;
    std::deque<QString> fileAnswers;
    // Last, so that the program ends before what it reports to.
    std::unique_ptr<ui::GuiContext> context;
    std::unique_ptr<ui::CQuendrixApp> app;

  private:
    struct Forwarder final : MessageSink {
        Forwarder(ShellTest& t, QWidget* o) : test(t), owner(o) {}
        void show(const std::string& text, const std::string& title) override {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            test.boxes.push_back(
                {text, title, owner, cursor ? std::optional(cursor->shape()) : std::nullopt});
        }
        ShellTest& test;
        QWidget* owner;
    };

    int runDialog(QDialog& dialog) {
        QPointer<QDialog> guard(&dialog);
        QTimer::singleShot(0, &dialog, [this, guard]() {
            ++dialogsOpened;
            if (whileOpen) {
                whileOpen(*guard);
            }
            if (guard && guard->isVisible()) {
                guard->accept();
            }
        });
        return dialog.exec();
    }
};

}  // namespace qx::test
