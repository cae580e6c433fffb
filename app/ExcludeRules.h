#pragma once

#include <string>
#include <vector>

namespace cli {

// The entries that --exclude leaves out of a crawl. Each glob is matched with
// fnmatch(3): one without '/' against an entry's name (flags 0, so '*' and
// '?' match a leading dot too), one with '/' against its path relative to
// ROOT (FNM_PATHNAME: '*' and '?' stop at '/'; a leading '/' only anchors it
// to ROOT). A trailing '/' limits a glob to folders. '\' quotes the next
// character.
class ExcludeRules {
public:
    // Throws UsageError for a glob that names nothing (empty, or only '/').
    void add(std::string const& glob);

    bool empty() const { return names_.empty() && paths_.empty(); }
    bool hasPathGlobs() const { return !paths_.empty(); }

    // Whether the entry `name`, whose path relative to ROOT is
    // `relativePath`, is left out. `relativePath` is read only when
    // hasPathGlobs().
    bool excludes(std::string const& name, std::string const& relativePath, bool isDirectory) const;
    // The same for a folder known by its relative path alone.
    bool excludesFolder(std::string const& relativePath) const;

private:
    struct Glob {
        // Name globs of the common forms (.git, *.swp, ._*) are compared
        // directly, as fnmatch would match them: a tenth of the time.
        enum Form { Literal, Suffix, Prefix, Pattern };
        std::string text;
        bool foldersOnly;
        Form form;
        std::string literal; // the text without its '*' (not Pattern)

        bool matchesName(std::string const& name) const;
    };
    std::vector<Glob> names_;
    std::vector<Glob> paths_;
};

} // namespace cli
