#include "filecrawler/SyntaxNameSelection.h"
#include "filecrawler/SyntaxNameFilter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

QStringList latin1List(std::vector<std::string> const& names)
{
    QStringList list;
    for (std::string const& name : names)
        list.append(QString::fromLatin1(name.data(), static_cast<int>(name.size())));
    return list;
}

// The selection of `syntaxName` among `names`, as Latin-1 byte strings.
std::vector<std::string> selected(std::vector<std::string> const& names, std::string const& syntaxName)
{
    std::vector<std::string> result;
    for (QString const& name : SyntaxNameFilter(latin1List(names)).filter(syntaxName)) {
        QByteArray const bytes = name.toLatin1();
        result.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return result;
}

std::string message(norvale::ValidationResult const& result)
{
    return result.isValid() ? "valid" : result.errorString();
}

TEST(SyntaxNameFilter, MatchesTextAtTheEndOfEachName)
{
    std::vector<std::string> const names = {"mesh.dat", "case1/mesh.dat", "oldmesh.dat", "mesh.datx", "mesh"};
    EXPECT_THAT(selected(names, "mesh.dat"), ElementsAre("mesh.dat", "case1/mesh.dat", "oldmesh.dat"));
    EXPECT_THAT(selected(names, "mesh"), ElementsAre("mesh"));
    EXPECT_THAT(selected({"a.dat", "xa.dat", ".dat", "dir/b.dat"}, "?.dat"),
                ElementsAre("a.dat", "xa.dat", "dir/b.dat"));
    // '*' and '?' cross separators.
    EXPECT_THAT(selected({"run1/grid.dat", "a/b"}, "run?/*.dat"), ElementsAre("run1/grid.dat"));
    EXPECT_THAT(selected({"a/b"}, "a?b"), ElementsAre("a/b"));
    // Case-sensitive, also beyond ASCII.
    EXPECT_THAT(selected({"a.dat", "A.DAT"}, "*.DAT"), ElementsAre("A.DAT"));
    EXPECT_THAT(selected({"\xe9.dat", "\xc9.dat"}, "\xc9*"), ElementsAre("\xc9.dat"));
}

TEST(SyntaxNameFilter, KeepsOrderAndDuplicatesAndNeverSelectsEmptyNames)
{
    EXPECT_THAT(selected({"b.dat", "a.txt", "b.dat", "c.dat"}, "*.dat"),
                ElementsAre("b.dat", "b.dat", "c.dat"));
    // An empty name has no last character to search from, even for a
    // syntax name that matches empty text.
    EXPECT_THAT(selected({"", "a", ""}, std::string("\0x", 2)), ElementsAre("a"));
    EXPECT_THAT(selected({"", "a"}, "?"), ElementsAre("a"));
}

TEST(SyntaxNameFilter, BlankSyntaxNamesSelectNothing)
{
    SyntaxNameFilter const filter(latin1List({"a", "*", "x"}));
    for (std::string blank : {"", "*", "***"}) {
        EXPECT_THAT(filter.filter(blank), IsEmpty()) << blank;
        EXPECT_EQ(message(filter.validate(blank)), "Invalid pattern.") << blank;
    }
    EXPECT_EQ(message(filter.validate("*x")), "valid");
    // The syntax name ends at a NUL, yet is judged blank on all its bytes:
    // "*\0y" is read as "*", and "\0y" as the empty pattern, which matches
    // (empty text) at the end of every non-empty name.
    EXPECT_THAT(selected({"a", "b"}, std::string("*\0y", 3)), ElementsAre("a", "b"));
    EXPECT_THAT(selected({"a", "b"}, std::string("\0y", 2)), ElementsAre("a", "b"));
    EXPECT_THAT(selected({"a.dat", "b.txt"}, std::string("*.dat\0.txt", 10)), ElementsAre("a.dat"));
}

TEST(SyntaxNameFilter, SingleNameFilterValidates)
{
    SyntaxNameFilter const filter(std::string("run1/grid.dat"));
    for (std::string accepted : {"*.dat", "grid.dat", "?rid.dat", "run1/*", "*1/g*"})
        EXPECT_EQ(message(filter.validate(accepted)), "valid") << accepted;
    for (std::string rejected : {"*.txt", "run1", "grid", "Grid.dat"})
        EXPECT_EQ(message(filter.validate(rejected)), "Invalid pattern.") << rejected;

    SyntaxNameFilter const empty{std::string()};
    for (std::string syntaxName : {std::string("?"), std::string("*a"), std::string(), std::string("\0", 1)})
        EXPECT_EQ(message(empty.validate(syntaxName)), "Invalid pattern.");

    // The name ends at its first NUL.
    EXPECT_EQ(message(SyntaxNameFilter(std::string("a.dat\0.txt", 10)).validate("*.txt")),
              "Invalid pattern.");
}

// How QRegExp's Wildcard mode reads the characters it gives a meaning.
TEST(SyntaxNameFilter, FollowsQRegExpWildcardSyntax)
{
    std::vector<std::string> const names = {"a.dat", "b.dat", "c.dat", "!.dat",
                                            "^.dat", "].dat", "-.dat", "\\.dat"};
    EXPECT_THAT(selected(names, "[ab].dat"), ElementsAre("a.dat", "b.dat"));
    EXPECT_THAT(selected(names, "[^ab].dat"),
                ElementsAre("c.dat", "!.dat", "^.dat", "].dat", "-.dat", "\\.dat"));
    // '!' does not negate a set; it is one of its characters.
    EXPECT_THAT(selected(names, "[!a].dat"), ElementsAre("a.dat", "!.dat"));
    EXPECT_THAT(selected(names, "[a-c].dat"), ElementsAre("a.dat", "b.dat", "c.dat"));
    EXPECT_THAT(selected(names, "[c-a].dat"), ElementsAre("a.dat", "b.dat", "c.dat"));
    EXPECT_THAT(selected(names, "[a-].dat"), ElementsAre("a.dat", "-.dat"));
    EXPECT_THAT(selected(names, "[]a].dat"), ElementsAre("a.dat", "].dat"));
    EXPECT_THAT(selected(names, "[a\\].dat"), ElementsAre("a.dat", "\\.dat"));
    // Regular-expression characters stand for themselves.
    EXPECT_THAT(selected({"a+(b).dat", "aa(b)xdat"}, "a+(b).dat"), ElementsAre("a+(b).dat"));
    EXPECT_THAT(selected({"^a$", "a"}, "^a$"), ElementsAre("^a$"));
    // A backslash is a character, not an escape.
    EXPECT_THAT(selected({"\\", "a"}, "\\"), ElementsAre("\\"));
    EXPECT_THAT(selected({"*", "a"}, "\\*"), IsEmpty());
    // What QRegExp refuses to compile selects nothing.
    for (std::string broken : {"[a.dat", "a].dat", "]", "[]", "[^]", "[!]a].dat"})
        EXPECT_THAT(selected(names, broken), IsEmpty()) << broken;
}

TEST(Selector, FollowsCommonSyntaxNamesWithoutQRegExp)
{
    for (std::string syntaxName : {"*.vtu", "solution_00?1.vtu", "images/[cpv]*.png", "[^.]*", "a*b*c?d"})
        EXPECT_FALSE(syntaxname::Selector(syntaxName).isLiteral()) << syntaxName;
    EXPECT_TRUE(syntaxname::Selector("a\\b").isLiteral());
    EXPECT_TRUE(syntaxname::Selector("[]a]").isLiteral());
    EXPECT_FALSE(syntaxname::Selector("[a").selectsSomething());
    EXPECT_FALSE(syntaxname::Selector("**").selectsSomething());
}

TEST(NameStore, GivesBackEveryNameInAnyOrderOfReading)
{
    std::mt19937 random(7);
    std::vector<std::string> names;
    syntaxname::NameStore store;
    std::string name = "study/Re=100/";
    for (int i = 0; i < 300; ++i) {
        name.resize(random() % (name.size() + 1));
        for (unsigned extra = random() % 6; extra > 0; --extra)
            name.push_back(static_cast<char>(random() % 256));
        if (i % 37 == 5)
            name.assign(200, 'x');
        names.push_back(name);
        store.append(name);
    }
    ASSERT_EQ(store.size(), names.size());
    syntaxname::NameStore::Reader reader(store);
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(reader.at(i), names[i]) << i;
    for (int i = 0; i < 1000; ++i) {
        std::size_t const position = random() % names.size();
        ASSERT_EQ(reader.at(position), names[position]) << position;
    }
}

// The fast selection against the literal QRegExp procedure, on generated
// names and syntax names heavy in the characters that have a meaning.
TEST(SyntaxNameSelection, AgreesWithTheLiteralProcedure)
{
    std::mt19937 random(20240611);
    std::string const syntaxAlphabet[] = {"a", "b",  "*",    "?",    "[",     "]",    "^",  "!",  "-",   "/",
                                          ".", "\\", "\xe9", "\xff", "[a-b]", "[^a]", "*.", "a*", "[!b]"};
    std::string const nameAlphabet = std::string("ab/.-]![^\\*?\xe9\xff");
    int const rounds = 40000;
    int selections = 0;
    int literalPatterns = 0;
    for (int round = 0; round < rounds; ++round) {
        std::string syntaxName;
        for (unsigned n = random() % (round % 4 == 0 ? 16 : 7); n > 0; --n)
            syntaxName += syntaxAlphabet[random() % std::size(syntaxAlphabet)];
        if (round % 97 == 0)
            syntaxName.insert(random() % (syntaxName.size() + 1), 1, '\0');

        std::vector<std::string> bytes;
        QStringList names;
        syntaxname::NameStore store;
        for (unsigned n = 1 + random() % 6; n > 0; --n) {
            std::string name;
            for (unsigned length = random() % 5; length > 0; --length)
                name += nameAlphabet[random() % nameAlphabet.size()];
            // Half of the names are written after the syntax name, so that
            // many are selected, or nearly.
            for (char const c : random() % 2 == 0 ? syntaxName : std::string()) {
                if (c == '*')
                    for (unsigned length = random() % 4; length > 0; --length)
                        name += nameAlphabet[random() % nameAlphabet.size()];
                else if (c == '?')
                    name += nameAlphabet[random() % nameAlphabet.size()];
                else if (c != '\0' && random() % 8 != 0)
                    name += c;
            }
            store.append(name);
            QString text = QString::fromLatin1(name.data(), static_cast<int>(name.size()));
            // Names given as QStrings may hold characters beyond Latin-1.
            if (random() % 16 == 0)
                text.insert(static_cast<int>(random() % (text.size() + 1)), QChar(0x3a9));
            if (random() % 32 == 0)
                text.append(QString::fromUtf8("\xf0\x9f\x98\x80")); // a surrogate pair
            names.append(text);
            bytes.push_back(name);
        }

        QStringList const expected = syntaxname::selectLiterally(names, syntaxName);
        ASSERT_EQ(syntaxname::select(names, syntaxName), expected) << "syntax name: " << syntaxName;
        ASSERT_EQ(syntaxname::selectsAny(names, syntaxName), !expected.isEmpty()) << syntaxName;

        QStringList const expectedBytes = syntaxname::selectLiterally(latin1List(bytes), syntaxName);
        ASSERT_EQ(syntaxname::select(store, syntaxName), expectedBytes) << "syntax name: " << syntaxName;
        ASSERT_EQ(syntaxname::selectsAny(store, syntaxName), !expectedBytes.isEmpty()) << syntaxName;

        selections += expected.size();
        literalPatterns += syntaxname::Selector(syntaxName).isLiteral() ? 1 : 0;
    }
    // The generated inputs select something often, and mostly take the fast path.
    EXPECT_GT(selections, rounds / 4);
    EXPECT_LT(literalPatterns, rounds / 3);
}

} // namespace
