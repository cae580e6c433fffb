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
#include <vtkDoubleArray.h>
#include <vtkNew.h>
#include <vtkStringArray.h>
#include <vtkTable.h>
#include <vtkTableReader.h>
#include <vtkXMLTableReader.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <regex>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// An unprivileged run drops to the user "nobody" when the tests run as root,
// whom file modes do not stop.
Outcome runProgram(QStringList arguments, QString const& directory = EXAMPLES, bool unprivileged = false)
{
    QString program = PROGRAM;
    if (unprivileged && geteuid() == 0) {
        arguments = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", PROGRAM} + arguments;
        program = "setpriv";
    }
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(program, arguments);
    Outcome outcome;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "filecrawler " << arguments.join(' ').toStdString() << " did not end normally";
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.status = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
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

    Outcome const alone = runProgram(SAMPLE + QStringList{"--explain"});
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(alone.out, expected("sample-explain.txt"));
    // With --output the results go to the file, the explanation still to
    // standard output.
    DiskTree scratch;
    Outcome const both = runProgram(SAMPLE + QStringList{"--explain", "-o", scratch.qpath("cases.csv")});
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, expected("sample-explain.txt"));
    EXPECT_EQ(contents(scratch.qpath("cases.csv")), expected("sample.csv"));
}

template <typename Reader> vtkSmartPointer<vtkTable> readVtkTable(QString const& path)
{
    vtkNew<Reader> reader;
    reader->SetFileName(QFile::encodeName(path).constData());
    reader->Update();
    return reader->GetOutput();
}

TEST(ProgramOutput, OddValuesSurviveInEveryFormat)
{
    DiskTree tree;
    tree.file("v=a,b\"c/x=1/f.dat");
    tree.file("v=two\nlines/x=2/f.dat");
    tree.file("v=caf\xe9/x=0.3D+01/f.dat");  // not UTF-8; a D exponent: 3
    tree.file("v=spaced out/x=1e999/f.dat"); // too large for a double
    auto const run = [&](QStringList const& more) {
        Outcome const outcome = runProgram(
            QStringList{QString::fromStdString(tree.root()), "-p", "v=:string", "-p", "x=", "-q"} + more);
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        return outcome.out;
    };
    EXPECT_EQ(run({"-f", "csv"}).toStdString(), "v=,x=\n"
                                                "\"a,b\"\"c\",1\n"
                                                "caf\xe9,0.3D+01\n"
                                                "spaced out,1e999\n"
                                                "\"two\nlines\",2\n");
    QByteArray const table = run({"-f", "table"}); // one line per case
    EXPECT_THAT(table.toStdString(), HasSubstr("two\\nlines"));
    EXPECT_THAT(table.toStdString(), HasSubstr("0.3D+01"));
    EXPECT_EQ(table.count('\n'), 5);

    QJsonParseError error{};
    QJsonDocument const document = QJsonDocument::fromJson(run({"-f", "json"}), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    QJsonArray const cases = document.object()["cases"].toArray();
    ASSERT_EQ(cases.size(), 4);
    auto const value = [&](int c, QString const& name, char const* kind = "values") -> QJsonValue {
        return cases[c].toObject()[kind].toObject()[name];
    };
    EXPECT_EQ(value(0, "v=").toString(), "a,b\"c");
    EXPECT_EQ(value(0, "x=").toDouble(), 1.0);
    EXPECT_EQ(value(1, "x=").toDouble(), 3.0);
    EXPECT_EQ(value(1, "x=", "texts").toString(), "0.3D+01");
    EXPECT_TRUE(value(2, "x=").isNull());
    EXPECT_EQ(value(2, "x=", "texts").toString(), "1e999");
    EXPECT_EQ(value(3, "v=").toString(), "two\nlines");

    // VTK reads back every byte, and infinity for a number too large.
    DiskTree out;
    for (char const* file : {"odd.vtk", "odd.vtt"}) {
        SCOPED_TRACE(file);
        run({"-o", out.qpath(file)});
        vtkSmartPointer<vtkTable> const read = QString(file).endsWith(".vtk")
                                                   ? readVtkTable<vtkTableReader>(out.qpath(file))
                                                   : readVtkTable<vtkXMLTableReader>(out.qpath(file));
        ASSERT_EQ(read->GetNumberOfRows(), 4);
        auto* const v = vtkStringArray::SafeDownCast(read->GetColumnByName("v="));
        auto* const x = vtkDoubleArray::SafeDownCast(read->GetColumnByName("x="));
        ASSERT_TRUE(v && x);
        EXPECT_EQ(v->GetValue(0), "a,b\"c");
        EXPECT_EQ(v->GetValue(1), "caf\xe9");
        EXPECT_EQ(v->GetValue(3), "two\nlines");
        EXPECT_EQ(x->GetValue(1), 3.0);
        EXPECT_EQ(x->GetValue(2), HUGE_VAL);
    }
}

TEST(ProgramOutput, AnExistingFileIsReplacedWholeOrNotAtAll)
{
    DiskTree scratch;
    QString const output = scratch.qpath("cases.csv");
    std::ofstream(output.toStdString()) << "old contents\n";
    // A run that fails leaves it as it was...
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-a", "x=*.nothing", "-o", output}).status, 7);
    EXPECT_EQ(contents(output), "old contents\n");
    // ...a run that succeeds replaces it, and leaves no temporary file.
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-o", output}).status, 0);
    EXPECT_EQ(contents(output), expected("sample.csv"));
    EXPECT_THAT(QDir(QString::fromStdString(scratch.root()))
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                ElementsAre("cases.csv"));
    // A link stays a link; its target gets the results.
    QFile::link(output, scratch.qpath("link.csv"));
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-f", "json", "-o", scratch.qpath("link.csv")}).status, 0);
    EXPECT_TRUE(QFileInfo(scratch.qpath("link.csv")).isSymLink());
    EXPECT_EQ(contents(output), expected("sample.json"));
    // A device is written to, never replaced; its format is a table.
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-o", "/dev/null"}).status, 0);
    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
    // A replaced file keeps its mode, also a read-only one that root may replace.
    if (geteuid() == 0) {
        ASSERT_EQ(::chmod(output.toLocal8Bit().constData(), 0444), 0);
        EXPECT_EQ(runProgram(SAMPLE + QStringList{"-f", "csv", "-o", output}).status, 0);
        struct stat replaced {};
        ASSERT_EQ(stat(output.toLocal8Bit().constData(), &replaced), 0);
        EXPECT_EQ(replaced.st_mode & 07777, 0444u);
        EXPECT_EQ(contents(output), expected("sample.csv"));
    }
}

// Names of the program's own descriptors are written to, never replaced: the
// shell's >> appends.
TEST(ProgramOutput, OwnDescriptorsAreWrittenToNotReplaced)
{
    DiskTree scratch;
    std::string const log = scratch.path("log.txt");
    for (char const* name : {"/dev/stdout", "/dev/fd/3", "/proc/self/fd/3"}) {
        SCOPED_TRACE(name);
        std::ofstream(log) << "first line\n";
        struct stat before {};
        ASSERT_EQ(stat(log.c_str(), &before), 0);
        QProcess shell;
        shell.setWorkingDirectory(EXAMPLES);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LOG", QString::fromStdString(log));
        shell.setProcessEnvironment(environment);
        shell.start("sh", QStringList{"-c", "exec \"$0\" \"$@\" 3>>\"$LOG\" >>\"$LOG\"", PROGRAM} + SAMPLE +
                              QStringList{"-f", "csv", "-o", name});
        ASSERT_TRUE(shell.waitForFinished(60000));
        EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
        struct stat after {};
        ASSERT_EQ(stat(log.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
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
    std::ofstream(folder + "/old.csv") << "old contents\n";
    {
        std::ofstream filler(folder + "/filler");
        std::string const block(4096, 'x');
        for (int i = 0; i < 64 && filler; ++i)
            filler << block << std::flush;
    }
    for (char const* format : {"csv", "json", "vtk"}) {
        SCOPED_TRACE(format);
        Outcome const outcome =
            runProgram(SAMPLE + QStringList{"-f", format, "-o", QString::fromStdString(folder + "/old.csv")});
        EXPECT_EQ(outcome.status, 8);
        EXPECT_EQ(outcome.err.toStdString(), "filecrawler: cannot write the output: \"" + folder +
                                                 "/old.csv\": No space left on device; nothing was written, "
                                                 "and \"" +
                                                 folder + "/old.csv\" is as it was.\n");
        EXPECT_EQ(contents(QString::fromStdString(folder + "/old.csv")), "old contents\n");
        EXPECT_THAT(QDir(QString::fromStdString(folder))
                        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                    ElementsAre("filler", "old.csv"));
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
    } const cases[] = {
        // clang-format off
        {{"/nonexistent/study", "-p", "Re="}, 3, "The specified folder: /nonexistent/study does not exist."},
        {{scratch.qpath("plain.txt"), "-p", "Re="}, 4,
         "The specified path: " + root + "/plain.txt must be a directory."},
        {{scratch.qpath("b"), "-p", "Re="}, 5, "The specified path: " + root + "/b is not readable.", true},
        {{"--bogus"}, 2, "Unknown option 'bogus'."},
        {{"sample-study", "other", "-p", "Re="}, 2, "only one ROOT may be given"},
        {{"sample-study"}, 2, "no --pattern given for \"sample-study\""},
        {{"sample-study", "-p", ""}, 2, "--pattern \"\": the pattern text is empty"},
        {{"sample-study", "-p", ":string"}, 2, "--pattern \":string\": the pattern text is empty"},
        {{"sample-study", "-p", "Re=", "-a", "mesh"}, 2, "--aux \"mesh\": expected TAG=SYNTAX"},
        {{"sample-study", "-p", "Re=", "--exclude", "/"}, 2, "--exclude \"/\": the glob names no entry"},
        {{"sample-study", "-p", "Re=:strng"}, 2, "\":strng\" looks like a misspelt value type"},
        {{"sample-study", "-p", "Re=:String"}, 2, "did you mean Re=:string?"},
        {{"sample-study", "-p", "Re=:num"}, 2, "did you mean Re=:numeric?"},
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
    for (auto const& c : cases) {
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
    Outcome const none = runProgram({root, "-p", "Reynolds=", "-f", "csv", "-q"});
    EXPECT_EQ(none.status, 11);
    EXPECT_EQ(none.out.toStdString(), "Reynolds=\n");
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

TEST(ProgramInputs, PatternTextsMayHoldSeparatorsAndRepeatInHundreds)
{
    DiskTree scratch;
    scratch.file("runs/Re=1/Mach=2/f.dat");
    scratch.file("runs/Re=3/Mach=4/g.dat");
    QString const root = QString::fromStdString(scratch.root());
    // A pattern text may hold separators; repeated texts get numbered columns.
    Outcome const separators =
        runProgram({root, "-p", "Re=1/Mach=", "-p", "Re=", "-p", "Re=", "-f", "csv", "-q"});
    EXPECT_EQ(separators.status, 11); // no case: no second Re= after Re=1/Mach=
    EXPECT_EQ(separators.out.toStdString(), "Re=1/Mach=,Re=,Re=(2)\n");
    // Hundreds of patterns.
    QStringList many = {root, "-f", "csv", "-q"};
    for (int i = 0; i < 300; ++i)
        many << "-p"
             << "s:string";
    Outcome const manyPatterns = runProgram(many);
    EXPECT_EQ(manyPatterns.status, 11);
    EXPECT_THAT(manyPatterns.out.toStdString(), HasSubstr(",s(300)\n"));
}

TEST(ProgramCrawl, UnreadableFolderStopsTheCrawlButKeepsWhatWasFound)
{
    DiskTree scratch;
    scratch.file("a/Re=1/f.dat");
    scratch.file("b/Re=2/f.dat");
    scratch.file("c/Re=3/f.dat");
    scratch.chmod("b", 0);
    Outcome const outcome =
        runProgram({QString::fromStdString(scratch.root()), "-p", "Re=", "-f", "csv", "-q"}, EXAMPLES, true);
    EXPECT_EQ(outcome.status, 6);
    EXPECT_EQ(outcome.err.toStdString(), "filecrawler: The specified path: " + scratch.path("b") +
                                             " is not readable. The crawl stopped there; the results cover "
                                             "the 1 file found before it.\n");
    EXPECT_EQ(outcome.out.toStdString(), "Re=\n1\n");
}

// Run as "nobody": "b" and ".snapshot/hourly" may not be read. An excluded
// folder is never entered, so it stops nothing; --keep-going skips the others.
TEST(ProgramCrawl, ExcludedFoldersArePrunedAndKeepGoingSkipsUnreadableOnes)
{
    DiskTree scratch;
    scratch.file("a/Re=1/f.dat");
    scratch.file("b/Re=2/f.dat");
    scratch.file("c/Re=3/f.dat");
    scratch.file("c/Re=3/.f.dat.swp");
    scratch.file(".snapshot/hourly/c/Re=3/f.dat");
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
        {{}, 6, 1, 1, "is not readable. The crawl stopped there"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.more.join(' ').toStdString());
        Outcome const outcome = runProgram(base + c.more, EXAMPLES, true);
        EXPECT_EQ(outcome.status, c.status);
        if (c.err.empty())
            EXPECT_THAT(outcome.err.toStdString(), IsEmpty());
        else
            EXPECT_THAT(outcome.err.toStdString(), HasSubstr(c.err));
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
    EXPECT_EQ(document["fileCount"].toInt(), 4);
    EXPECT_EQ(document["unmatchedFileCount"].toInt(), 4);
    EXPECT_EQ(document["patternsInRoot"].toArray(), QJsonArray{"Re="});
    EXPECT_EQ(document["suggestedRoot"].toString(), scratch.qpath("study"));
    QJsonObject const reason = document["reasons"].toArray()[0].toObject();
    EXPECT_EQ(reason["reason"].toString(), "no \"Re=\" in the path");
    EXPECT_EQ(reason["kind"].toString(), "missing-text");
    EXPECT_EQ(reason["pattern"].toString(), "Re=");
    EXPECT_EQ(reason["count"].toInt(), 4);
    EXPECT_EQ(reason["paths"].toArray(), (QJsonArray{"a/f.dat", "b/f.dat", "c/f.dat"}));

    // Following the advice gives the case.
    Outcome const above = runProgram({scratch.qpath("study"), "-p", "Re=", "-f", "csv", "-q"});
    EXPECT_EQ(above.out.toStdString(), "Re=\n1000\n");
}

TEST(ProgramOutput, CaseFilesNoIdentifierSelectsAreListedAsUntagged)
{
    DiskTree scratch;
    scratch.file("Re=1/mesh.msh");
    scratch.file("Re=1/core");
    scratch.file("Re=2/mesh.msh");
    scratch.file("notes.txt"); // in no case: never untagged
    QStringList const base = {QString::fromStdString(scratch.root()), "-p", "Re=", "-a", "mesh=*.msh", "-q"};
    QJsonObject const document =
        QJsonDocument::fromJson(runProgram(base + QStringList{"-f", "json"}).out).object();
    EXPECT_EQ(document["tags"].toArray(), (QJsonArray{"mesh", "(untagged)"}));
    QJsonArray const cases = document["cases"].toArray();
    ASSERT_EQ(cases.size(), 2);
    EXPECT_EQ(cases[0].toObject()["files"].toObject()["(untagged)"].toArray(), QJsonArray{"Re=1/core"});
    EXPECT_EQ(cases[1].toObject()["files"].toObject()["(untagged)"].toArray(), QJsonArray{});
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
    QJsonObject const tagged =
        QJsonDocument::fromJson(runProgram(base + QStringList{"-a", "core=core", "-f", "json"}).out).object();
    EXPECT_EQ(tagged["tags"].toArray(), (QJsonArray{"mesh", "core"}));
}

// Runs the program with its address space limited to `kilobytes`.
Outcome runLimited(int kilobytes, QStringList const& arguments)
{
    QProcess shell;
    shell.setWorkingDirectory(EXAMPLES);
    shell.start("sh", QStringList{"-c", "ulimit -v " + QString::number(kilobytes) + " && exec \"$0\" \"$@\"",
                                  PROGRAM} +
                          arguments);
    Outcome outcome;
    if (!shell.waitForFinished(120000) || shell.exitStatus() != QProcess::NormalExit) {
        shell.kill();
        shell.waitForFinished();
        return outcome;
    }
    outcome.status = shell.exitCode();
    outcome.out = shell.readAllStandardOutput();
    outcome.err = shell.readAllStandardError();
    return outcome;
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
    for (int i = 0; i < 40000; ++i) {
        std::string const name = std::to_string(i) + std::string(100, 'f');
        ::close(openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
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
    EXPECT_THAT(QDir(QString::fromStdString(out.root()))
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                ElementsAre("cases.csv"));
}

bool catchesInterrupt(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
    return false;
}

// Starts the program with `out` as its standard output and `err` as its
// standard error.
pid_t startProgram(QStringList const& arguments, int out, int err)
{
    std::vector<std::string> words{PROGRAM.toStdString()};
    for (QString const& argument : arguments)
        words.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, EXAMPLES.toLocal8Bit().constData());
    pid_t pid = -1;
    int const started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? pid : -1;
}

// The exit status, or -1 when the program has not ended within a minute
// (it is then killed).
int exitStatus(pid_t pid)
{
    for (int i = 0; i < 6000; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
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
         "of the "
         "results( \\(and perhaps some more: a write was under way\\))?\\.\n"},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.stage);
        std::string const errors = scratch.path(std::string(c.stage) + ".err");
        int const err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_t const pid = startProgram(c.arguments, pipeEnds[1], err);
        ::close(err);
        ASSERT_GT(pid, 0);
        while (!catchesInterrupt(pid) && waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (c.stage == std::string("pipe")) {
            // Pipes fill a page at a time: a little short of full is blocked.
            for (int queued = 0; queued < capacity - 4096;
                 std::this_thread::sleep_for(std::chrono::milliseconds(5)))
                ASSERT_EQ(ioctl(pipeEnds[0], FIONREAD, &queued), 0);
        } else if (c.stage == std::string("FIFO")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300)); // past the crawl of the sample
        }
        ::kill(pid, SIGINT);
        EXPECT_EQ(exitStatus(pid), 130);
        std::string const said = contents(QString::fromStdString(errors)).toStdString();
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

TEST(ProgramHelp, ListsEveryOptionAndTheExitStatuses)
{
    Outcome const outcome = runProgram({"--help"});
    EXPECT_EQ(outcome.status, 0);
    for (char const* text :
         {"--pattern", "--aux", "--skip-unusable-aux", "--format", "--output", "--explain", "--explain-all",
          "--exclude", "fnmatch(3)", "--keep-going", "--quiet", "--max-ways", "--overwrite-study-file", "?*",
          "Exit status:", "  10 ", "11 ", "  12 ", "130"})
        EXPECT_THAT(outcome.out.toStdString(), HasSubstr(text));
}

} // namespace
