#pragma once

// Paths of a parameter study as the crawler lists them, for the benchmarks:
// the layouts of bench/make-study-tree, without the disk.

#include "filecrawler/MetadataPattern.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace studypaths {

// Re=, Mach=, alpha= (numeric) and model= (text), in path order.
inline std::vector<MetadataPattern> patterns()
{
    return {MetadataPattern("Re=", MetadataPattern::Numeric), MetadataPattern("Mach=", MetadataPattern::Numeric),
            MetadataPattern("alpha=", MetadataPattern::Numeric), MetadataPattern("model=", MetadataPattern::String)};
}

// Whether a walk in name order lists `a` before `b`: component by component.
inline bool walkOrder(std::string const& a, std::string const& b)
{
    std::size_t ia = 0;
    std::size_t ib = 0;
    for (;;) {
        std::size_t const ea = std::min(a.find('/', ia), a.size());
        std::size_t const eb = std::min(b.find('/', ib), b.size());
        std::string_view const ca = std::string_view(a).substr(ia, ea - ia);
        std::string_view const cb = std::string_view(b).substr(ib, eb - ib);
        if (ca != cb)
            return ca < cb;
        if (ea == a.size() || eb == b.size())
            return ea == a.size() && eb != b.size();
        ia = ea + 1;
        ib = eb + 1;
    }
}

// About `count` files of 28 per case (3 + 20 steps + 5 images), `flat` with
// the values in the file names, in the order a crawl lists them.
inline std::vector<std::string> study(std::size_t count, bool flat = false)
{
    static char const* const models[] = {"kEpsilon", "kOmegaSST", "SpalartAllmaras", "laminar", "LES"};
    std::vector<std::string> paths;
    paths.reserve(count + 28);
    char text[256];
    for (std::size_t c = 0; paths.size() < count; ++c) {
        std::snprintf(text, sizeof text, "Re=%zu/Mach=%g/alpha=%g/model=%s", 100 * (1 + c / 500),
                      0.05 * double(1 + c / 50 % 10), -4 + 0.5 * double(c / 5 % 10), models[c % 5]);
        std::string const values = text;
        std::string tag = "_" + values;
        std::replace(tag.begin(), tag.end(), '/', '_');
        auto add = [&](char const* folder, std::string const& name, char const* extension) {
            paths.push_back(flat ? "study/" + std::string(folder) + "/" + name + tag + extension
                                 : "study/" + values + "/" + (*folder == 'i' ? "images/" : "") + name + extension);
        };
        add("meshes", "mesh", ".msh");
        add("params", "params", ".json");
        add("logs", "log", ".txt");
        for (int s = 1; s <= 20; ++s) {
            std::snprintf(text, sizeof text, "solution_%04d", s);
            add("solutions", text, ".vtu");
        }
        for (char const* image : {"residuals", "cp", "velocity", "pressure", "streamlines"})
            add("images", image, ".png");
    }
    std::sort(paths.begin(), paths.end(), walkOrder);
    return paths;
}

} // namespace studypaths
