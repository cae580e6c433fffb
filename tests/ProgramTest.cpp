// Runs the real filecrawler program and checks what it writes, what it says
// and its exit status.
#include "DiskTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <regex>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

QString const PROGRAM = QStringLiteral(FILECRAWLER_PROGRAM);
QString const EXAMPLES = QStringLiteral(SOURCE_DIR "/examples");
QString const EXPECTED = QStringLiteral(SOURCE_DIR "/tests/expected");

// The sample study's own patterns and identifiers, spelled out.
QStringList const SAMPLE = QString("sample-study -p Re= -p Mach= -p model=:string -a mesh=*.msh "
                                   "-a solution=solution_*.vtu -a log=log.txt -a image=*.png "
                                   "-a params=params.json --quiet")
                               .split(' ');

struct Outcome {
    int status = -1; // -1: did not end normally within two minutes
    QByteArray out;
    QByteArray err;
};

Outcome run(QString const& program, QStringList const& arguments, QString const& directory)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(program, arguments);
    Outcome outcome;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.status = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

// An unprivileged run drops to the user "nobody" when the tests run as root,
// whom file modes do not stop.
Outcome runProgram(QStringList const& arguments, QString const& directory = EXAMPLES,
                   bool unprivileged = false)
{
    if (unprivileged && geteuid() == 0)
        return run("setpriv",
                   QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", PROGRAM} + arguments,
                   directory);
    return run(PROGRAM, arguments, directory);
}

// Runs the program by the shell command `shell`, in which "$0" is the
// program and "$@" its arguments.
Outcome runInShell(QString const& shell, QStringList const& arguments)
{
    return run("sh", QStringList{"-c", shell, PROGRAM} + arguments, EXAMPLES);
}

QByteArray contents(QString const& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QByteArray expected(QString const& name)
{
    return contents(EXPECTED + "/" + name);
}

QStringList entries(std::string const& folder)
{
    return QDir(QString::fromStdString(folder))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// QProcess wants an application object.
class Environment : public ::testing::Environment {
public:
    void SetUp() override { application_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[13] = "program_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> application_;
};

::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

TEST(ProgramOnSample, WritesEachFormatAsExpected)
{
    for (char const* format : {"table", "csv", "json", "vtk", "vtt"}) {
        Outcome const outcome = runProgram(SAMPLE + QStringList{"--format", format});
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out,
                  expected(QString("sample.") + (format == std::string("table") ? "txt" : format)))
            << format;
        EXPECT_THAT(outcome.err.toStdString(), IsEmpty());
    }
}

TEST(ProgramOnSample, RunsOnTheShippedSampleWithoutArgumentsAndExplains)
{
    Outcome const outcome = runProgram({}, QDir::tempPath());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, expected("sample.txt"));
    EXPECT_THAT(outcome.err.toStdString(),
                testing::MatchesRegex("filecrawler: 59 files, 7 cases, 7 files in no case, [0-9.]+ s "
                                      "\\(--explain tells why files are in no case\\)\n"));
    // With --output the results go to the file, the explanation still to
    // standard output.
    DiskTree scratch;
    Outcome const both = runProgram(SAMPLE + QStringList{"--explain", "-o", scratch.qpath("cases.csv")});
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, expected("sample-explain.txt"));
    EXPECT_EQ(contents(scratch.qpath("cases.csv")), expected("sample.csv"));
}

TEST(ProgramOutput, AnExistingFileIsReplacedWholeOrNotAtAll)
{
    DiskTree scratch;
    QString const output = scratch.qpath("cases.csv");
    std::ofstream(output.toStdString()) << "old contents\n";
    // A run that fails leaves it as it was...
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-a", "x=*.nothing", "-o", output}).status, 7);
    EXPECT_EQ(contents(output), "old contents\n");
    // ...one that succeeds replaces it, keeping its mode, and leaves no
    // temporary file; root may replace a read-only one.
    ASSERT_EQ(::chmod(output.toLocal8Bit().constData(), geteuid() == 0 ? 0444 : 0640), 0);
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-o", output}).status, 0);
    EXPECT_EQ(contents(output), expected("sample.csv"));
    struct stat replaced {};
    ASSERT_EQ(stat(output.toLocal8Bit().constData(), &replaced), 0);
    EXPECT_EQ(replaced.st_mode & 07777, geteuid() == 0 ? 0444u : 0640u);
    EXPECT_THAT(entries(scratch.root()), ElementsAre("cases.csv"));
    // A link stays a link; its target gets the results.
    QFile::link(output, scratch.qpath("link.csv"));
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-f", "json", "-o", scratch.qpath("link.csv")}).status, 0);
    EXPECT_TRUE(QFileInfo(scratch.qpath("link.csv")).isSymLink());
    EXPECT_EQ(contents(output), expected("sample.json"));
    // A device, or a name of the program's own descriptors, is written to,
    // never replaced: the shell's >> appends.
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-o", "/dev/null"}).status, 0); // its format is a table
    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
    std::string const log = scratch.path("log.txt");
    for (char const* name : {"/dev/stdout", "/dev/fd/3", "/proc/self/fd/3"}) {
        SCOPED_TRACE(name);
        std::ofstream(log) << "first line\n";
        QString const append = QString::fromStdString(" 3>>'" + log + "' >>'" + log + "'");
        EXPECT_EQ(
            runInShell("exec \"$0\" \"$@\"" + append, SAMPLE + QStringList{"-f", "csv", "-o", name}).status,
            0);
        EXPECT_EQ(contents(QString::fromStdString(log)), "first line\n" + expected("sample.csv"));
    }
}

// Fills a small file system of its own (root only) so that no write succeeds.
TEST(ProgramOutput, AFullDiskLeavesTheOldFileAsItWas)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    DiskTree scratch;
    std::string const folder = scratch.path("full");
    scratch.dir("full");
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    struct Unmount {
        std::string folder;
        ~Unmount() { umount2(folder.c_str(), MNT_DETACH); }
    } const unmount{folder};
    std::string const old = folder + "/old.csv";
    std::ofstream(old) << "old contents\n";
    std::ofstream(folder + "/filler") << std::string(64 << 10, 'x'); // as much as fits
    for (char const* format : {"csv", "json", "vtk"}) {
        SCOPED_TRACE(format);
        Outcome const outcome =
            runProgram(SAMPLE + QStringList{"-f", format, "-o", QString::fromStdString(old)});
        EXPECT_EQ(outcome.status, 8);
        EXPECT_EQ(outcome.err.toStdString(), "filecrawler: cannot write the output: \"" + old +
                                                 "\": No space left on device; nothing was written, and \"" +
                                                 old + "\" is as it was.\n");
        EXPECT_EQ(contents(QString::fromStdString(old)), "old contents\n");
        EXPECT_THAT(entries(folder), ElementsAre("filler", "old.csv"));
    }
}

// Unprivileged runs are made as the user "nobody", who may not read "b" nor
// write in "locked".
TEST(ProgramInputs, BadOptionsRootsAndOutputsHaveTheirMessageAndStatus)
{
    DiskTree scratch;
    scratch.file("plain.txt");
    scratch.dir("b");
    scratch.chmod("b", 0);
    scratch.dir("locked");
    scratch.chmod("locked", 0555);
    std::string const root = scratch.root();
    struct {
        QStringList arguments;
        int status;
        std::string message;
        bool unprivileged = false;
    } const errors[] = {
        // clang-format off
        {{"/nonexistent/study", "-p", "Re="}, 3, "The specified folder: /nonexistent/study does not exist."},
        {{scratch.qpath("plain.txt"), "-p", "Re="}, 4,
         "The specified path: " + root + "/plain.txt must be a directory."},
        {{scratch.qpath("b"), "-p", "Re="}, 5, "The specified path: " + root + "/b is not readable.", true},
        {{"--bogus"}, 2, "Unknown option 'bogus'."},
        {{"sample-study", "other", "-p", "Re="}, 2, "only one ROOT may be given"},
        {{"sample-study"}, 2, "no --pattern given for \"sample-study\""},
        {{"sample-study", "-p", ""}, 2, "--pattern \"\": the pattern text is empty"},
        {{"sample-study", "-p", "Re=", "-a", "mesh"}, 2, "--aux \"mesh\": expected TAG=SYNTAX"},
        {{"sample-study", "-p", "Re=", "--exclude", "/"}, 2, "--exclude \"/\": the glob names no entry"},
        {{"sample-study", "-p", "Re=:strng"}, 2, "\":strng\" looks like a misspelt value type"},
        {{"sample-study", "-p", "Re=:String"}, 2, "did you mean Re=:string?"},
        {{"sample-study", "-p", "Re=", "-f", "xml"}, 2, "--format \"xml\": expected table, csv, json, vtk or vtt"},
        {{"sample-study", "-p", "Re=", "--max-ways", "0"}, 2, "--max-ways \"0\": expected a whole number of 1 or more"},
        {{"sample-study", "-p", "Re=", "-o", "cases.xls"}, 2, "cannot tell the format from the file name"},
        {{"sample-study", "-p", "Re=", "-o", "/nonexistent/cases.csv"}, 8,
         "cannot write the output: the folder \"/nonexistent\" does not exist."},
        {{"sample-study", "-p", "Re=", "-o", QString::fromStdString(root)}, 8,
         "cannot write the output: \"" + root + "\" is a folder."},
        {{"sample-study", "-p", "Re=", "-o", scratch.qpath("new/")}, 8, "new/\" names a folder, not a file."},
        {SAMPLE + QStringList{"-o", scratch.qpath("locked/cases.csv")}, 8,
         "cannot write the output: the folder \"" + root + "/locked\" is not writable.", true},
        // clang-format on
    };
    for (auto const& c : errors) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        Outcome const outcome = runProgram(c.arguments, EXAMPLES, c.unprivileged);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_THAT(outcome.err.toStdString(), StartsWith("filecrawler: "));
        EXPECT_THAT(outcome.err.toStdString(), HasSubstr(c.message));
        EXPECT_EQ(outcome.err.count('\n'), 1) << "one line";
        EXPECT_THAT(outcome.out.toStdString(), IsEmpty());
    }
}

TEST(ProgramInputs, UnusableIdentifiersAreReportedOneByOneBeforeAnythingIsWritten)
{
    QStringList const arguments =
        QString("sample-study -p Re= -p Mach= -a bad/tag=*.msh -a log=*.nothing -a all=* -a mesh=*.msh -a =")
            .split(' ');
    Outcome const refused = runProgram(arguments);
    EXPECT_EQ(refused.status, 7);
    EXPECT_THAT(refused.out.toStdString(), IsEmpty());
    EXPECT_EQ(refused.err.toStdString(),
              "filecrawler: unusable --aux bad/tag=*.msh: Invalid tag.\n"
              "filecrawler: unusable --aux log=*.nothing: Invalid pattern. (it selects no file of any case)\n"
              "filecrawler: unusable --aux all=*: Invalid pattern. (a SYNTAX of * alone, or none, is refused "
              "whatever the files; ?* selects every file)\n"
              "filecrawler: 3 unusable --aux identifiers; nothing was written. --skip-unusable-aux goes on "
              "without them.\n");

    Outcome const skipped = runProgram(arguments + QStringList{"--skip-unusable-aux", "-f", "json", "-q"});
    EXPECT_EQ(skipped.status, 0);
    EXPECT_THAT(skipped.err.toStdString(), HasSubstr("skipping --aux log=*.nothing: Invalid pattern."));
    QJsonObject const document = QJsonDocument::fromJson(skipped.out).object();
    EXPECT_EQ(document["tags"].toArray(), (QJsonArray{"mesh", "(untagged)"})); // the files of the others
    EXPECT_EQ(document["cases"].toArray().size(), 7);

    // The catch-all that works tags every file no earlier identifier took.
    Outcome const catchAll =
        runProgram(QString("sample-study -p Re= -p Mach= -a mesh=*.msh -a other=?* -f json -q").split(' '));
    EXPECT_EQ(catchAll.status, 0) << catchAll.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(catchAll.out).object()["tags"].toArray(),
              (QJsonArray{"mesh", "other"}));
}

TEST(ProgramWarnings, WarningsEvenWhenQuietNoCaseExits11AndStudyFilesAreNotOverwritten)
{
    DiskTree study;
    study.file("grid=128x64/log.txt");
    study.file("grid=128x128/log.txt");
    QString const root = QString::fromStdString(study.root());
    Outcome const quiet = runProgram({root, "-p", "grid=", "-f", "csv", "-q"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out.toStdString(), "grid=\n128\n");
    EXPECT_THAT(quiet.err.toStdString(),
                StartsWith("filecrawler: warning: --pattern \"grid=\": a number followed"));
    EXPECT_EQ(quiet.err.count('\n'), 1);
    EXPECT_THAT(runProgram({root, "-p", "grid=", "-f", "csv"}).err.toStdString(),
                testing::ContainsRegex("2 files, 1 case, 0 files in no case, 1 warning, [0-9.]+ s\n$"));

    // No case: the (empty) results are written, with one line of reason.
    Outcome const none = runProgram({root, "-p", "Reynolds=", "-p", "Reynolds=", "-f", "csv", "-q"});
    EXPECT_EQ(none.status, 11);
    EXPECT_EQ(none.out.toStdString(), "Reynolds=,Reynolds=(2)\n"); // repeated texts get numbered columns
    EXPECT_EQ(none.err.toStdString(),
              "filecrawler: no file belongs to a case: no \"Reynolds=\" in the path (2 "
              "of 2 files); --explain tells why for each file.\n");

    // A file the crawl lists is not replaced, however the path is written.
    std::ofstream(study.path("grid=128x64/log.txt")) << "the run's log\n";
    QFile::link(study.qpath("grid=128x64"), study.qpath("link"));
    for (QString const& output :
         {study.qpath("grid=128x64/log.txt"), study.qpath("link/../grid=128x64/./log.txt"),
          study.qpath("link/log.txt")}) {
        Outcome const refused = runProgram({root, "-p", "grid=", "-f", "csv", "-o", output});
        EXPECT_EQ(refused.status, 8) << output.toStdString();
        EXPECT_THAT(refused.err.toStdString(), HasSubstr("is the file grid=128x64/log.txt of the study"));
        EXPECT_EQ(contents(study.qpath("grid=128x64/log.txt")), "the run's log\n");
    }
    Outcome const forced = runProgram({root, "-p", "grid=", "-f", "csv", "-q", "--overwrite-study-file", "-o",
                                       study.qpath("link/log.txt")});
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(contents(study.qpath("grid=128x64/log.txt")), "grid=\n128\n");
}

// Run as "nobody": "b" and ".snapshot/hourly" may not be read. An unreadable
// folder stops the crawl, keeping what was found; an excluded folder is never
// entered, so it stops nothing; --keep-going skips the others.
TEST(ProgramCrawl, UnreadableFoldersStopTheCrawlUnlessExcludedOrSkipped)
{
    DiskTree scratch;
    for (char const* file : {"a/Re=1/f.dat", "b/Re=2/f.dat", "c/Re=3/f.dat", "c/Re=3/.f.dat.swp",
                             ".snapshot/hourly/c/Re=3/f.dat"})
        scratch.file(file);
    scratch.chmod("b", 0);
    scratch.chmod(".snapshot/hourly", 0);
    QStringList const base = {QString::fromStdString(scratch.root()),
                              "-p",
                              "Re=",
                              "-f",
                              "json",
                              "-q",
                              "--exclude",
                              ".snapshot",
                              "--exclude",
                              "*.swp"};
    std::string const skipped =
        "filecrawler: warning: " + scratch.path("b") + " is not readable; skipped (--keep-going).\n";
    struct {
        QStringList more;
        int status;
        int files, cases;
        std::string err;
    } const cases[] = {
        {{"--exclude", "b"}, 0, 2, 2, ""},
        {{"--exclude", "/b/"}, 0, 2, 2, ""},
        {{"--keep-going"}, 12, 2, 2, skipped},
        {{"--keep-going", "--exclude", "Re=3"}, 12, 1, 1, skipped},
        {{},
         6,
         1,
         1,
         "filecrawler: The specified path: " + scratch.path("b") +
             " is not readable. The crawl stopped there; the results cover the 1 file found before it.\n"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.more.join(' ').toStdString());
        Outcome const outcome = runProgram(base + c.more, EXAMPLES, true);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.err.toStdString(), c.err);
        QJsonObject const document = QJsonDocument::fromJson(outcome.out).object();
        EXPECT_EQ(document["fileCount"].toInt(), c.files);
        EXPECT_EQ(document["cases"].toArray().size(), c.cases);
    }
}

TEST(ProgramExplain, ListsEveryFileAsTextOrJsonAndPointsAbovePatternTextsInRoot)
{
    DiskTree scratch;
    for (char const* run : {"a", "b", "c", "d"})
        scratch.file(std::string("study/Re=1000/") + run + "/f.dat");
    QString const root = scratch.qpath("study/Re=1000");
    Outcome const all = runProgram({root, "-p", "Re=", "--explain-all", "-q"});
    EXPECT_EQ(all.status, 11); // no case
    EXPECT_EQ(all.out.toStdString(),
              "4 of 4 files belong to no case.\n\n\"Re=\" occurs in ROOT itself (" +
                  scratch.path("study/Re=1000") +
                  "), but only the paths below ROOT are matched. To read its value, crawl " +
                  scratch.path("study") +
                  " instead (and --exclude what it holds beside Re=1000).\n\n"
                  "4 files: no \"Re=\" in the path\n    a/f.dat\n    b/f.dat\n    c/f.dat\n    d/f.dat\n");

    Outcome const json = runProgram({root, "-p", "Re=", "--explain", "-f", "json", "-q"});
    EXPECT_EQ(json.status, 11);
    QJsonObject const document = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(document["unmatchedFileCount"].toInt(), 4);
    EXPECT_EQ(document["patternsInRoot"].toArray(), QJsonArray{"Re="});
    EXPECT_EQ(document["suggestedRoot"].toString(), scratch.qpath("study"));
    EXPECT_EQ(document["reasons"].toArray()[0].toObject(),
              (QJsonObject{{"reason", "no \"Re=\" in the path"},
                           {"kind", "missing-text"},
                           {"pattern", "Re="},
                           {"count", 4},
                           {"paths", QJsonArray{"a/f.dat", "b/f.dat", "c/f.dat"}}}));
}

TEST(ProgramOutput, CaseFilesNoIdentifierSelectsAreListedAsUntagged)
{
    DiskTree scratch;
    for (char const* file : {"Re=1/mesh.msh", "Re=1/core", "Re=2/mesh.msh", "notes.txt"}) // notes: in no case
        scratch.file(file);
    QStringList const base = {QString::fromStdString(scratch.root()), "-p", "Re=", "-a", "mesh=*.msh", "-q"};
    EXPECT_EQ(runProgram(base + QStringList{"-f", "table"}).out.toStdString(),
              "case  Re=  mesh  (untagged)\n"
              "   0    1     1           1\n"
              "   1    2     1           0\n\n"
              "case 0: Re=1\n"
              "  mesh        Re=1/mesh.msh\n"
              "  (untagged)  Re=1/core\n\n"
              "case 1: Re=2\n"
              "  mesh        Re=2/mesh.msh\n");
    // When every file has a tag, there is no such tag.
    EXPECT_THAT(runProgram(base + QStringList{"-a", "core=core"}).out.toStdString(),
                StartsWith("case  Re=  mesh  core\n"));
}

// Runs the program with its address space limited to `kilobytes`.
Outcome runLimited(int kilobytes, QStringList const& arguments)
{
    return runInShell("ulimit -v " + QString::number(kilobytes) + " && exec \"$0\" \"$@\"", arguments);
}

// Memory that runs out mid-crawl is no unreadable folder: status 9, and the
// old output stays as it was. The limit is the least that the sample needs
// (found by trying) and a little more; the tree needs far more: 40,000 paths
// of some 3,900 bytes each.
TEST(ProgramCrawl, RunningOutOfMemoryWritesNothing)
{
    int limit = 0;
    for (int kilobytes = 64 << 10; kilobytes <= 1 << 20 && limit == 0; kilobytes += 16 << 10)
        if (runLimited(kilobytes, SAMPLE + QStringList{"-f", "csv"}).status == 0)
            limit = kilobytes + (48 << 10);
    if (limit == 0)
        GTEST_SKIP() << "the program does not run with its address space limited (a sanitizer?)";

    DiskTree scratch(true);
    std::string deep = "Re=1";
    for (int level = 0; level < 15; ++level)
        deep += "/" + std::string(240, 'a' + char(level));
    scratch.dir(deep);
    int const folder = ::open(scratch.path(deep).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    for (int i = 0; i < 40000; ++i)
        ::close(openat(folder, (std::to_string(i) + std::string(100, 'f')).c_str(),
                       O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ::close(folder);
    DiskTree out;
    QString const output = out.qpath("cases.csv");
    std::ofstream(output.toStdString()) << "old contents\n";

    Outcome const outcome =
        runLimited(limit, {QString::fromStdString(scratch.root()), "-p", "Re=", "-q", "-o", output});
    EXPECT_EQ(outcome.status, 9) << outcome.err.toStdString();
    EXPECT_THAT(outcome.err.toStdString(), HasSubstr("memory ran out"));
    EXPECT_THAT(outcome.err.toStdString(), HasSubstr("nothing was written"));
    EXPECT_EQ(contents(output), "old contents\n");
    EXPECT_THAT(entries(out.root()), ElementsAre("cases.csv"));
}

bool catchesInterrupt(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
    return false;
}

// Ctrl-C is answered at every stage: during the crawl, while waiting for a
// FIFO's reader, while blocked writing to a pipe nobody reads.
TEST(ProgramInterrupt, CtrlCStopsEveryStageAndSaysWhatWasWritten)
{
    DiskTree scratch(true);
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 100; ++j)
            scratch.dir("big/Re=" + std::to_string(i) + "/Mach=" + std::to_string(j));
    for (int i = 0; i < 3000; ++i) // a table much larger than a pipe holds
        scratch.file("many/Re=" + std::to_string(i) + "/f.dat");
    scratch.fifo("unread.csv");
    QString const output = scratch.qpath("cases.csv");
    int pipeEnds[2];
    ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
    int const capacity = fcntl(pipeEnds[0], F_GETPIPE_SZ);
    struct {
        char const* stage;
        QStringList arguments;
        std::string message; // a regular expression
    } const cases[] = {
        {"crawl",
         {scratch.qpath("big"), "-p", "Re=", "-o", output},
         "filecrawler: interrupted; the crawl was stopped and nothing was written\\.\n"},
        {"FIFO", SAMPLE + QStringList{"-o", scratch.qpath("unread.csv")},
         "filecrawler: interrupted while waiting for a reader of the output; nothing was written\\.\n"},
        {"pipe",
         {scratch.qpath("many"), "-p", "Re=", "-a", "f=*.dat", "-q"},
         "filecrawler: interrupted while writing the results; standard output got the first ([0-9]+) bytes "
         "of the results( \\(and perhaps some more: a write was under way\\))?\\.\n"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.stage);
        QString const errors = scratch.qpath(std::string(c.stage) + ".err");
        QProcess process;
        process.setWorkingDirectory(EXAMPLES);
        process.setStandardOutputFile("/proc/self/fd/" + QString::number(pipeEnds[1]));
        process.setStandardErrorFile(errors);
        process.start(PROGRAM, c.arguments);
        ASSERT_TRUE(process.waitForStarted());
        while (!catchesInterrupt(process.processId()) && !process.waitForFinished(1)) {
        }
        if (c.stage == std::string("pipe")) {
            // Pipes fill a page at a time: a little short of full is blocked.
            for (int queued = 0; queued < capacity - 4096;
                 std::this_thread::sleep_for(std::chrono::milliseconds(5)))
                ASSERT_EQ(ioctl(pipeEnds[0], FIONREAD, &queued), 0);
        } else if (c.stage == std::string("FIFO")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300)); // past the crawl of the sample
        }
        ::kill(pid_t(process.processId()), SIGINT);
        EXPECT_TRUE(process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130);
        std::string const said = contents(errors).toStdString();
        std::smatch match;
        EXPECT_TRUE(std::regex_match(said, match, std::regex(c.message))) << said;
        // What it says it wrote is what the pipe got.
        std::size_t got = 0;
        char buffer[65536];
        int const flags = fcntl(pipeEnds[0], F_GETFL);
        fcntl(pipeEnds[0], F_SETFL, flags | O_NONBLOCK);
        for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            got += std::size_t(n);
        fcntl(pipeEnds[0], F_SETFL, flags);
        if (match.size() > 2 && match[1].matched)
            EXPECT_EQ(got, match[2].matched ? got : std::stoul(match[1].str()));
        else
            EXPECT_EQ(got, 0u);
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    EXPECT_FALSE(QFile::exists(output));
    struct stat fifo {};
    ASSERT_EQ(stat(scratch.path("unread.csv").c_str(), &fifo), 0);
    EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
}

} // namespace
