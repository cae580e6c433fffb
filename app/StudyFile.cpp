#include "StudyFile.h"

#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace cli {
namespace {

std::string lastComponent(std::string const& path)
{
    std::size_t const slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool endsWithComponent(std::string const& path, std::string const& name)
{
    if (name.empty() || path.size() < name.size() ||
        path.compare(path.size() - name.size(), name.size(), name) != 0)
        return false;
    return path.size() == name.size() || path[path.size() - name.size() - 1] == '/';
}

} // namespace

std::string crawledFileAt(std::string const& output, std::string const& root,
                          std::list<std::string> const& files)
{
    struct stat target {};
    if (::stat(output.c_str(), &target) != 0 || !S_ISREG(target.st_mode))
        return std::string(); // nothing there to replace, or a device written directly
    std::string const given = lastComponent(output);
    std::string resolved;
    if (std::unique_ptr<char, decltype(&std::free)> const real(::realpath(output.c_str(), nullptr),
                                                               &std::free);
        real)
        resolved = lastComponent(real.get());
    for (std::string const& file : files) {
        if (!endsWithComponent(file, given) && !endsWithComponent(file, resolved))
            continue;
        struct stat crawled {};
        if (::stat((root + "/" + file).c_str(), &crawled) == 0 && crawled.st_dev == target.st_dev &&
            crawled.st_ino == target.st_ino)
            return file;
    }
    return std::string();
}

} // namespace cli
