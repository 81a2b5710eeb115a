// The desktop's file types of the three documents, checked with Qt's own
// reader of the shared MIME database in a child process that sees only the
// database built from the types this program installs (and the system's).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <filesystem>

#include "support/temp_dir.h"
#include "test_paths.h"

namespace korvane {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

constexpr const char* kSamplesVariable = "KORVANE_MIME_SAMPLES";

TEST(DesktopFileTypes, EachDocumentIsKnownByItsFirstSection) {
    const QString update = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (update.isEmpty())
        GTEST_SKIP() << "update-mime-database (shared-mime-info) is not installed";
    TempDir dir;
    const std::filesystem::path packages = dir.path() / "data/mime/packages";
    std::filesystem::create_directories(packages);
    std::filesystem::copy_file(KORVANE_SOURCE_DIR "/share/mime/packages/korvane.xml",
                               packages / "korvane.xml");
    QProcess build;
    build.start(update, {QString::fromStdString((dir.path() / "data/mime").string())});
    ASSERT_TRUE(build.waitForFinished(30000));
    ASSERT_EQ(build.exitCode(), 0) << build.readAllStandardError().toStdString();

    const std::string samples = dir / "samples";
    std::filesystem::create_directories(samples);
    ASSERT_TRUE(WriteFileBytes(samples + "/Weekly.rst", "[Graph Options]\r\nTitle=\r\nDisplayMode=16\r\n"));
    ASSERT_TRUE(WriteFileBytes(samples + "/Edited.rst", "\xef\xbb\xbf[Graph Options]\r\nTitle=\r\n"));
    ASSERT_TRUE(WriteFileBytes(samples + "/README.rst", "Title\n=====\n\nSome *emphasis* here.\n"));
    ASSERT_TRUE(
        WriteFileBytes(samples + "/Big Files.qry", "[Query Options]\r\nDatabase=/srv/Korvane.db\r\n"));
    ASSERT_TRUE(WriteFileBytes(samples + "/Night.sch", "[Schedule]\r\nStartup=Startup\r\n"));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"),
                       QString::fromStdString((dir.path() / "data").string()));
    environment.insert(QString::fromLatin1(kSamplesVariable), QString::fromStdString(samples));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=DesktopFileTypesChild.*")});
    ASSERT_TRUE(child.waitForFinished(60000));
    const std::string output = child.readAllStandardOutput().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

// Runs only as the child of the test above.
TEST(DesktopFileTypesChild, ClassifiesTheSamples) {
    const QByteArray samples = qgetenv(kSamplesVariable);
    if (samples.isEmpty())
        GTEST_SKIP() << "run by DesktopFileTypes.EachDocumentIsKnownByItsFirstSection";
    const QString folder = QString::fromUtf8(samples) + QLatin1Char('/');
    QMimeDatabase types;
    EXPECT_EQ(types.mimeTypeForFile(folder + "Weekly.rst").name(), "application/x-korvane-result");
    EXPECT_EQ(types.mimeTypeForFile(folder + "Edited.rst").name(), "application/x-korvane-result");
    EXPECT_EQ(types.mimeTypeForFile(folder + "README.rst").name(), "text/x-rst");
    EXPECT_EQ(types.mimeTypeForFile(folder + "Big Files.qry").name(), "application/x-korvane-query");
    EXPECT_EQ(types.mimeTypeForFile(folder + "Night.sch").name(), "application/x-korvane-schedule");
}

}  // namespace
}  // namespace korvane
