#include "app/profile_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "app/document_settings.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(ProfileDocument, NamesIgnoreCaseAndFirstMatchWins) {
    ProfileDocument doc;
    doc.Parse("[Options]\r\nDatabase=a.db\r\ndatabase=b.db\r\n[options]\r\nDatabase=c.db\r\n");
    EXPECT_EQ(doc.Get("OPTIONS", "DATABASE"), "a.db");
    EXPECT_EQ(doc.Get("Options", "Missing", "dflt"), "dflt");
    EXPECT_EQ(doc.Get(" Options ", " Database "), "a.db");
}

TEST(ProfileDocument, ValuesAreTrimmedAndKeepEquals) {
    ProfileDocument doc;
    doc.Parse("[S]\n key =  a=b \t\nquoted=\"x\",\n");
    EXPECT_EQ(doc.Get("S", "key"), "a=b");
    EXPECT_EQ(doc.Get("S", "quoted"), "\"x\",");
}

TEST(ProfileDocument, IntegersReadLeadingDigits) {
    ProfileDocument doc;
    doc.Parse("[S]\na=42abc\nb=-7\nc=abc\nd=\n");
    EXPECT_EQ(doc.GetInt("S", "a", 0), 42);
    EXPECT_EQ(doc.GetInt("S", "b", 0), -7);
    EXPECT_EQ(doc.GetInt("S", "c", 5), 5);
    EXPECT_EQ(doc.GetInt("S", "d", 9), 9);
    EXPECT_EQ(doc.GetInt("S", "missing", 25), 25);
}

TEST(ProfileDocument, WritingOneKeyKeepsEveryOtherByte) {
    const std::string original =
        "; comment\n[A]\nx=1\r\ny = 2\n\n[B]\rz=3\n[A]\nx=dup\nno equals line\ntrail=\xFF\xFE";
    ProfileDocument doc;
    doc.Parse(original);
    EXPECT_EQ(doc.Text(), original);
    doc.Set("a", "X", "10");
    EXPECT_EQ(doc.Text(), "; comment\n[A]\nX=10\r\ny = 2\n\n[B]\rz=3\n[A]\nx=dup\nno equals line\ntrail=\xFF\xFE");
}

TEST(ProfileDocument, NewKeyGoesAfterTheSectionsLastLineAndNewSectionAtTheEnd) {
    ProfileDocument doc;
    doc.Parse("[A]\nx=1\n\n[B]\ny=2");
    doc.Set("A", "new", "v");
    EXPECT_EQ(doc.Get("B", "y"), "2");
    doc.Set("C", "k", "w");
    doc.Set("B", "y", "3");
    EXPECT_EQ(doc.Get("A", "new"), "v");
    EXPECT_EQ(doc.Get("C", "k"), "w");
    doc.Set("B", "y", "2");
    EXPECT_EQ(doc.Text(), "[A]\nx=1\nnew=v\r\n\n[B]\ny=2\r\n[C]\r\nk=w\r\n");
}

TEST(ProfileDocument, ClearSectionKeepsHeaderAndOtherSections) {
    ProfileDocument doc;
    doc.Parse("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    doc.ClearSection("a");
    EXPECT_EQ(doc.Text(), "[A]\r\n[B]\r\nz=3\r\n");
    EXPECT_TRUE(doc.HasSection("A"));
    EXPECT_FALSE(doc.HasKey("A", "x"));
    doc.ClearSection("New");
    EXPECT_EQ(doc.Text(), "[A]\r\n[B]\r\nz=3\r\n[New]\r\n");
}

TEST(ProfileDocument, LineBreaksInAValueCannotSplitTheLine) {
    ProfileDocument doc;
    doc.Set("S", "name", "a\r\nb\nc");
    EXPECT_EQ(doc.Text(), "[S]\r\nname=a  b c\r\n");
}

TEST(ProfileDocument, HostileFilesReadWithoutACrash) {
    ProfileDocument doc;
    doc.Parse("key=before any section\n[A]\nk=v");
    EXPECT_EQ(doc.Get("A", "k"), "v");
    EXPECT_EQ(doc.Get("", "key"), "");

    std::string nul("[A]\nk=a\0b\n", 11);
    doc.Parse(nul);
    EXPECT_EQ(doc.Get("A", "k"), std::string("a\0b", 3));
    EXPECT_EQ(doc.Text(), nul);

    const std::string huge = "[A]\nlong=" + std::string(100000, 'x') + "\nk=v\n";
    doc.Parse(huge);
    EXPECT_EQ(doc.Get("A", "long").size(), 100000u);
    EXPECT_EQ(doc.Get("A", "k"), "v");

    doc.Parse("[unterminated\nk=v\n[ok]\nk=w\n");
    EXPECT_EQ(doc.Get("ok", "k"), "w");
    EXPECT_EQ(doc.SectionNames(), std::vector<std::string>{"ok"});
}

TEST(ProfileFile, WriteIsAtomicAndKeepsPermissions) {
    TempDir dir;
    const std::string path = dir / "Korvane.ini";
    ASSERT_TRUE(WriteFileBytes(path, "[Options]\nDatabase=x\n"));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteProfileString(path, "Options", "DisplaySQL", "1"));
    EXPECT_EQ(ReadFileBytes(path), "[Options]\nDatabase=x\nDisplaySQL=1\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadProfileInt(path, "options", "displaysql", 0), 1);
}

TEST(ProfileFile, UnwritableFolderFailsAndLeavesTheFile) {
    // Even root cannot create files in /proc.
    const std::string before = ReadFileBytes("/proc/version");
    EXPECT_FALSE(WriteProfileString("/proc/version", "A", "k", "v"));
    EXPECT_EQ(ReadFileBytes("/proc/version"), before);
    if (::geteuid() == 0) return;  // root writes into read-only folders
    TempDir dir;
    const std::string folder = dir / "ro";
    ::mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/a.ini";
    ASSERT_TRUE(WriteFileBytes(path, "[A]\nk=v\n"));
    ::chmod(folder.c_str(), 0555);
    EXPECT_FALSE(WriteProfileString(path, "A", "k", "changed"));
    EXPECT_EQ(ReadFileBytes(path), "[A]\nk=v\n");
}

TEST(ProfileFile, MissingFolderFailsWithoutCreatingAnything) {
    TempDir dir;
    const std::string path = dir / "no/such/folder/a.ini";
    EXPECT_FALSE(WriteProfileString(path, "A", "k", "v"));
    EXPECT_EQ(ReadProfileString(path, "A", "k", "fallback"), "fallback");
}

TEST(ProfileFile, ReadCutsAtTheBufferSize) {
    TempDir dir;
    const std::string path = dir / "a.ini";
    ASSERT_TRUE(WriteFileBytes(path, "[A]\nk=" + std::string(400, 'y') + "\n"));
    EXPECT_EQ(ReadProfileString(path, "A", "k", "", 259).size(), 259u);
}

TEST(DocumentSettings, QuoteAndCommaRuleRoundTrips) {
    EXPECT_EQ(QuoteSettingValue("\"a, b\""), "\"a, b\",");
    EXPECT_EQ(QuoteSettingValue("plain"), "plain");
    EXPECT_EQ(QuoteSettingValue("\""), "\"");
    EXPECT_EQ(UnquoteSettingValue("  \"a, b\"  "), "a, b");
    EXPECT_EQ(UnquoteSettingValue("\"a\",\"b\","), "\"a\",\"b\"");
    EXPECT_EQ(UnquoteSettingValue("x,"), "x");
    EXPECT_EQ(UnquoteSettingValue(""), "");
    EXPECT_EQ(UnquoteSettingValue("\"\""), "");

    TempDir dir;
    DocumentSettings settings;
    settings.SelectFile(dir / "r.rst");
    settings.SelectSection("Rows");
    const std::string row = "\"Report, final.doc\",1234,\"Owner\"";
    ASSERT_TRUE(settings.WriteText("Line1", row));
    ASSERT_TRUE(settings.WriteText("Line2", "\"quoted\""));
    ASSERT_TRUE(settings.WriteInt("Count", -12));
    EXPECT_EQ(settings.ReadText("Line1"), row);
    EXPECT_EQ(settings.ReadText("Line2"), "\"quoted\"");
    EXPECT_EQ(settings.ReadInt("Count"), -12);
    EXPECT_EQ(settings.ReadInt("Missing"), 0);
    EXPECT_EQ(settings.ReadText("Missing", "dflt"), "dflt");
    EXPECT_EQ(ReadFileBytes(dir / "r.rst"),
              "[Rows]\r\nLine1=\"Report, final.doc\",1234,\"Owner\",\r\nLine2=\"quoted\",\r\nCount=-12\r\n");
}

TEST(DocumentSettings, BeginSectionEmptiesOnlyThatSection) {
    TempDir dir;
    const std::string path = dir / "q.qry";
    ASSERT_TRUE(WriteFileBytes(path, "[Query Options]\r\nA=1\r\n[Fields]\r\nB=2\r\nC=3\r\n"));
    DocumentSettings settings;
    settings.SelectFile(path);
    ASSERT_TRUE(settings.BeginSection("Fields"));
    ASSERT_TRUE(settings.WriteText("D", "4"));
    EXPECT_EQ(ReadFileBytes(path), "[Query Options]\r\nA=1\r\n[Fields]\r\nD=4\r\n");
}

TEST(DocumentSettings, BatchWritesOnceAndSeesOtherWriters) {
    TempDir dir;
    const std::string path = dir / "r.rst";
    DocumentSettings settings;
    settings.SelectFile(path);
    settings.BeginBatch();
    settings.SelectSection("Rows");
    for (int i = 1; i <= 500; ++i) settings.WriteText("Line" + std::to_string(i), std::to_string(i));
    EXPECT_EQ(ReadFileBytes(path), "");
    ASSERT_TRUE(settings.Commit());
    EXPECT_EQ(settings.ReadInt("Line500"), 500);

    ASSERT_TRUE(WriteProfileString(path, "Rows", "Line1", "changed elsewhere"));
    EXPECT_EQ(settings.ReadText("Line1"), "changed elsewhere");
}

TEST(DocumentSettings, ReadCutsToTheBufferBeforeUnquoting) {
    TempDir dir;
    DocumentSettings settings;
    settings.SelectFile(dir / "a.ini");
    settings.SelectSection("S");
    ASSERT_TRUE(settings.WriteText("k", "\"abcdef\""));
    EXPECT_EQ(settings.ReadText("k", "", 5), "\"abc");
}

TEST(CDocumentEx, ValuesPassUnchangedAndStateIsShared) {
    TempDir dir;
    DocumentExShared shared;
    CDocumentEx first(shared), second(shared);
    first.SetFile(dir / "s.sch");
    ASSERT_TRUE(first.BeginSection("Schedule"));
    ASSERT_TRUE(first.WriteText("Command1", "\"Scan\" \"C:\""));
    ASSERT_TRUE(first.WriteNumber("Lines", 1));
    EXPECT_EQ(second.ReadText("Command1"), "\"Scan\" \"C:\"");
    EXPECT_EQ(second.ReadNumber("Lines"), 1);
    EXPECT_EQ(second.ReadNumber("Command1"), 0);
    EXPECT_EQ(ReadFileBytes(dir / "s.sch"), "[Schedule]\r\nCommand1=\"Scan\" \"C:\"\r\nLines=1\r\n");
    ASSERT_TRUE(WriteFileBytes(dir / "s.sch", "[Schedule]\r\nLong=" + std::string(300, 'z') + "\r\n"));
    EXPECT_EQ(second.ReadText("Long").size(), 259u);
}

}  // namespace
}  // namespace korvane
