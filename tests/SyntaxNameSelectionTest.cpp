// The rules of selection by syntax name, case by case; the fuzzer compares
// the fast selection with the QRegExp procedure on generated input.
#include "filecrawler/SyntaxNameFilter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

} // namespace
