#include "ExcludeRules.h"

#include "ProgramOptions.h"

#include <fnmatch.h>

namespace cli {
namespace {

bool hasWildcard(std::string const& text)
{
    return text.find_first_of("*?[\\") != std::string::npos;
}

} // namespace

bool ExcludeRules::Glob::matchesName(std::string const& name) const
{
    switch (form) {
    case Literal:
        return name == literal;
    case Suffix:
        return name.size() >= literal.size() &&
               name.compare(name.size() - literal.size(), literal.size(), literal) == 0;
    case Prefix:
        return name.compare(0, literal.size(), literal) == 0;
    case Pattern:
        break;
    }
    return fnmatch(text.c_str(), name.c_str(), 0) == 0;
}

void ExcludeRules::add(std::string const& glob)
{
    std::string text = glob;
    bool const foldersOnly = !text.empty() && text.back() == '/';
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    std::size_t const start = text.find_first_not_of('/');
    bool const anchored = start != 0;
    text.erase(0, start == std::string::npos ? text.size() : start);
    if (text.empty())
        throw UsageError("--exclude \"" + glob +
                         "\": the glob names no entry; give a name such as .git or *.swp");
    if (anchored || text.find('/') != std::string::npos) {
        paths_.push_back(Glob{text, foldersOnly, Glob::Pattern, std::string()});
        return;
    }
    Glob name{text, foldersOnly, Glob::Pattern, std::string()};
    if (!hasWildcard(text)) {
        name.form = Glob::Literal;
        name.literal = text;
    } else if (text.front() == '*' && !hasWildcard(text.substr(1))) {
        name.form = Glob::Suffix;
        name.literal = text.substr(1);
    } else if (text.back() == '*' && !hasWildcard(text.substr(0, text.size() - 1))) {
        name.form = Glob::Prefix;
        name.literal = text.substr(0, text.size() - 1);
    }
    names_.push_back(std::move(name));
}

bool ExcludeRules::excludes(std::string const& name, std::string const& relativePath, bool isDirectory) const
{
    for (Glob const& glob : names_)
        if ((isDirectory || !glob.foldersOnly) && glob.matchesName(name))
            return true;
    for (Glob const& glob : paths_)
        if ((isDirectory || !glob.foldersOnly) &&
            fnmatch(glob.text.c_str(), relativePath.c_str(), FNM_PATHNAME) == 0)
            return true;
    return false;
}

bool ExcludeRules::excludesFolder(std::string const& relativePath) const
{
    std::size_t const slash = relativePath.rfind('/');
    return excludes(slash == std::string::npos ? relativePath : relativePath.substr(slash + 1), relativePath,
                    true);
}

} // namespace cli
