#include "ExcludeRules.h"

#include "ProgramOptions.h"

#include <fnmatch.h>

namespace cli {

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
    (anchored || text.find('/') != std::string::npos ? paths_ : names_).push_back(Glob{text, foldersOnly});
}

bool ExcludeRules::excludes(std::string const& name, std::string const& relativePath, bool isDirectory) const
{
    for (Glob const& glob : names_)
        if ((isDirectory || !glob.foldersOnly) && fnmatch(glob.text.c_str(), name.c_str(), 0) == 0)
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
