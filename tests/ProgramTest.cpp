// Runs the real filecrawler program and checks what it writes, what it says
// and its exit status.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vtkDoubleArray.h>
#include <vtkNew.h>
#include <vtkStringArray.h>
#include <vtkTable.h>
#include <vtkTableReader.h>
#include <vtkXMLTableReader.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

QString const PROGRAM = QStringLiteral(FILECRAWLER_PROGRAM);
QString const EXAMPLES = QStringLiteral(SOURCE_DIR "/examples");
QString const EXPECTED = QStringLiteral(SOURCE_DIR "/tests/expected");

// The sample study's own patterns and identifiers, spelled out.
QStringList const SAMPLE = {"sample-study",
                            "-p",
                            "Re=",
                            "-p",
                            "Mach=",
                            "-p",
                            "model=:string",
                            "-a",
                            "mesh=*.msh",
                            "-a",
                            "solution=solution_*.vtu",
                            "-a",
                            "log=log.txt",
                            "-a",
                            "image=*.png",
                            "-a",
                            "params=params.json",
                            "--quiet"};

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

// Creates a file, and the folders on its way; `relative` is bytes.
void makeFile(std::string const& root, std::string const& relative)
{
    std::string path = root;
    std::size_t start = 0;
    for (std::size_t slash; (slash = relative.find('/', start)) != std::string::npos; start = slash + 1) {
        path += "/" + relative.substr(start, slash - start);
        mkdir(path.c_str(), 0755);
    }
    std::ofstream(path + "/" + relative.substr(start)) << "x\n";
}

// A temporary folder that user "nobody" may enter too. Large trees go to
// /dev/shm when it can be written: they are made and removed much faster.
struct Scratch {
    QTemporaryDir dir;
    explicit Scratch(bool inMemory = false) : dir(temporaryPlace(inMemory))
    {
        chmod(QFile::encodeName(dir.path()).constData(), 0755);
    }
    static QString temporaryPlace(bool inMemory)
    {
        bool const memory = inMemory && access("/dev/shm", W_OK | X_OK) == 0;
        return (memory ? QString("/dev/shm") : QDir::tempPath()) + "/program_test-XXXXXX";
    }
    std::string root() const { return QFile::encodeName(dir.path()).toStdString(); }
    QString path(QString const& relative) const { return dir.path() + "/" + relative; }
};

class Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "program_test";
        static char* argv[] = {name, nullptr};
        application_ = new QCoreApplication(argc, argv);
    }
    void TearDown() override { delete application_; }

private:
    QCoreApplication* application_ = nullptr;
};

::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

// --- the sample study ---

TEST(ProgramOnSample, WritesEachFormatAsExpected)
{
    struct Case {
        char const* format;
        char const* file;
    };
    for (Case const& c : {Case{"table", "sample.txt"}, Case{"csv", "sample.csv"}, Case{"json", "sample.json"},
                          Case{"vtk", "sample.vtk"}, Case{"vtt", "sample.vtt"}}) {
        SCOPED_TRACE(c.format);
        Outcome const toStdout = runProgram(SAMPLE + QStringList{"--format", c.format});
        EXPECT_EQ(toStdout.status, 0) << toStdout.err.toStdString();
        EXPECT_EQ(toStdout.out, expected(c.file));
        EXPECT_THAT(toStdout.err.toStdString(), IsEmpty());

        // The same bytes in a file whose extension names the format.
        Scratch scratch;
        QString const output = scratch.path(c.file);
        Outcome const toFile = runProgram(SAMPLE + QStringList{"--output", output});
        EXPECT_EQ(toFile.status, 0) << toFile.err.toStdString();
        EXPECT_THAT(toFile.out.toStdString(), IsEmpty());
        EXPECT_EQ(contents(output), expected(c.file));
    }
}

TEST(ProgramOnSample, RunsOnTheShippedSampleWithoutArguments)
{
    Outcome const outcome = runProgram({}, QDir::tempPath());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, expected("sample.txt"));
    EXPECT_THAT(outcome.err.toStdString(),
                testing::MatchesRegex("filecrawler: 59 files, 7 cases, 7 files in no "
                                      "case, [0-9.]+ s \\(--explain tells why files "
                                      "are in no case\\)\n"));
}

TEST(ProgramOnSample, ExplainsWhyFilesAreInNoCase)
{
    Outcome const alone = runProgram(SAMPLE + QStringList{"--explain"});
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(alone.out, expected("sample-explain.txt"));

    // With --output the results go to the file and the explanation still to
    // standard output.
    Scratch scratch;
    Outcome const both = runProgram(SAMPLE + QStringList{"--explain", "-o", scratch.path("cases.csv")});
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, expected("sample-explain.txt"));
    EXPECT_EQ(contents(scratch.path("cases.csv")), expected("sample.csv"));
}

// --- VTK files open in VTK ---

vtkSmartPointer<vtkTable> readVtkTable(QString const& path)
{
    std::string const name = QFile::encodeName(path).toStdString();
    if (path.endsWith(".vtk")) {
        vtkNew<vtkTableReader> reader;
        reader->SetFileName(name.c_str());
        reader->Update();
        return reader->GetOutput();
    }
    vtkNew<vtkXMLTableReader> reader;
    reader->SetFileName(name.c_str());
    reader->Update();
    return reader->GetOutput();
}

TEST(ProgramVtkOutput, SampleTablesReadBackInVtk)
{
    Scratch scratch;
    for (char const* file : {"sample.vtk", "sample.vtt"}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(runProgram(SAMPLE + QStringList{"-o", scratch.path(file)}).status, 0);
        vtkSmartPointer<vtkTable> const table = readVtkTable(scratch.path(file));
        ASSERT_EQ(table->GetNumberOfColumns(), 3);
        ASSERT_EQ(table->GetNumberOfRows(), 7);
        auto* const re = vtkDoubleArray::SafeDownCast(table->GetColumnByName("Re="));
        auto* const mach = vtkDoubleArray::SafeDownCast(table->GetColumnByName("Mach="));
        auto* const model = vtkStringArray::SafeDownCast(table->GetColumnByName("model="));
        ASSERT_TRUE(re && mach && model);
        EXPECT_EQ(re->GetValue(6), 400.0);
        EXPECT_EQ(mach->GetValue(6), 0.8);
        EXPECT_EQ(model->GetValue(6), "SpalartAllmaras");
        EXPECT_EQ(re->GetValue(0), 100.0);
        EXPECT_EQ(model->GetValue(2), "kOmegaSST");
    }
}

// --- values with odd characters ---

class ProgramOddValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        makeFile(tree.root(), "v=a,b\"c/x=1/f.dat");
        makeFile(tree.root(), "v=two\nlines/x=2/f.dat");
        makeFile(tree.root(), "v=caf\xe9/x=3/f.dat");        // not UTF-8
        makeFile(tree.root(), "v=spaced out/x=1e999/f.dat"); // too large a number: "NULL"
    }
    Outcome run(QStringList const& more)
    {
        return runProgram(
            QStringList{QString::fromStdString(tree.root()), "-p", "v=:string", "-p", "x=", "-q"} + more);
    }
    Scratch tree;
};

TEST_F(ProgramOddValues, CsvQuotesWhatNeedsQuoting)
{
    Outcome const outcome = run({"-f", "csv"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out.toStdString(), "v=,x=\n"
                                         "\"a,b\"\"c\",1\n"
                                         "caf\xe9,3\n"
                                         "spaced out,NULL\n"
                                         "\"two\nlines\",2\n");
}

TEST_F(ProgramOddValues, TableKeepsOneLinePerCase)
{
    Outcome const outcome = run({"-f", "table"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_THAT(outcome.out.toStdString(), HasSubstr("two\\nlines"));
    EXPECT_EQ(outcome.out.count('\n'), 5);
}

TEST_F(ProgramOddValues, JsonIsValidWithNullForANumberThatIsNot)
{
    Outcome const outcome = run({"-f", "json"});
    EXPECT_EQ(outcome.status, 0);
    QJsonParseError error{};
    QJsonDocument const document = QJsonDocument::fromJson(outcome.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    QJsonArray const cases = document.object()["cases"].toArray();
    ASSERT_EQ(cases.size(), 4);
    EXPECT_EQ(cases[0].toObject()["values"].toObject()["v="].toString(), "a,b\"c");
    EXPECT_EQ(cases[0].toObject()["values"].toObject()["x="].toDouble(), 1.0);
    EXPECT_TRUE(cases[2].toObject()["values"].toObject()["x="].isNull());
    EXPECT_EQ(cases[3].toObject()["values"].toObject()["v="].toString(), "two\nlines");
}

TEST_F(ProgramOddValues, VtkTablesKeepEveryByteAndNaNForANumberThatIsNot)
{
    Scratch out;
    for (char const* file : {"odd.vtk", "odd.vtt"}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(run({"-o", out.path(file)}).status, 0);
        vtkSmartPointer<vtkTable> const table = readVtkTable(out.path(file));
        ASSERT_EQ(table->GetNumberOfRows(), 4);
        auto* const v = vtkStringArray::SafeDownCast(table->GetColumnByName("v="));
        auto* const x = vtkDoubleArray::SafeDownCast(table->GetColumnByName("x="));
        ASSERT_TRUE(v && x);
        EXPECT_EQ(v->GetValue(0), "a,b\"c");
        EXPECT_EQ(v->GetValue(1), "caf\xe9");
        EXPECT_EQ(v->GetValue(3), "two\nlines");
        EXPECT_EQ(x->GetValue(1), 3.0);
        EXPECT_TRUE(std::isnan(x->GetValue(2)));
    }
}

// --- the program's own inputs ---

TEST(ProgramInputs, BadOptionsAndRootsHaveTheirMessageAndStatus)
{
    Scratch scratch;
    makeFile(scratch.root(), "plain.txt");
    struct Case {
        QStringList arguments;
        int status;
        std::string message;
    };
    std::vector<Case> const cases = {
        {{"/nonexistent/study", "-p", "Re="}, 3, "The specified folder: /nonexistent/study does not exist."},
        {{scratch.path("plain.txt"), "-p", "Re="},
         4,
         "The specified path: " + scratch.root() + "/plain.txt must be a directory."},
        {{"--bogus"}, 2, "Unknown option 'bogus'."},
        {{"sample-study", "other", "-p", "Re="}, 2, "only one ROOT may be given"},
        {{"sample-study"}, 2, "no --pattern given for \"sample-study\""},
        {{"sample-study", "-p", ""}, 2, "--pattern \"\": the pattern text is empty"},
        {{"sample-study", "-p", ":string"}, 2, "--pattern \":string\": the pattern text is empty"},
        {{"sample-study", "-p", "Re=", "-a", "mesh"}, 2, "--aux \"mesh\": expected TAG=SYNTAX"},
        {{"sample-study", "-p", "Re=", "-f", "xml"},
         2,
         "--format \"xml\": expected table, csv, json, vtk or vtt"},
        {{"sample-study", "-p", "Re=", "-o", "cases.xls"}, 2, "cannot tell the format from the file name"},
        {{"sample-study", "-p", "Re=", "-o", "/nonexistent/cases.csv"},
         8,
         "cannot write the output: the folder \"/nonexistent\" does not exist."},
        {{"sample-study", "-p", "Re=", "-f", "csv", "-o", scratch.dir.path()}, 8, "is a folder"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        Outcome const outcome = runProgram(c.arguments);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_THAT(outcome.err.toStdString(), StartsWith("filecrawler: "));
        EXPECT_THAT(outcome.err.toStdString(), HasSubstr(c.message));
        EXPECT_EQ(outcome.err.count('\n'), 1) << "one line";
        EXPECT_THAT(outcome.out.toStdString(), IsEmpty());
    }
}

TEST(ProgramInputs, UnusableIdentifiersAreReportedOneByOneBeforeAnythingIsWritten)
{
    QStringList const arguments = {
        "sample-study",  "-p", "Re=",        "-p", "Mach=", "-a", "bad/tag=*.msh", "-a",
        "log=*.nothing", "-a", "mesh=*.msh", "-a", "="};
    Outcome const refused = runProgram(arguments);
    EXPECT_EQ(refused.status, 7);
    EXPECT_THAT(refused.out.toStdString(), IsEmpty());
    EXPECT_EQ(refused.err.toStdString(),
              "filecrawler: unusable --aux bad/tag=*.msh: Invalid tag.\n"
              "filecrawler: unusable --aux log=*.nothing: Invalid pattern. (it selects no file of any case)\n"
              "filecrawler: 2 unusable --aux identifiers; nothing was written. --skip-unusable-aux goes on "
              "without them.\n");

    Outcome const skipped = runProgram(arguments + QStringList{"--skip-unusable-aux", "-f", "json", "-q"});
    EXPECT_EQ(skipped.status, 0);
    EXPECT_THAT(skipped.err.toStdString(), HasSubstr("skipping --aux log=*.nothing: Invalid pattern."));
    QJsonObject const document = QJsonDocument::fromJson(skipped.out).object();
    EXPECT_EQ(document["tags"].toArray(), QJsonArray{"mesh"});
    EXPECT_EQ(document["cases"].toArray().size(), 7);
}

TEST(ProgramInputs, UnusualPatternsAndSyntaxNamesGiveDefinedResults)
{
    Scratch scratch;
    makeFile(scratch.root(), "runs/Re=1/Mach=2/f.dat");
    makeFile(scratch.root(), "runs/Re=3/Mach=4/g.dat");
    QString const root = QString::fromStdString(scratch.root());

    // A pattern text may hold separators; repeated texts get numbered columns.
    Outcome const separators =
        runProgram({root, "-p", "Re=1/Mach=", "-p", "Re=", "-p", "Re=", "-f", "csv", "-q"});
    EXPECT_EQ(separators.status, 0);
    EXPECT_EQ(separators.out.toStdString(), "Re=1/Mach=,Re=,Re=(2)\n");

    // Hundreds of patterns.
    QStringList many = {root, "-f", "csv", "-q"};
    for (int i = 0; i < 300; ++i)
        many << "-p"
             << "s:string";
    Outcome const manyPatterns = runProgram(many);
    EXPECT_EQ(manyPatterns.status, 0);
    EXPECT_THAT(manyPatterns.out.toStdString(), HasSubstr(",s(300)\n"));

    // Syntax names of every shape: usable or "Invalid pattern.", never a crash.
    QStringList shapes = {root, "-p", "Re=", "--skip-unusable-aux", "-f", "json", "-q"};
    for (char const* syntax : {"", "*", "***", "?", "[", "]", "[!a]", "\\", "*.dat*", "f.dat", "a=b=c", "/",
                               ".", "Re=?/Mach=?/*.dat", "{a,b}", "((", "^$"})
        shapes << "-a" << QString("t=") + syntax;
    Outcome const syntaxNames = runProgram(shapes);
    EXPECT_EQ(syntaxNames.status, 0) << syntaxNames.err.toStdString();
    QJsonObject const document = QJsonDocument::fromJson(syntaxNames.out).object();
    EXPECT_EQ(document["cases"].toArray().size(), 2);
    for (QString const& line : QString::fromUtf8(syntaxNames.err).split('\n', Qt::SkipEmptyParts))
        EXPECT_THAT(line.toStdString(),
                    testing::EndsWith("Invalid pattern. (it selects no file of any case)"));
}

// --- failures met while crawling, and the output file ---

TEST(ProgramCrawl, UnreadableFolderStopsTheCrawlButKeepsWhatWasFound)
{
    Scratch scratch;
    makeFile(scratch.root(), "a/Re=1/f.dat");
    makeFile(scratch.root(), "b/Re=2/f.dat");
    makeFile(scratch.root(), "c/Re=3/f.dat");
    chmod(scratch.path("b").toLocal8Bit().constData(), 0);
    Outcome const outcome =
        runProgram({QString::fromStdString(scratch.root()), "-p", "Re=", "-f", "csv", "-q"}, EXAMPLES, true);
    chmod(scratch.path("b").toLocal8Bit().constData(), 0755);
    EXPECT_EQ(outcome.status, 6);
    EXPECT_EQ(outcome.err.toStdString(), "filecrawler: The specified path: " + scratch.root() +
                                             "/b is not readable. The crawl stopped there; the results cover "
                                             "the 1 file found before it.\n");
    EXPECT_EQ(outcome.out.toStdString(), "Re=\n1\n");
}

TEST(ProgramOutput, AnExistingFileIsReplacedWholeOrNotAtAll)
{
    Scratch scratch;
    QString const output = scratch.path("cases.csv");
    {
        QFile old(output);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents\n");
    }
    // A run that fails leaves it as it was...
    Outcome const refused = runProgram(SAMPLE + QStringList{"-a", "x=*.nothing", "-o", output});
    EXPECT_EQ(refused.status, 7);
    EXPECT_EQ(contents(output), "old contents\n");
    // ...a run that succeeds replaces it, and leaves no temporary file.
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-o", output}).status, 0);
    EXPECT_EQ(contents(output), expected("sample.csv"));
    EXPECT_THAT(QDir(scratch.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                ElementsAre("cases.csv"));

    // A link stays a link; its target gets the results.
    QFile::link(output, scratch.path("link.csv"));
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-f", "json", "-o", scratch.path("link.csv")}).status, 0);
    EXPECT_TRUE(QFileInfo(scratch.path("link.csv")).isSymLink());
    EXPECT_EQ(contents(output), expected("sample.json"));

    // A device is written to, never replaced.
    EXPECT_EQ(runProgram(SAMPLE + QStringList{"-f", "csv", "-o", "/dev/null"}).status, 0);
    struct stat null {};
    ASSERT_EQ(stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
}

TEST(ProgramOutput, UnwritableFolderIsRefusedBeforeTheCrawl)
{
    Scratch scratch;
    QDir(scratch.dir.path()).mkdir("locked");
    chmod(scratch.path("locked").toLocal8Bit().constData(), 0555);
    Outcome const outcome =
        runProgram(SAMPLE + QStringList{"-o", scratch.path("locked/cases.csv")}, EXAMPLES, true);
    EXPECT_EQ(outcome.status, 8);
    EXPECT_EQ(outcome.err.toStdString(), "filecrawler: cannot write the output: the folder \"" +
                                             scratch.root() + "/locked\" is not writable.\n");
}

// --- Ctrl-C ---

bool catchesInterrupt(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
    return false;
}

TEST(ProgramInterrupt, CtrlCStopsTheCrawlAndExitsWith130)
{
    Scratch scratch(true);
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 100; ++j)
            QDir().mkpath(scratch.path(QString("Re=%1/Mach=%2").arg(i).arg(j)));
    QString const output = scratch.path("cases.csv");

    QProcess process;
    process.start(PROGRAM, {QString::fromStdString(scratch.root()), "-p", "Re=", "-o", output});
    ASSERT_TRUE(process.waitForStarted());
    qint64 const pid = process.processId();
    while (!catchesInterrupt(pid) && process.state() == QProcess::Running)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(pid_t(pid), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(process.readAllStandardError().toStdString(),
              "filecrawler: interrupted; the crawl was stopped and nothing was written.\n");
    EXPECT_FALSE(QFile::exists(output));
}

TEST(ProgramHelp, ListsEveryOptionAndTheExitStatuses)
{
    Outcome const outcome = runProgram({"--help"});
    EXPECT_EQ(outcome.status, 0);
    std::string const help = outcome.out.toStdString();
    for (char const* text : {"--pattern", "--aux", "--skip-unusable-aux", "--format", "--output", "--explain",
                             "--quiet", "Exit status:", "130"})
        EXPECT_THAT(help, HasSubstr(text));
}

} // namespace
