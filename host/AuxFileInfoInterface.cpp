#include "host/AuxFileInfoInterface.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

AuxFileInfoInterface::~AuxFileInfoInterface() = default;

namespace {

using Type = AuxFileInfoInterface::Type;

struct Extension {
    std::string_view text;
    Type type;
};

// Kept sorted by text for the binary search below.
constexpr Extension kExtensions[] = {
    {"bmp", Type::Image},    {"cas", Type::Solution},  {"cfg", Type::Text},      {"cgns", Type::Mesh},
    {"csv", Type::Table},    {"dat", Type::Solution},  {"foam", Type::Solution}, {"gif", Type::Image},
    {"grid", Type::Mesh},    {"h5", Type::Solution},   {"hdf5", Type::Solution}, {"ini", Type::Text},
    {"inp", Type::Mesh},     {"jpeg", Type::Image},    {"jpg", Type::Image},     {"json", Type::Text},
    {"log", Type::Text},     {"md", Type::Text},       {"mesh", Type::Mesh},     {"msh", Type::Mesh},
    {"obj", Type::Mesh},     {"plt", Type::Solution},  {"ply", Type::Mesh},      {"png", Type::Image},
    {"pvd", Type::Solution}, {"pvtu", Type::Solution}, {"stl", Type::Mesh},      {"svg", Type::Image},
    {"tif", Type::Image},    {"tiff", Type::Image},    {"tsv", Type::Table},     {"txt", Type::Text},
    {"unv", Type::Mesh},     {"vti", Type::Solution},  {"vtk", Type::Solution},  {"vtm", Type::Solution},
    {"vtp", Type::Solution}, {"vtr", Type::Solution},  {"vts", Type::Solution},  {"vtt", Type::Table},
    {"vtu", Type::Solution}, {"xls", Type::Table},     {"xlsx", Type::Table},    {"xml", Type::Text},
    {"yaml", Type::Text},    {"yml", Type::Text},
};

} // namespace

AuxFileInfoInterface::Type auxFileType(std::string const& path)
{
    // The last '.' of the last component, found in one pass from the end.
    // The library asks this once for every crawled file, so the extension is
    // lowered into a small buffer rather than a string of its own.
    std::size_t dot = std::string::npos;
    for (std::size_t p = path.size(); p-- > 0;) {
        if (path[p] == '.') {
            dot = p;
            break;
        }
        if (path[p] == '/' || path[p] == '\\')
            break;
    }
    if (dot == std::string::npos)
        return Type::Unknown;

    constexpr std::size_t longest = 8;
    std::size_t const length = path.size() - dot - 1;
    if (length == 0 || length > longest)
        return Type::Unknown;
    char lowered[longest];
    for (std::size_t i = 0; i < length; ++i) {
        char const c = path[dot + 1 + i];
        lowered[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    std::string_view const extension(lowered, length);

    auto const found =
        std::lower_bound(std::begin(kExtensions), std::end(kExtensions), extension,
                         [](Extension const& e, std::string_view text) { return e.text < text; });
    if (found == std::end(kExtensions) || found->text != extension)
        return Type::Unknown;
    return found->type;
}

char const* auxFileTypeName(AuxFileInfoInterface::Type type)
{
    switch (type) {
    case Type::Mesh:
        return "mesh";
    case Type::Solution:
        return "solution";
    case Type::Image:
        return "image";
    case Type::Table:
        return "table";
    case Type::Text:
        return "text";
    case Type::Unknown:
        break;
    }
    return "unknown";
}
