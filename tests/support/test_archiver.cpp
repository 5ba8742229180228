// The 7zz archiver: round trips through the real program, password handling, missing and
// unsafe members, and what reaches the program's command line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "support/archiver.h"
#include "support/child_process.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr char kPassword[] = "PlumeRaven";

class ArchiverTest : public ::testing::Test {
 protected:
  // Archive of a.txt, b.bin and sub/deep.txt (with its folder), made by 7zz itself.
  std::string MakeTreeArchive(const std::string& password, bool encryptHeaders = false) {
    dir.Write("src/a.txt", "alpha");
    dir.Write("src/b.bin", std::string(100000, '\x5A'));
    dir.Write("src/sub/deep.txt", "deep");
    const std::string archive = dir.Path() + "tree.7z";
    std::vector<std::string> args = {"7zz", "a", "-t7z", "-p", "-bso0", "-bsp0"};
    if (encryptHeaders) args.push_back("-mhe=on");
    args.insert(args.end(), {archive, dir.Path() + "src/a.txt", dir.Path() + "src/b.bin",
                             dir.Path() + "src/sub"});
    const ChildResult run = RunChild(args, password + "\n");
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    return archive;
  }

  TempFolder dir;
  Archiver archiver;
};

TEST_F(ArchiverTest, CreateThenExtractNamedMembers) {
  const std::string one = dir.Write("Info.meg", "[ProjectInfo]\r\nAuthor=me\r\n");
  const std::string two = dir.Write("Temp.BIN", std::string(3 << 20, '\xA5'));
  const std::string archive = dir.Path() + "p.zvprj";
  ASSERT_TRUE(archiver.Create(archive, {one, two}, kPassword).Ok());

  ExtractRequest request{archive, dir.Path() + "out", {"Temp.BIN", "Info.meg"}, kPassword};
  const ArchiveResult result = archiver.Extract(request);
  ASSERT_TRUE(result.Ok()) << result.Error;
  EXPECT_EQ(dir.Read("out/Temp.BIN"), std::string(3 << 20, '\xA5'));
  EXPECT_EQ(dir.Read("out/Info.meg"), "[ProjectInfo]\r\nAuthor=me\r\n");

  dir.Write("out/Info.meg", "old");  // "-y" overwrites
  request.Members = {"Info.meg"};
  request.TypeSevenZip = true;
  ASSERT_TRUE(archiver.Extract(request).Ok());
  EXPECT_EQ(dir.Read("out/Info.meg"), "[ProjectInfo]\r\nAuthor=me\r\n");

  // Members named by a path relative to the working folder are still stored by bare name.
  const std::string relative = fs::relative(one).string();
  ASSERT_NE(relative.find('/'), std::string::npos) << relative;
  ASSERT_TRUE(archiver.Create(archive, {relative}, kPassword).Ok());
  fs::remove(dir.Path() + "out/Info.meg");
  ASSERT_TRUE(archiver.Extract(request).Ok());
  EXPECT_EQ(dir.Read("out/Info.meg"), "[ProjectInfo]\r\nAuthor=me\r\n");
}

TEST_F(ArchiverTest, WrongOrAbsentPasswordFailsClearlyAndLeavesNoFile) {
  const std::string archive = MakeTreeArchive(kPassword);
  for (const std::string password : {"TaperK", ""}) {
    const ArchiveResult result =
        archiver.Extract({archive, dir.Path() + "out", {"a.txt", "b.bin"}, password});
    EXPECT_EQ(result.Status, ArchiveStatus::WrongPassword) << password;
    EXPECT_NE(result.ExitCode, 0);
    EXPECT_EQ(result.Error.find(kPassword), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.Path() + "out/a.txt"));
    EXPECT_FALSE(fs::exists(dir.Path() + "out/b.bin"));
  }
}

TEST_F(ArchiverTest, MissingMemberIsReportedAndThePresentOnesStillLand) {
  const std::string archive = MakeTreeArchive(kPassword);
  const ArchiveResult result =
      archiver.Extract({archive, dir.Path() + "out", {"a.txt", "GrpDef.def"}, kPassword});
  EXPECT_EQ(result.Status, ArchiveStatus::MissingMembers);
  ASSERT_EQ(result.Missing, std::vector<std::string>{"GrpDef.def"});
  EXPECT_EQ(dir.Read("out/a.txt"), "alpha");
  // Without "-r" a member in a sub-folder is not found under its bare name.
  const ArchiveResult deep =
      archiver.Extract({archive, dir.Path() + "o2", {"deep.txt"}, kPassword});
  EXPECT_EQ(deep.Status, ArchiveStatus::MissingMembers);
}

TEST_F(ArchiverTest, MemberInASubFolderLandsOnlyInTheTargetFolder) {
  const std::string archive = MakeTreeArchive(kPassword);
  ExtractRequest request{archive, dir.Path() + "out", {"deep.txt", "a.txt"}, kPassword};
  request.Recurse = true;
  ASSERT_TRUE(archiver.Extract(request).Ok());
  EXPECT_EQ(dir.Read("out/deep.txt"), "deep");
  EXPECT_FALSE(fs::exists(dir.Path() + "out/sub"));
  EXPECT_FALSE(fs::exists(dir.Path() + "deep.txt"));
}

TEST_F(ArchiverTest, MemberStoredWithAnAbsolutePathIsFlattenedIntoTheTarget) {
  const std::string original = dir.Write("src/a.txt", "alpha");
  const std::string archive = dir.Path() + "abs.7z";
  const ChildResult run =
      RunChild({"7zz", "a", "-t7z", "-spf", "-p", "-bso0", "-bsp0", archive, original}, "pw\n");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  dir.Write("src/a.txt", "changed");
  ExtractRequest request{archive, dir.Path() + "out", {"a.txt"}, "pw"};
  request.Recurse = true;
  ASSERT_TRUE(archiver.Extract(request).Ok());
  EXPECT_EQ(dir.Read("out/a.txt"), "alpha");
  EXPECT_EQ(dir.Read("src/a.txt"), "changed");  // the stored path was not followed
}

TEST_F(ArchiverTest, NamesThatCouldEscapeOrActAsSwitchesAreRefused) {
  const std::string archive = MakeTreeArchive(kPassword);
  for (const std::string name :
       {"../a.txt", "sub/deep.txt", "..", "-y", "@list", "*", "a\\b", "a?.txt", ""}) {
    EXPECT_FALSE(IsPlainMemberName(name)) << name;
    const ArchiveResult result = archiver.Extract({archive, dir.Path() + "out", {name}, kPassword});
    EXPECT_EQ(result.Status, ArchiveStatus::Failed) << name;
  }
  EXPECT_FALSE(fs::exists(dir.Path() + "a.txt"));
  EXPECT_TRUE(IsPlainMemberName("Temp.BIN"));
}

TEST_F(ArchiverTest, LinkMemberIsNotLeftInTheTargetFolder) {
  fs::create_directories(dir.Path() + "src");
  fs::create_symlink("/etc/hostname", dir.Path() + "src/Temp.BIN");
  const std::string archive = dir.Path() + "link.7z";
  const ChildResult run = RunChild(
      {"7zz", "a", "-t7z", "-snl", "-p", "-bso0", "-bsp0", archive, dir.Path() + "src/Temp.BIN"},
      std::string(kPassword) + "\n");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const ArchiveResult result =
      archiver.Extract({archive, dir.Path() + "out", {"Temp.BIN"}, kPassword});
  EXPECT_FALSE(result.Ok());
  struct stat st {};
  EXPECT_NE(::lstat((dir.Path() + "out/Temp.BIN").c_str(), &st), 0);
}

TEST_F(ArchiverTest, ProjectCheckProvesThePasswordBeforeAnyLookup) {
  const std::string archive = MakeTreeArchive(kPassword);
  const std::vector<std::string> required = {"a.txt", "b.bin"};
  const ArchiveCheckResult good = archiver.Check(archive, kPassword, required);
  EXPECT_TRUE(good.Valid());

  const ArchiveCheckResult wrong = archiver.Check(archive, "TaperK", required);
  EXPECT_TRUE(wrong.Opened);
  EXPECT_FALSE(wrong.PasswordAccepted);
  EXPECT_TRUE(wrong.Found.empty());
  EXPECT_FALSE(wrong.Valid());

  const ArchiveCheckResult lacking = archiver.Check(archive, kPassword, {"a.txt", "Recovery.ini"});
  EXPECT_TRUE(lacking.PasswordAccepted);
  EXPECT_EQ(lacking.Found, (std::vector<bool>{true, false}));
  EXPECT_FALSE(lacking.Valid());

  EXPECT_FALSE(archiver.Check(dir.Path() + "none.7z", kPassword, required).Opened);
  const std::string junk = dir.Write("junk.7z", "this is no archive");
  EXPECT_FALSE(archiver.Check(junk, kPassword, required).Valid());
}

TEST_F(ArchiverTest, EncryptedHeadersNeedThePasswordEvenToList) {
  const std::string archive = MakeTreeArchive(kPassword, true);
  std::vector<ArchiveEntry> entries;
  EXPECT_EQ(archiver.List(archive, "bad", entries).Status, ArchiveStatus::WrongPassword);
  ASSERT_TRUE(archiver.List(archive, kPassword, entries).Ok());
  EXPECT_EQ(entries.size(), 4u);  // a.txt, b.bin, sub, sub/deep.txt
  const ArchiveCheckResult wrong = archiver.Check(archive, "bad", {"a.txt"});
  EXPECT_TRUE(wrong.Opened);
  EXPECT_FALSE(wrong.PasswordAccepted);
  EXPECT_TRUE(archiver.Check(archive, kPassword, {"a.txt"}).Valid());
}

// A stand-in for 7zz that records its argument vector and standard input.
TEST_F(ArchiverTest, PasswordGoesOnlyToStandardInput) {
  const std::string log = dir.Path() + "log";
  const std::string script = dir.Write(
      "fake7zz",
      "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + log + ".argv'\ncat >> '" + log +
          ".stdin'\ncase \"$1\" in\n l) printf 'Path = Temp.BIN\\nSize = 3\\nEncrypted = +\\n"
          "Block = 0\\n\\n' ;;\n e) for a; do case \"$a\" in -o*) d=\"${a#-o}\" ;; esac; done; "
          "printf abc > \"$d/Temp.BIN\" ;;\nesac\nexit 0\n");
  fs::permissions(script, fs::perms::owner_all);
  const Archiver fake(script);
  const std::string archive = dir.Write("x.zvprj", "not read by the fake");
  ASSERT_TRUE(fake.Extract({archive, dir.Path() + "out", {"Temp.BIN"}, "S3cret"}).Ok());
  EXPECT_TRUE(fake.Check(archive, "S3cret", {"Temp.BIN"}).Valid());

  const std::string argv = dir.Read("log.argv");
  EXPECT_EQ(argv.find("S3cret"), std::string::npos);
  EXPECT_EQ(argv.find("-p"), std::string::npos);
  EXPECT_NE(argv.find("e\n-o" + dir.Path() + "out\n-y\n"), std::string::npos) << argv;
  EXPECT_EQ(dir.Read("log.stdin"), "S3cret\nS3cret\nS3cret\nS3cret\n");  // l, e, l, t

  const std::vector<std::string> built =
      archiver.ExtractArguments({archive, "/t/", {"BIOS.BIN"}, "S3cret", true, true}, {"BIOS.BIN"});
  EXPECT_EQ(built, (std::vector<std::string>{"7zz", "e", "-t7z", "-o/t/", "-r", "-y", "-bsp0",
                                             "-bso0", "--", archive, "BIOS.BIN"}));
}

TEST_F(ArchiverTest, MissingProgramOrArchiveIsAFailureNotACrash) {
  const Archiver none("/nonexistent/7zz");
  const std::string file = dir.Write("f.txt", "x");
  EXPECT_EQ(none.Create(dir.Path() + "a.7z", {file}, kPassword).Status, ArchiveStatus::Failed);
  EXPECT_EQ(
      archiver.Extract({dir.Path() + "missing.7z", dir.Path() + "out", {"a"}, kPassword}).Status,
      ArchiveStatus::Failed);
  EXPECT_FALSE(archiver.Create(dir.Path() + "a.7z", {file}, "two\nlines").Ok());
}

}  // namespace
