// The document commands of the accelerators: new, open and save work on a document that
// holds nothing, and never empty a file that exists.

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/AppInfo.h"
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

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class DocumentCommandsTest : public ShellTest {
  protected:
    void SetUp() override { Profile().clear(); }
    void TearDown() override { Profile().clear(); }
    void press(Qt::Key key) { QTest::keyClick(frame(), key, Qt::ControlModifier); }
    QTemporaryDir dir;
};

// Ctrl+N, Ctrl+O and Ctrl+S change nothing of the settings, the connection or the shared
// records, and send nothing; Ctrl+O reads nothing of the file and only remembers it (a
// file it cannot open is reported and not remembered); Ctrl+S saves an opened file under
// its own name without emptying it, and a new document as an empty file of a name asked.
TEST_F(DocumentCommandsTest, NewOpenAndSaveChangeNothingAndNeverEmptyAFile) {
    start();
    frame()->activateWindow();  // for its accelerators
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame()));
    connectDrive();
    const QString path = dir.filePath(QStringLiteral("drive.par"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(1024, '\x7f')) == 1024);
    file.close();
    const QString fresh = dir.filePath(QStringLiteral("saved"));
    fileAnswers = {dir.filePath(QStringLiteral("missing.par")), path, fresh};
    const auto before = snapshot();
    const uint64_t requests = drive->requestCount();
    press(Qt::Key_N);
    EXPECT_TRUE(fileRequests.empty());
    press(Qt::Key_O);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"Failed to open document."}));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("Untitled - Quendrix"));
    EXPECT_TRUE(Profile().allKeys().isEmpty());
    press(Qt::Key_O);
    press(Qt::Key_S);
    ASSERT_EQ(fileRequests.size(), 2u);
    EXPECT_EQ(fileRequests[1].mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(fileRequests[1].owner, frame());
    EXPECT_EQ(Read(path), QByteArray(1024, '\x7f'));
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("drive.par - Quendrix"));
    EXPECT_EQ(Profile().allKeys(), QStringList{QStringLiteral("Recent File List/File1")});
    EXPECT_EQ(Profile().value(QStringLiteral("Recent File List/File1")).toString(),
              QFileInfo(path).absoluteFilePath());
    press(Qt::Key_N);
    press(Qt::Key_S);
    ASSERT_EQ(fileRequests.size(), 3u);
    EXPECT_EQ(fileRequests[2].mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(fileRequests[2].defaultName, QStringLiteral("Untitled"));
    EXPECT_EQ(Read(fresh), QByteArray());
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("saved - Quendrix"));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(drive->requestCount(), requests);
    EXPECT_EQ(boxes.size(), 1u) << "the refused file's";
}

TEST_F(DocumentCommandsTest, RecentFileListKeepsTheFourNewestOnceEach) {
    const auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    RecentFileList recent(QString::fromLatin1(kProfileOrganisation), QString::fromLatin1(kAppTitle),
                          4);
    for (const char* name : {"a", "b", "c", "d", "e", "c"}) {
        recent.add(path(name));
    }
    recent.readList();  // as the next start reads it
    EXPECT_EQ(recent.files(), (QStringList{path("c"), path("e"), path("d"), path("b")}));
    EXPECT_EQ(Profile().allKeys().size(), 4);
}

}  // namespace
}  // namespace qx::test
