// The desktop entry as `cmake --install` lays it out in a fresh prefix: a
// valid entry that opens a document with "korvane /OPEN %f", and the desktop's
// caches built there tying each of the three document types to it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <filesystem>
#include <sstream>
#include <string>

#include "support/temp_dir.h"
#include "test_paths.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

struct ProgramRun {
    int exit_code = -1;
    std::string output;
};

ProgramRun RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    ProgramRun run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        run.exit_code = process.exitCode();
    run.output = process.readAll().toStdString();
    return run;
}

// The value of the entry's key in its [Desktop Entry] group; "(none)" when missing.
std::string EntryValue(const std::string& entry, const std::string& key) {
    std::istringstream lines(entry);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return "(none)";
}

TEST(DesktopEntry, InstalledEntryIsValidOpensDocumentsAndOwnsTheThreeTypes) {
    const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
    if (validate.isEmpty() || cmake.isEmpty())
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) and cmake are needed";
    TempDir dir;
    const std::string prefix = dir / "prefix";
    const ProgramRun install =
        RunProgram(cmake, {QStringLiteral("--install"), QStringLiteral(KORVANE_BINARY_DIR),
                           QStringLiteral("--prefix"), QString::fromStdString(prefix)});
    ASSERT_EQ(install.exit_code, 0) << install.output;

    const std::string desktop = prefix + "/share/applications/korvane.desktop";
    const ProgramRun validated = RunProgram(validate, {QString::fromStdString(desktop)});
    EXPECT_EQ(validated.exit_code, 0) << validated.output;
    EXPECT_EQ(validated.output, "");  // no hints or warnings either

    const std::string entry = ReadFileBytes(desktop);
    EXPECT_EQ(EntryValue(entry, "Exec"), "korvane /OPEN %f");
    EXPECT_EQ(EntryValue(entry, "Type"), "Application");
    EXPECT_TRUE(std::filesystem::exists(prefix + "/bin/korvane"));
    EXPECT_TRUE(std::filesystem::exists(prefix + "/share/icons/hicolor/scalable/apps/" +
                                        EntryValue(entry, "Icon") + ".svg"));

    // The caches a file manager reads: each type known by its extension and
    // handled by this entry.
    const std::string associations = ReadFileBytes(prefix + "/share/applications/mimeinfo.cache");
    const std::string globs = ReadFileBytes(prefix + "/share/mime/globs2");
    const struct {
        const char* type;
        const char* glob;
    } kTypes[] = {{"application/x-korvane-query", "*.qry"},
                  {"application/x-korvane-result", "*.rst"},
                  {"application/x-korvane-schedule", "*.sch"}};
    for (const auto& type : kTypes) {
        SCOPED_TRACE(type.type);
        EXPECT_NE(EntryValue(entry, "MimeType").find(std::string(type.type) + ";"), std::string::npos);
        EXPECT_EQ(EntryValue(associations, type.type), "korvane.desktop;") << associations;
        EXPECT_NE(globs.find(std::string(type.type) + ":" + type.glob), std::string::npos) << globs;
    }
}

}  // namespace
}  // namespace korvane
