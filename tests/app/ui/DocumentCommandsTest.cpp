// Start-up, and the document commands of the accelerators: new, open and save work on a
// document that holds nothing, and never empty a file that exists.

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/AppInfo.h"
#include "app/ui/CQuendrixDoc.h"
#include "app/ui/CommandIds.h"
#include "app/ui/RecentFileList.h"
#include "tests/app/ui/ShellFixture.h"

namespace qx::test {
namespace {

using namespace qx::ui;

QSettings Profile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kAppTitle));
}

class DocumentCommandsTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        Profile().clear();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override {
        Profile().clear();
        ShellTest::TearDown();
    }

    // Starts the program with its window active, so that its accelerators work.
    void startActive() {
        start();
        frame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame()));
    }

    void press(int key) {
        QTest::keyClick(frame(), static_cast<Qt::Key>(key), Qt::ControlModifier);
    }

    QString makeFile(const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
};

// The main window is shown before the records take their start-up values, and the
// serial port is not touched.
TEST_F(DocumentCommandsTest, StartUpShowsTheWindowFirstAndLeavesThePortAlone) {
    struct ShowWatcher : QObject {
        explicit ShowWatcher(SharedState& s) : state(s) {}
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && watched->inherits("qx::ui::CMainFrame")) {
                lastingTimeAtShow = state.currentCaptureSettings.lastingTimeMs;
            }
            return false;
        }
        SharedState& state;
        int32_t lastingTimeAtShow = -1;
    } watcher(state);
    qApp->installEventFilter(&watcher);
    start();
    qApp->removeEventFilter(&watcher);
    EXPECT_EQ(watcher.lastingTimeAtShow, 0);
    EXPECT_EQ(state.currentCaptureSettings.lastingTimeMs, 300);
    EXPECT_EQ(drive->requestCount(), 0u);
    EXPECT_EQ(state.link.portOpen, 0u);
    EXPECT_TRUE(boxes.empty());
}

// Ctrl+N and Ctrl+O change nothing of the settings, the connection or the shared
// records, and send nothing; Ctrl+O reads nothing of the file and only remembers it.
TEST_F(DocumentCommandsTest, CtrlNAndCtrlOChangeNothingAndOpenOnlyRemembersTheFile) {
    startActive();
    choose(ID_COM1);
    const QString path = makeFile(QStringLiteral("drive.par"), QByteArray(1024, '\x7f'));
    fileAnswers.push_back(path);
    const auto before = snapshot();
    const uint64_t requests = drive->requestCount();
    press(Qt::Key_N);
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("Untitled - Quendrix"));
    EXPECT_TRUE(fileRequests.empty());
    EXPECT_TRUE(Profile().allKeys().isEmpty());
    press(Qt::Key_O);
    ASSERT_EQ(fileRequests.size(), 1u);
    EXPECT_EQ(fileRequests[0].mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(fileRequests[0].owner, frame());
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(drive->requestCount(), requests);
    EXPECT_EQ(Read(path), QByteArray(1024, '\x7f'));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("drive.par - Quendrix"));
    EXPECT_EQ(Profile().allKeys(), QStringList{QStringLiteral("Recent File List/File1")});
    EXPECT_EQ(Profile().value(QStringLiteral("Recent File List/File1")).toString(),
              QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(boxes.size(), 1u) << "only the connection's";
}

TEST_F(DocumentCommandsTest, CtrlOThenCtrlSLeavesTheFileAsItWas) {
    startActive();
    const QString path = makeFile(QStringLiteral("old.par"), QByteArray(1024, '\x5a'));
    fileAnswers.push_back(path);
    press(Qt::Key_O);
    press(Qt::Key_S);
    EXPECT_EQ(fileRequests.size(), 1u);  // saved under its own name, no dialog
    EXPECT_EQ(Read(path), QByteArray(1024, '\x5a'));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DocumentCommandsTest, CtrlSOnANewDocumentAsksForANameAndWritesAnEmptyFile) {
    startActive();
    const QString path = dir.filePath(QStringLiteral("saved"));
    fileAnswers.push_back(path);
    press(Qt::Key_S);
    ASSERT_EQ(fileRequests.size(), 1u);
    EXPECT_EQ(fileRequests[0].mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(fileRequests[0].defaultName, QStringLiteral("Untitled"));
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(Read(path), QByteArray());
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("saved - Quendrix"));
}

TEST_F(DocumentCommandsTest, AnUnreadableFileIsReportedAndNotRemembered) {
    start();
    EXPECT_FALSE(app->openDocumentFile(dir.filePath(QStringLiteral("missing.par"))));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Failed to open document.");
    EXPECT_EQ(boxes[0].title, "Quendrix");
    EXPECT_TRUE(Profile().allKeys().isEmpty());
}

TEST_F(DocumentCommandsTest, RecentFileListKeepsTheFourNewestOnceEach) {
    RecentFileList list(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kAppTitle),
                        4);
    for (const char* name : {"a", "b", "c", "d", "e", "c"}) {
        list.add(dir.filePath(QString::fromLatin1(name)));
    }
    const QStringList expected = {
        dir.filePath(QStringLiteral("c")), dir.filePath(QStringLiteral("e")),
        dir.filePath(QStringLiteral("d")), dir.filePath(QStringLiteral("b"))};
    EXPECT_EQ(list.files(), expected);

    RecentFileList reread(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kAppTitle),
                          4);
    reread.readList();
    EXPECT_EQ(reread.files(), expected);
    EXPECT_EQ(Profile().allKeys().size(), 4);
}

}  // namespace
}  // namespace qx::test
