#include "filecrawler/private/SyntaxNameSelection.h"
#include "LiteralSelection.h"
#include "filecrawler/SyntaxNameFilter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace {

using ::testing::ElementsAreArray;

QStringList latin1List(std::vector<std::string> const& names)
{
    QStringList list;
    for (std::string const& name : names)
        list.append(QString::fromLatin1(name.data(), static_cast<int>(name.size())));
    return list;
}

// How a syntax name selects: QRegExp's wildcard syntax, case-sensitive, at
// the end of each name.
TEST(SyntaxNameFilter, SelectsNamesThatEndInTextMatchingTheSyntaxName)
{
    std::vector<std::string> const sets = {"a.dat", "b.dat", "c.dat", "!.dat",
                                           "^.dat", "].dat", "-.dat", "\\.dat"};
    struct {
        std::vector<std::string> names;
        std::string syntaxName;
        std::vector<std::string> selected;
    } const cases[] = {
        {{"mesh.dat", "c/mesh.dat", "oldmesh.dat", "mesh.datx", "mesh"},
         "mesh.dat",
         {"mesh.dat", "c/mesh.dat", "oldmesh.dat"}},
        {{"a.dat", "xa.dat", ".dat", "dir/b.dat"}, "?.dat", {"a.dat", "xa.dat", "dir/b.dat"}},
        {{"run1/grid.dat", "a/b"}, "run?/*.dat", {"run1/grid.dat"}}, // '*' and '?' cross separators
        {{"a.dat", "A.DAT", "\xe9.dat", "\xc9.dat"}, "*.DAT", {"A.DAT"}},
        {{"\xe9.dat", "\xc9.dat"}, "\xc9*", {"\xc9.dat"}},
        {{"b.dat", "a.txt", "b.dat", "c.dat"},
         "*.dat",
         {"b.dat", "b.dat", "c.dat"}},                    // order and repeats kept
        {{"", "a", ""}, "?", {"a"}},                      // an empty name is never selected
        {{"", "a", ""}, std::string("\0x", 2), {"a"}},    // the syntax name ends at a NUL
        {{"a", "b"}, std::string("*\0y", 3), {"a", "b"}}, // blank only up to the NUL
        {{"a.dat", "b.txt"}, std::string("*.dat\0.txt", 10), {"a.dat"}},
        {{"a", "*", "x"}, "***", {}}, // blank
        {sets, "[ab].dat", {"a.dat", "b.dat"}},
        {sets, "[^ab].dat", {"c.dat", "!.dat", "^.dat", "].dat", "-.dat", "\\.dat"}},
        {sets, "[!a].dat", {"a.dat", "!.dat"}}, // '!' does not negate
        {sets, "[]a].dat", {"a.dat", "].dat"}},
        {sets, "[a\\].dat", {"a.dat", "\\.dat"}},
        {{"a+(b).dat", "aa(b)xdat"},
         "a+(b).dat",
         {"a+(b).dat"}},             // regular-expression characters are themselves
        {{"\\", "a"}, "\\", {"\\"}}, // a backslash stands for itself
        {{"*", "a"}, "\\*", {}},
        {{"\\a", "\\\\a", "a"}, "\\a", {"\\\\a"}}, // before another character it stands for two
        {{"]", "\\]", "x\\?"}, "*\\]", {"\\]"}},   // and takes the meaning of ']', '?', '*', '['
        {{std::string(299, 'x'), std::string(300, 'x')}, std::string(300, '?'), {std::string(300, 'x')}},
        {sets, "[a.dat", {}}, // what QRegExp refuses to compile selects nothing
        {sets, "a].dat", {}},
        {sets, "[!]a].dat", {}},
        {sets, "\\[a].dat", {}}, // the ']' has no set to close
    };
    for (auto const& c : cases) {
        std::vector<std::string> selected;
        for (QString const& name : SyntaxNameFilter(latin1List(c.names)).filter(c.syntaxName))
            selected.push_back(name.toLatin1().toStdString());
        EXPECT_THAT(selected, ElementsAreArray(c.selected)) << c.syntaxName;
    }
}

// The fast selection against the literal QRegExp procedure, on generated
// names and syntax names heavy in the characters that have a meaning, and
// on long syntax names (hundreds of positions, 300 '?' among them).
TEST(SyntaxNameSelection, AgreesWithTheLiteralProcedure)
{
    std::mt19937 random(20240611);
    std::string const pieces[] = {"a",   "b",   "*",     "?",    "[",     "]",    "^",     "!",
                                  "-",   "/",   ".",     "\\",   "\xe9",  "\xff", "[a-b]", "[^a]",
                                  "*.",  "a*",  "[!b]",  "\\*",  "\\?",   "\\[",  "\\]",   "\\\\",
                                  "\\a", "\\.", "[a\\]", "[]a]", "[^]a]", "(+)",  "[\\-a]"};
    std::string const characters = std::string("ab/.-]![^\\*?\xe9\xff");
    auto const someCharacter = [&] { return characters[random() % characters.size()]; };
    int const rounds = 40000;
    int const longRounds = 240;
    int selections[2] = {0, 0}; // by short and long syntax names
    for (int round = 0; round < rounds + longRounds; ++round) {
        bool const isLong = round >= rounds;
        bool const questionMarks = isLong && round % 3 == 0;
        std::string syntaxName(questionMarks ? 300 : 0, '?');
        for (unsigned n = questionMarks ? 0
                          : isLong      ? 100 + random() % 300
                                        : random() % (round % 4 == 0 ? 16 : 7);
             n > 0; --n) {
            std::string const& piece = pieces[random() % std::size(pieces)];
            if (!isLong || piece.find_first_of("*]") == std::string::npos || random() % 16 == 0)
                syntaxName += piece; // long ones have few stars
        }
        if (round % 97 == 0)
            syntaxName.insert(random() % (syntaxName.size() + 1), 1, '\0');

        std::vector<std::string> bytes;
        QStringList names;
        syntaxname::NameStore store;
        for (unsigned n = 1 + random() % 6; n > 0; --n) {
            std::string name;
            for (unsigned length = random() % 5; length > 0; --length)
                name += someCharacter();
            // Half of the names are written after the syntax name, so that
            // many are selected, or nearly.
            for (char const c : random() % 2 == 0 ? syntaxName : std::string()) {
                if (c == '*')
                    for (unsigned length = random() % 4; length > 0; --length)
                        name += someCharacter();
                else if (c == '?')
                    name += someCharacter();
                else if (c == '\\' && random() % 2 == 0)
                    name += "\\\\"; // a backslash before most characters stands for two
                else if (c != '\0' && random() % (isLong ? 200 : 8) != 0)
                    name += c;
            }
            store.append(name);
            bytes.push_back(name);
            // Names given as QStrings may hold characters beyond Latin-1.
            QString text = QString::fromLatin1(name.data(), static_cast<int>(name.size()));
            if (random() % 16 == 0)
                text.insert(static_cast<int>(random() % (text.size() + 1)), QChar(0x3a9));
            if (random() % 32 == 0)
                text.append(QString::fromUtf8("\xf0\x9f\x98\x80")); // a surrogate pair
            names.append(text);
        }
        QStringList const expected = literal::selectLiterally(names, syntaxName);
        ASSERT_EQ(syntaxname::select(names, syntaxName), expected) << "syntax name: " << syntaxName;
        ASSERT_EQ(syntaxname::selectsAny(names, syntaxName), !expected.isEmpty()) << syntaxName;
        QStringList const expectedBytes = literal::selectLiterally(latin1List(bytes), syntaxName);
        ASSERT_EQ(syntaxname::select(store, syntaxName), expectedBytes) << "syntax name: " << syntaxName;
        ASSERT_EQ(syntaxname::selectsAny(store, syntaxName), !expectedBytes.isEmpty()) << syntaxName;
        selections[isLong] += expected.size();
    }
    // The generated inputs select something often, the long ones too.
    EXPECT_GT(selections[0], rounds / 4);
    EXPECT_GT(selections[1], longRounds / 4);
}

} // namespace
